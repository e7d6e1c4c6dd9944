// A stand-in for the shop program in the hand-over tests, built as version 1
// and version 2. "--hand-over UPGRADER [OPTIONS...]" hands over the way the
// program started with OPTIONS does; a start after an upgrade tidies up the
// way the program does. Every start notes its version, its arguments and any
// PGPASSWORD in "started.txt" next to itself.

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
        const bool started = UpgradeHandOver::start(args.value(2), QCoreApplication::applicationFilePath(), 0,
                                                    &error, QStringList{args.at(0)} + args.mid(3));
        return started ? 0 : 1;
    }
    int removed = 0;
    if (args.value(1) == UpgradeHandOver::restartArgument())
        removed = UpgradeHandOver::removeOldFiles(folder.path());
    QFile note(folder.filePath(QStringLiteral("started.txt")));
    if (!note.open(QIODevice::WriteOnly))
        return 1;
    QString text = QStringLiteral("version=%1 argument=%2 removed=%3")
                       .arg(QLatin1String(LWJXC_FIXTURE_VERSION), args.mid(1).join(u' '))
                       .arg(removed);
    if (qEnvironmentVariableIsSet("PGPASSWORD"))
        text += QStringLiteral(" PGPASSWORD=") + qEnvironmentVariable("PGPASSWORD");
    note.write(text.toUtf8());
    return 0;
}
