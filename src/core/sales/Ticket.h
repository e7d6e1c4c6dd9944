#pragma once

#include "data/SqlListModel.h"

#include <QList>
#include <QString>

#include <optional>

class Database;

// One line of a ticket: a data1 row of the order as the ticket and the
// receipt show it.
struct TicketLine
{
    qint64 id = 0;
    QString name;         // a
    QString spec;         // b
    double quantity = 0;  // "3", negative for a return
    double unitPrice = 0; // "2"
    double amount = 0;    // "4"
};

// The lines of one order number and the counter arithmetic around them:
// the total, the change for the cash handed over and the checks before a
// receipt is printed.
class Ticket
{
public:
    explicit Ticket(const Database &db) : m_db(db) {}

    // The order number as the ticket uses it: the box text without the blanks
    // around it. Only lines carrying exactly this number belong to the ticket;
    // an empty number has no lines (a sale is never booked without one).
    static QString orderKey(const QString &orderBoxText) { return orderBoxText.trimmed(); }

    // The statement behind the ticket's line list, ordered as the lines were
    // booked. An empty order number gives a statement without rows.
    static SqlListQuery listQuery(const QString &orderBoxText);

    // The lines of the order in booking order.
    QList<TicketLine> lines(const QString &orderBoxText) const;

    // The sum of the lines' amounts, rounded to the cent.
    static double total(const QList<TicketLine> &lines);

    // A decimal number as typed ("100", "37.5", ".5"); nullopt for an empty
    // text or one the key filter let through that is not a number ("1.2.3",
    // "."). Blanks around it are ignored.
    static std::optional<double> parseAmount(const QString &text);

    // The change box's text: cash - total rounded to the cent, in the general form. nullopt while
    // the cash box is empty or not a number (the change box then keeps its
    // text), and for a total text that is not a number.
    static std::optional<QString> changeText(const QString &cashText, const QString &totalText);

    enum class PrintCheck { Ready, NothingSold, CashMissing, CashInvalid, CashShort };
    // The checks before a receipt is printed, in the order the operator meets
    // them: something sold, cash typed, cash a number, cash covering the total.
    static PrintCheck checkBeforePrinting(const QString &totalText, const QString &cashText);
    // The message for a refusal; empty for Ready.
    static QString message(PrintCheck check);

private:
    const Database &m_db;
};
