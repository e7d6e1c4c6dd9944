#include "AutomaticBackups.h"

#include "data/SettingsStore.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace {
const QString kFolder = QStringLiteral("备份");
const QString kTimeFormat = QStringLiteral("yyyyMMdd-HHmmss");
} // namespace

QString AutomaticBackups::folderFor(const DatabaseLocation &location, const QString &userDataFolder)
{
    const QString base = location.isPostgreSQL() ? userDataFolder : QFileInfo(location.path).absolutePath();
    return QDir(base).filePath(kFolder);
}

QString AutomaticBackups::fileName(const QDateTime &time)
{
    return QStringLiteral("data-%1.mdb").arg(time.toString(kTimeFormat));
}

QList<AutomaticBackups::Entry> AutomaticBackups::list(const QString &folder)
{
    // Two closes within one second get "-2", "-3" ... after the time.
    static const QRegularExpression name(QStringLiteral("^data-(\\d{8}-\\d{6})(?:-(\\d+))?\\.mdb$"));
    QList<Entry> entries;
    QList<int> sequence;
    const QFileInfoList files = QDir(folder).entryInfoList({QStringLiteral("data-*.mdb")}, QDir::Files);
    for (const QFileInfo &file : files) {
        const QRegularExpressionMatch match = name.match(file.fileName());
        if (!match.hasMatch())
            continue;
        const QDateTime time = QDateTime::fromString(match.captured(1), kTimeFormat);
        if (!time.isValid())
            continue;
        entries << Entry{file.absoluteFilePath(), time, file.size()};
        sequence << match.captured(2).toInt();
    }
    QList<int> order(entries.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        if (entries.at(a).time != entries.at(b).time)
            return entries.at(a).time > entries.at(b).time;
        return sequence.at(a) > sequence.at(b);
    });
    QList<Entry> sorted;
    for (int i : order)
        sorted << entries.at(i);
    return sorted;
}

int AutomaticBackups::prune(const QString &folder, int keep)
{
    const QList<Entry> entries = list(folder);
    int removed = 0;
    for (qsizetype i = std::max(keep, 0); i < entries.size(); ++i)
        removed += QFile::remove(entries.at(i).path) ? 1 : 0;
    return removed;
}

bool AutomaticBackups::enabled(const SettingsStore &settings)
{
    return settings.value(SettingsStore::Keys::AutoBackup) != QLatin1String("no");
}

bool AutomaticBackups::setEnabled(SettingsStore &settings, bool on)
{
    return settings.setValue(SettingsStore::Keys::AutoBackup,
                             on ? QStringLiteral("yes") : QStringLiteral("no"));
}

int AutomaticBackups::count(const SettingsStore &settings)
{
    bool ok = false;
    const int stored = settings.value(SettingsStore::Keys::AutoBackupCount).trimmed().toInt(&ok);
    return ok && stored >= 1 && stored <= MaximumCount ? stored : DefaultCount;
}

bool AutomaticBackups::setCount(SettingsStore &settings, int count)
{
    return settings.setValue(SettingsStore::Keys::AutoBackupCount, QString::number(count));
}
