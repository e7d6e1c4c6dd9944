#pragma once

#include "data/DatabaseLocation.h"

#include <QDateTime>
#include <QList>
#include <QString>

class SettingsStore;

// The backups the program makes by itself on every normal close: one file
// per close in the folder "备份" beside the data, named by date and time,
// the oldest removed beyond the number the operator keeps.
class AutomaticBackups
{
public:
    static constexpr int DefaultCount = 7;
    static constexpr int MaximumCount = 999;

    struct Entry
    {
        QString path;
        QDateTime time; // from the name
        qint64 size = 0;
    };

    // "备份" beside a SQLite shop's file; with the shop on a server, in the
    // per-user data folder.
    static QString folderFor(const DatabaseLocation &location, const QString &userDataFolder);

    // "data-20240305-093000.mdb"
    static QString fileName(const QDateTime &time);

    // The automatic backups in folder, newest first. Other files there are
    // not ours and are left out (and never removed).
    static QList<Entry> list(const QString &folder);

    // Removes all but the newest keep automatic backups; the number removed.
    static int prune(const QString &folder, int keep);

    // On unless the operator switched it off ("zidongbeifen" = "no").
    static bool enabled(const SettingsStore &settings);
    static bool setEnabled(SettingsStore &settings, bool on);
    // How many to keep ("beifenshu"); DefaultCount when unset or not a
    // number from 1 to MaximumCount.
    static int count(const SettingsStore &settings);
    static bool setCount(SettingsStore &settings, int count);
};
