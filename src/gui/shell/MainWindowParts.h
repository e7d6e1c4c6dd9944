#pragma once

class FloatingPanel;
class QFrame;
class QGroupBox;
class QLineEdit;
class QWidget;
class StockListView;
class TicketPanel;

// The places and sibling panels of the main window that its own parts (the
// stock list, the stock entry and sale panels, the list commands) work with.
// The main window fills it as it builds them; each part keeps a reference, so
// a sibling made after it is found as well.
struct MainWindowParts
{
    // Parent of message boxes; holds the menu actions the parts take over.
    QWidget *window = nullptr;
    QFrame *stockListArea = nullptr;
    QGroupBox *quickQueryGroup = nullptr;
    QLineEdit *alarmQuantityBox = nullptr;
    FloatingPanel *stockEntryPanel = nullptr;
    FloatingPanel *salePanel = nullptr;
    FloatingPanel *ticketPanel = nullptr;
    StockListView *stockList = nullptr;
    TicketPanel *ticket = nullptr;
};
