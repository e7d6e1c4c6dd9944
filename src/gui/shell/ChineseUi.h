#pragma once

class QCoreApplication;

// Qt's own texts in Simplified Chinese: the buttons of every message box
// (确定/取消/是/否), the text boxes' right-click menu, the file dialogs, and
// the calendars' month and day names through the default locale (Chinese,
// China). Call once after the application object exists and before the
// first window is made. False when Qt's translation file (package
// qt6-translations-l10n) was not found; the locale is set either way.
namespace ChineseUi {
bool install(QCoreApplication &app);
} // namespace ChineseUi
