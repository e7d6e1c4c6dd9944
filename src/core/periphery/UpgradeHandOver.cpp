#include "UpgradeHandOver.h"

#include "data/DatabaseLocation.h"
#include "shell/CommandLine.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryFile>

namespace {

QString upgraderName()
{
#ifdef Q_OS_WIN
    return QStringLiteral("Upgrader3.exe");
#else
    return QStringLiteral("Upgrader3");
#endif
}

bool writeUpgrader(const QString &source, const QString &target)
{
    // A copy left by an earlier upgrade is replaced, never run.
    if (QFileInfo(target).exists() || QFileInfo(target).isSymLink()) {
        if (!QFile::remove(target))
            return false;
    }
    return QFile::copy(source, target) &&
           QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                             QFileDevice::ExeOwner | QFileDevice::ReadUser |
                                             QFileDevice::WriteUser | QFileDevice::ExeUser);
}

} // namespace

QString UpgradeHandOver::upgraderPath(const QString &programFolder)
{
    const QString temp = QDir::tempPath();
    return QDir(QFileInfo(temp).isDir() ? temp : programFolder).filePath(upgraderName());
}

QStringList UpgradeHandOver::carriedArguments(const QStringList &arguments, QString *password)
{
    QStringList carried;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        if (i == 1 && (arg.startsWith(restartArgument()) || arg == failedArgument()))
            continue;
        const bool joined = arg.startsWith(QLatin1String("--database="));
        if ((arg != QLatin1String("--database") || i + 1 >= arguments.size()) && !joined) {
            carried.append(arg);
            continue;
        }
        const QString value = joined ? arg.mid(arg.indexOf(u'=') + 1) : arguments.at(++i);
        const DatabaseLocation location = DatabaseLocation::fromArgument(value);
        // An address the program could not read is passed on as it was, so
        // the restarted program says the same about it.
        const bool readable = location.errorText.isEmpty() && !value.isEmpty();
        if (readable && !location.password.isEmpty())
            *password = location.password;
        carried << QStringLiteral("--database")
                << (readable ? CommandLine::databaseArgument(location) : value);
    }
    return carried;
}

bool UpgradeHandOver::start(const QString &upgraderSource, const QString &programPath, int methodDigit,
                            QString *error, const QStringList &programArguments)
{
    const QString programFolder = QFileInfo(programPath).absolutePath();
    QString upgrader = upgraderPath(programFolder);
    if (!writeUpgrader(upgraderSource, upgrader)) {
        // Someone else's file of that name in a shared temporary folder.
        upgrader = QDir(programFolder).filePath(upgraderName());
        if (!writeUpgrader(upgraderSource, upgrader)) {
            *error = QStringLiteral("无法写入升级程序 %1").arg(QDir::toNativeSeparators(upgrader));
            return false;
        }
    }
    QProcess process;
    process.setProgram(upgrader);
    QString password;
    const QStringList carried = carriedArguments(programArguments, &password);
    process.setArguments(QStringList{QFileInfo(programPath).absoluteFilePath(),
                                     QLatin1Char('+') + restartArgument() + QString::number(methodDigit)} +
                         carried);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Out of sight of "ps", unlike the command line; libpq reads it when the
    // address has no password.
    if (!password.isEmpty())
        environment.insert(QStringLiteral("PGPASSWORD"), password);
    environment.insert(QStringLiteral("LWJXC_UPGRADE_WAIT_PID"),
                       QString::number(QCoreApplication::applicationPid()));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(programFolder);
    if (!process.startDetached()) {
        *error = QStringLiteral("无法启动升级程序 %1").arg(QDir::toNativeSeparators(upgrader));
        return false;
    }
    return true;
}

int UpgradeHandOver::removeOldFiles(const QString &programFolder)
{
    const QDir dir(programFolder);
    int removed = 0;
    for (const QString &name : dir.entryList({QStringLiteral("*.old")}, QDir::Files | QDir::Hidden)) {
        if (QFile::remove(dir.filePath(name)))
            ++removed;
    }
    return removed;
}

bool UpgradeHandOver::folderWritable(const QString &folder)
{
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".lwjxc-write-test-XXXXXX")));
    return probe.open();
}
