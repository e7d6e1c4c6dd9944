#include "BackupProgress.h"

#include "common/Prompter.h"
#include "data/Clock.h"
#include "data/Database.h"
#include "maintenance/AutomaticBackups.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QTimer>

#include <atomic>
#include <thread>

namespace BackupProgress {

BackupService::Result run(QWidget *parent, const QString &label, const Work &work, int delayMs)
{
    std::atomic<qint64> done{0};
    std::atomic<qint64> total{0};
    std::atomic<bool> finished{false};
    BackupService::Result result;
    std::thread worker([&] {
        result = work([&](qint64 d, qint64 t) {
            done = d;
            total = t;
        });
        finished = true;
    });

    QProgressDialog dialog(label, QString(), 0, 0, parent);
    dialog.setObjectName(QStringLiteral("backupProgress"));
    dialog.setWindowTitle(QStringLiteral("请稍候"));
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setCancelButton(nullptr);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    dialog.setMinimumDuration(std::numeric_limits<int>::max());
    dialog.hide();

    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer tick;
    tick.setInterval(40);
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (finished) {
            loop.quit();
            return;
        }
        if (!dialog.isVisible() && clock.elapsed() >= delayMs)
            dialog.show();
        // After the copy comes the check, which cannot tell how far it is:
        // the bar then shows "busy".
        const qint64 t = total;
        const qint64 d = done;
        if (t > 0 && d < t) {
            dialog.setMaximum(1000);
            dialog.setValue(int(d * 1000 / t));
        } else if (dialog.maximum() != 0) {
            dialog.setRange(0, 0);
        }
    });
    tick.start();
    if (!finished)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    return result;
}

bool runAutomaticBackup(QWidget *parent, const Database &db, const SettingsStore &settings,
                        const QString &userDataFolder)
{
    if (!AutomaticBackups::enabled(settings))
        return true;
    const QString folder = AutomaticBackups::folderFor(db.location(), userDataFolder);
    QString target = QDir(folder).filePath(AutomaticBackups::fileName(Clock::current().now()));
    for (int n = 2; QFileInfo::exists(target); ++n)
        target =
            QDir(folder).filePath(AutomaticBackups::fileName(Clock::current().now())
                                      .replace(QStringLiteral(".mdb"), QStringLiteral("-%1.mdb").arg(n)));
    const BackupService service(db.location());
    const BackupService::Result result = run(parent, QStringLiteral("正在自动备份数据，请稍候……"),
                                             [&](const BackupService::Progress &progress) {
                                                 BackupService copy = service;
                                                 copy.setProgress(progress);
                                                 return copy.backupTo(target);
                                             });
    if (!result.ok) {
        Prompter::warning(parent, QStringLiteral("自动备份没有完成：%1").arg(result.error));
        return false;
    }
    AutomaticBackups::prune(folder, AutomaticBackups::count(settings));
    return true;
}

QString userDataFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

} // namespace BackupProgress
