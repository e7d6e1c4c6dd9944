// The hand-over program of the online upgrade. The program writes it to the
// temporary folder and starts it as
//     Upgrader3 PROGRAM +/afterupgrade<method digit> [OPTIONS...]
// then ends. It waits until the program has exited, puts the downloaded files
// in place and starts the program again with "/afterupgrade" followed by the
// program's own OPTIONS (its database among them); when anything fails it
// puts the old files back and starts the old program with "/upgradefailed"
// and the same OPTIONS. Both method digits (0 and 1) install the same way.

#include "UpgradeSwap.h"

#include "periphery/UpgradeSignature.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTextStream>
#include <QThread>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <csignal>
#endif

namespace {

constexpr int kWaitForExitMilliseconds = 60000;

void log(const QString &line)
{
    QTextStream(stderr) << "Upgrader3: " << line << '\n';
    QFile file(QCoreApplication::applicationFilePath() + QStringLiteral(".log"));
    if (file.open(QIODevice::Append | QIODevice::Text))
        QTextStream(&file) << QDateTime::currentDateTime().toString(Qt::ISODate) << ' ' << line << '\n';
}

bool processGone(qint64 pid)
{
#ifdef Q_OS_WIN
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    if (!process)
        return true;
    const bool gone = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    CloseHandle(process);
    return gone;
#else
    if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
        return true;
    // A zombie has exited; only its parent has not collected it yet.
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (stat.open(QIODevice::ReadOnly)) {
        const QByteArray text = stat.readAll();
        const qsizetype close = text.lastIndexOf(')');
        return close >= 0 && text.mid(close + 1).trimmed().startsWith('Z');
    }
    return false;
#endif
}

// The program passes its process id; without one a short pause lets it end.
bool waitForProgramExit()
{
    bool ok = false;
    const qint64 pid = qEnvironmentVariable("LWJXC_UPGRADE_WAIT_PID").toLongLong(&ok);
    if (!ok || pid <= 0) {
        QThread::msleep(2000);
        return true;
    }
    QElapsedTimer waited;
    waited.start();
    while (!processGone(pid)) {
        if (waited.elapsed() > kWaitForExitMilliseconds)
            return false;
        QThread::msleep(100);
    }
    return true;
}

bool startProgram(const QString &program, const QString &argument, const QStringList &options)
{
    return QProcess::startDetached(program, QStringList{argument} + options,
                                   QFileInfo(program).absolutePath());
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 3 || !args.at(2).startsWith(QLatin1Char('+')) || args.at(2).size() < 3) {
        QTextStream(stderr) << "usage: Upgrader3 PROGRAM +/afterupgrade0 [OPTIONS...]\n";
        return 2;
    }
    const QString program = QFileInfo(args.at(1)).absoluteFilePath();
    QString restartArgument = args.at(2).mid(1);
    if (restartArgument.back().isDigit())
        restartArgument.chop(1);
    const QString failedArgument = QStringLiteral("/upgradefailed");
    const QStringList options = args.mid(3);

    if (!waitForProgramExit()) {
        log(QStringLiteral("the program is still running; nothing installed"));
        return 1;
    }

    UpgradeSwap swap(QFileInfo(program).absolutePath(), UpgradeSignature::builtInPublicKey());
    bool installed = swap.verifyAll() && swap.swapAll();
    if (installed && !startProgram(program, restartArgument, options)) {
        log(QStringLiteral("the new program does not start"));
        swap.rollback();
        installed = false;
    }
    if (!installed)
        swap.discardPending();
    for (const QString &line : swap.log())
        log(line);
    if (installed)
        return 0;
    if (!startProgram(program, failedArgument, options))
        log(QStringLiteral("cannot start ") + program);
    return 1;
}
