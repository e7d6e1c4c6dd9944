#pragma once

#include "maintenance/BackupService.h"

#include <functional>

class Database;
class QWidget;
class SettingsStore;

namespace BackupProgress {

using Work = std::function<BackupService::Result(const BackupService::Progress &)>;

// Runs work (which opens its own connections) on a worker thread. The
// window stays painted; once the work takes longer than delayMs a small
// progress window shows how far it is. Mouse and keyboard input wait.
BackupService::Result run(QWidget *parent, const QString &label, const Work &work, int delayMs = 500);

// The automatic backup of a normal close, when it is switched on: a new
// file in the backup folder, the oldest beyond the kept number removed. A
// failure is told to the operator and does not keep the program open.
bool runAutomaticBackup(QWidget *parent, const Database &db, const SettingsStore &settings,
                        const QString &userDataFolder);

// The per-user data folder of the program.
QString userDataFolder();

} // namespace BackupProgress
