#pragma once

#include "maintenance/ReceiptTexts.h"

#include <QWidget>

#include <functional>

class DataGrid;
class Database;
class QLabel;
class QLineEdit;
class QPushButton;
class SqlListModel;

// The ticket of the current order number: its lines with their total, the
// cash handed over and the change, the POS receipt, and the way to the next
// or previous order.
class TicketPanel : public QWidget
{
    Q_OBJECT
public:
    explicit TicketPanel(const Database &db, QWidget *parent = nullptr);
    ~TicketPanel() override;

    // The sale panel's order number box. Takes effect with the next refresh().
    void setOrderNumber(const QString &orderNumber);
    QString orderNumber() const { return m_orderNumber; }
    // The sale panel's customer box, shown from the next refresh() on.
    void setCustomerName(const QString &customer);

    // Where the receipt takes the signed-in operator's name and its texts
    // (the receipt settings window's boxes). Without them: no name, the
    // default texts.
    void setCashierSource(std::function<QString()> cashier);
    void setTextsSource(std::function<ReceiptTexts()> texts);

    // Re-reads the lines of the current order number.
    void refresh();

    // "POS小票打印": the checks, then the receipt.
    void printReceipt();
    // The receipt without the checks. False when nothing was printed (the
    // reason has been shown).
    bool printReceiptWithoutChecks();
    // "销售单打印": refused with "先进行销售" while the total reads 0,
    // otherwise orderDocumentRequested().
    void requestOrderDocument();

    DataGrid *grid() const { return m_grid; }
    QLabel *customerLabel() const { return m_customerLabel; }
    QLineEdit *totalBox() const { return m_totalBox; }
    QLineEdit *cashBox() const { return m_cashBox; }
    QLineEdit *changeBox() const { return m_changeBox; }
    QPushButton *printButton() const { return m_printButton; }
    QPushButton *previousButton() const { return m_previousButton; }
    QPushButton *nextButton() const { return m_nextButton; }
    QPushButton *documentButton() const { return m_documentButton; }

signals:
    // "上一单" / "下一单": the sale panel steps its order counter and
    // refreshes the ticket.
    void previousOrderRequested();
    void nextOrderRequested();
    // "销售单打印" with something sold: the printed order document of the
    // current order.
    void orderDocumentRequested();

private:
    void updateChange();
    void setFooterOrderNumber();

    const Database &m_db;
    QString m_orderNumber;
    QString m_customer;
    std::function<QString()> m_cashier;
    std::function<ReceiptTexts()> m_texts;

    SqlListModel *m_lines = nullptr;
    DataGrid *m_grid = nullptr;
    QLabel *m_customerLabel = nullptr;
    QLineEdit *m_totalBox = nullptr;
    QLineEdit *m_cashBox = nullptr;
    QLineEdit *m_changeBox = nullptr;
    QPushButton *m_printButton = nullptr;
    QPushButton *m_previousButton = nullptr;
    QPushButton *m_nextButton = nullptr;
    QPushButton *m_documentButton = nullptr;
};
