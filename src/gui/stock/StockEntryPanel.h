#pragma once

#include <QWidget>

class Database;
class NumberBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class ShopContext;
struct MainWindowParts;
struct StockEntry;

// The stock entry panel over the stock list: receives a delivery as a new
// stock record or corrects the selected one, recomputing amounts and stock
// as the operator types, driven from the keyboard with Enter and Tab.
class StockEntryPanel : public QWidget
{
    Q_OBJECT
public:
    // Places itself into the window's floating stock entry panel and takes
    // over the "新建入库" and "修 改" items.
    StockEntryPanel(ShopContext &context, const MainWindowParts &parts);

    // "新建入库" of the menus: an empty panel for a new delivery.
    void openNew();
    // "修 改": the current stock row in the panel for correction; nothing
    // when that row has no name.
    void openModify();
    // A click on a stock list row copies its article and prices here.
    void fillFromRow(qint64 stockId);
    // "清空".
    void clear();
    // Refills the name, spec, code, category and supplier lists ("全部记录").
    void refillLists();

    // "新建入库" / "修改入库"; true when the record was saved.
    bool saveNew();
    bool saveModification();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildBoxes();
    void buildChain();
    void closePanel();
    void setModifyEnabled(bool enabled);
    StockEntry entryFromBoxes() const;
    // Focuses the first number box holding the text a save refused.
    void focusBoxHolding(const QString &text);
    // Focuses the box of a column ("a", "1" ...) whose value a save refused.
    void focusBoxOf(const QString &column);
    // The stock list's current row moved or the list was re-queried.
    void currentRowMoved();
    void listReloaded();
    void setBoxText(QLineEdit *box, const QString &text);
    void setComboText(QComboBox *box, const QString &text);
    void copyCurrentRow(const QStringList &fields);

    void purchaseChanged();
    void quantityChanged();
    void salesChanged();

    ShopContext &m_context;
    const MainWindowParts &m_parts;
    const Database &m_db;
    qint64 m_lastClickedId = -1;
    // The row "修 改" opened; a modification is saved onto this row only,
    // whatever row the list shows as current by then. 0 when none.
    qint64 m_modifyId = 0;

    QComboBox *m_nameBox = nullptr;
    QComboBox *m_specBox = nullptr;
    QComboBox *m_codeBox = nullptr;
    QComboBox *m_categoryBox = nullptr;
    QLineEdit *m_dateBox = nullptr;
    NumberBox *m_purchasePriceBox = nullptr;
    NumberBox *m_quantityBox = nullptr;
    NumberBox *m_salePriceBox = nullptr;
    QComboBox *m_supplierBox = nullptr;
    QLineEdit *m_remarkBox = nullptr;
    // Carried and derived values, never shown.
    NumberBox *m_purchaseAmountBox = nullptr;
    NumberBox *m_soldQuantityBox = nullptr;
    NumberBox *m_salesTotalBox = nullptr;
    NumberBox *m_stockQuantityBox = nullptr;
    NumberBox *m_stockAmountBox = nullptr;

    QPushButton *m_saveNewButton = nullptr;
    QPushButton *m_saveModifyButton = nullptr;
    QPushButton *m_clearButton = nullptr;
    // The visible boxes in the order Enter walks them.
    QList<QWidget *> m_chain;
};
