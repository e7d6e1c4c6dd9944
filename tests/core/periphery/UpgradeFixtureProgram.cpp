// A stand-in for the shop program in the hand-over tests, built as version 1
// and version 2. "--hand-over UPGRADER" hands over the way the program does;
// a start after an upgrade tidies up the way the program does. Every start
// notes its version and argument in "started.txt" next to itself.

#include "periphery/UpgradeHandOver.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const QDir folder(QCoreApplication::applicationDirPath());
    if (args.value(1) == QLatin1String("--hand-over")) {
        QString error;
        const bool started =
            UpgradeHandOver::start(args.value(2), QCoreApplication::applicationFilePath(), 0, &error);
        return started ? 0 : 1;
    }
    int removed = 0;
    if (args.value(1) == UpgradeHandOver::restartArgument())
        removed = UpgradeHandOver::removeOldFiles(folder.path());
    QFile note(folder.filePath(QStringLiteral("started.txt")));
    if (!note.open(QIODevice::WriteOnly))
        return 1;
    note.write(QStringLiteral("version=%1 argument=%2 removed=%3")
                   .arg(QLatin1String(LWJXC_FIXTURE_VERSION), args.value(1))
                   .arg(removed)
                   .toUtf8());
    return 0;
}
