#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// Starts the desktop's own calculator and text editor for the settings menu.
namespace DesktopPrograms {

// Candidates in the order they are tried on this platform.
QStringList calculatorCandidates();
QStringList textEditorCandidates();

// Starts the first candidate found on the search path, detached from this
// program. Returns the program started, or an empty string when none of
// them is installed (or none could be started).
QString startFirstAvailable(const QStringList &candidates);

// The menu actions: start the calculator or editor, or tell the operator
// through a message box that none is installed.
void startCalculator(QWidget *parent);
void startTextEditor(QWidget *parent);

} // namespace DesktopPrograms
