#pragma once

#include <QIcon>

// The pictures of the main window's tool bar, drawn in code so they need no
// icon theme and look alike on every desktop and under every skin.
namespace ToolIcons {

enum class Kind { NewStock, SalesDetail, TicketPrint, Summary, Backup, Settings, Support };

QIcon icon(Kind kind);

} // namespace ToolIcons
