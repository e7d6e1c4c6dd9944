#pragma once

#include <QString>
#include <QStringList>

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

// The options the program was started with (arguments[0] is the program),
// as the upgrader passes them on after "/afterupgrade": the database stays
// the same over the restart. A database file becomes an absolute path (the
// program restarts in its own folder); a server address loses its password,
// which goes to *password for the PGPASSWORD of the restarted program. An
// earlier "/afterupgrade" or "/upgradefailed" is not carried on.
QStringList carriedArguments(const QStringList &arguments, QString *password);

// Writes the upgrader from upgraderSource and starts it with the command line
// "PROGRAM +/afterupgrade<methodDigit> OPTIONS...", telling it which process
// to wait for; OPTIONS are the carried programArguments. False with a reason
// when the upgrader could not be written or started.
bool start(const QString &upgraderSource, const QString &programPath, int methodDigit, QString *error,
           const QStringList &programArguments = {});

// After the restart: removes the old files the upgrader kept. The count of
// files removed.
int removeOldFiles(const QString &programFolder);

// Whether a file can be created in the folder (an installed program's
// folder usually cannot take one).
bool folderWritable(const QString &folder);

} // namespace UpgradeHandOver
