#pragma once

#include <QString>

// The last step of an online upgrade and the first after it: the program
// writes the upgrader out of itself, starts it and ends; the upgrader swaps
// the downloaded files in and starts the program again with "/afterupgrade".
namespace UpgradeHandOver {

// The argument the new program is started with, and the one the old
// program gets back when the upgrader had to put the old files back.
inline QString restartArgument()
{
    return QStringLiteral("/afterupgrade");
}
inline QString failedArgument()
{
    return QStringLiteral("/upgradefailed");
}

// Where the program carries the upgrader.
inline QString upgraderResource()
{
    return QStringLiteral(":/upgrader/lwjxc-upgrader");
}

// "Upgrader3" in the temporary folder, or in the program folder when there
// is no temporary folder.
QString upgraderPath(const QString &programFolder);

// Writes the upgrader from upgraderSource and starts it with the command line
// "PROGRAM +/afterupgrade<methodDigit>", telling it which process to wait
// for. False with a reason when the upgrader could not be written or started.
bool start(const QString &upgraderSource, const QString &programPath, int methodDigit, QString *error);

// After the restart: removes the old files the upgrader kept. The count of
// files removed.
int removeOldFiles(const QString &programFolder);

// Whether a file can be created in the folder (an installed program's
// folder usually cannot take one).
bool folderWritable(const QString &folder);

} // namespace UpgradeHandOver
