#pragma once

#include "data/Database.h"

class QWidget;

// How the program opens its shop at start-up: an empty file becomes a new
// shop only when the operator says so, and the structure check of the file
// runs while the main window is already in use.
namespace StartupChecks {

// The question for an empty (0-byte) data file, No by default.
QString emptyFileQuestion(const QString &file);

DatabaseOptions databaseOptions();

// When the background check finds the file damaged: the operator is told
// why and the program ends; nothing has been written into the file.
void endOnDamage(const Database &database, QWidget *window);

} // namespace StartupChecks
