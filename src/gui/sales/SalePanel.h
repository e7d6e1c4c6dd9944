#pragma once

#include "sales/OrderCounter.h"
#include "sales/SaleCompute.h"

#include <QWidget>

class Database;
class NumberBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class SettingsStore;
class ShopContext;
struct MainWindowParts;

// The sale panel over the stock list: sells (or takes back) a quantity of
// the stock record it was opened on, onto the running order number and for
// a customer, and keeps the ticket panel on that order.
class SalePanel : public QWidget
{
    Q_OBJECT
public:
    // Places itself into the window's floating sale panel and opens on the
    // stock list's double-click.
    SalePanel(ShopContext &context, const MainWindowParts &parts);

    // Shows the panel for a stock row; nothing when the row has no name.
    void openFor(qint64 stockId);
    // The close picture and a click on another stock row: hidden, inputs
    // cleared, the stock entry panel's "修改入库" disabled.
    void closePanel();
    // The save picture.
    void confirm();
    // "退".
    void toggleReturn();
    // "+" / "下一单" and "-" / "上一单".
    void nextOrder();
    void previousOrder();
    // Writes today's order number into the order number box.
    void composeOrderNumber();
    // Quantity "1", debt "0", actual price empty.
    void clearInputs();

    // The stock row the panel was opened on (0 when never opened).
    qint64 stockId() const { return m_stock.id; }
    // What the current price and quantity would book; empty while either is
    // empty or no number.
    std::optional<SaleCompute::Figures> figures() const { return m_figures; }

signals:
    // A sale was saved on this order number: the sales-detail window takes
    // it into its order number box.
    void saleSaved(const QString &orderNumber);
    // After a saved sale: the summary refreshes and the sales-detail window
    // shows the current month.
    void salesDataChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The opened stock record, as the panel keeps it while open.
    struct Kept
    {
        qint64 id = 0;
        QString name;
        QString spec;
        QString code;
        QString category;
        QString suggestedPrice;
        QString stockInDate;
        SaleCompute::StockValues values;
    };

    void buildControls();
    void buildChain();
    void compute();
    void discountChanged();
    void updateAmount();
    void stepDiscount(int direction);
    void lookupOrder();
    void lookupCustomer();
    void refillCustomers();
    void emptyCustomerBox();
    void refreshTicket();
    // Confirm's last step, also after the refusals of zero and short stock.
    void finishConfirmation(const QString &customer);
    // The box holds a number; otherwise a message naming the box, the focus
    // into it, and false.
    bool checkNumber(QLineEdit *box, const QString &caption);
    void setModifyStockEnabled(bool enabled);
    void showStockQuantity(double quantity);
    // Makes `wanted` (or, when another counter holds it, the next free
    // counter) this program's current order counter.
    // False when the database could not be asked (the operator was told);
    // the counter is then `wanted`, not yet this counter's own.
    bool claimOrderCounter(qint64 wanted);
    // Before a line is booked: an order number of today that the database
    // has not handed to this counter (the claim failed, or the day turned
    // since) is asked for again. False when it still cannot be had.
    bool ensureOrderNumberIsOurs();

    ShopContext &m_context;
    const MainWindowParts &m_parts;
    const Database &m_db;
    SettingsStore &m_settings;
    Kept m_stock;
    // Opened and not yet closed or saved; other windows may have hidden it
    // meanwhile (a re-query, a sort), which leaves its inputs as they are.
    bool m_open = false;
    std::optional<SaleCompute::Figures> m_figures;
    OrderCounter m_orderCounter;
    // "-" went back to an earlier order on purpose: it is kept, not claimed.
    bool m_steppedBack = false;

    QLabel *m_nameLabel = nullptr;
    QLabel *m_specLabel = nullptr;
    QLabel *m_codeLabel = nullptr;
    QLabel *m_categoryLabel = nullptr;
    QLabel *m_suggestedPriceLabel = nullptr;
    NumberBox *m_priceBox = nullptr;
    NumberBox *m_discountBox = nullptr;
    QToolButton *m_discountUp = nullptr;
    QToolButton *m_discountDown = nullptr;
    NumberBox *m_quantityBox = nullptr;
    QPushButton *m_returnButton = nullptr;
    QLineEdit *m_stockBox = nullptr;
    NumberBox *m_amountBox = nullptr;
    NumberBox *m_debtBox = nullptr;
    QLineEdit *m_saleDateBox = nullptr;
    QLineEdit *m_orderBox = nullptr;
    QPushButton *m_nextButton = nullptr;
    QPushButton *m_previousButton = nullptr;
    QComboBox *m_customerBox = nullptr;
    QLineEdit *m_addressBox = nullptr;
    QLineEdit *m_contactBox = nullptr;
    QLineEdit *m_remarkBox = nullptr;
    QToolButton *m_saveButton = nullptr;
    QPushButton *m_previewButton = nullptr;
    // The boxes in the order Enter walks them.
    QList<QWidget *> m_chain;
};
