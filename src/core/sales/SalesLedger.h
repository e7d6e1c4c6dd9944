#pragma once

#include "data/QueryHelpers.h"

#include <QDate>
#include <QString>

#include <optional>

class Database;
struct Session;

// One sale (or return) from one stock row, as the sale panel confirms it.
struct SaleRequest
{
    qint64 stockId = 0;  // data.id of the row sold from
    double price = 0;    // actual unit price P
    double quantity = 0; // Q; negative for a return
    double debt = 0;     // amount owed by the customer
    QString orderNumber;
    QString customer;
    QString address;
    QString contact;
    QString remark;
    QDate saleDate;
};

struct SaleBooking
{
    enum class Result { Booked, ZeroQuantity, InsufficientStock, StockRowGone };
    Result result = Result::StockRowGone;
    qint64 lineId = 0;    // data1.ID of the new line when booked
    double stockLeft = 0; // the row's stock quantity after booking, or as found when refused
};

// What the modify mode of the sale edit panel may change on one sale line:
// the debt and the order number and customer data. The texts are taken as the
// boxes hold them; the ledger trims them and converts the debt.
struct SaleCorrection
{
    QString debt; // the "欠款金额：" text; must read as a number ("0" for no debt)
    QString orderNumber;
    QString customer;
    QString address;
    QString contact;
    QString remark;
};

// A correction whose debt text is not a number; nothing has been written.
class InvalidDebt : public DatabaseError
{
public:
    explicit InvalidDebt(const QString &typed);
    QString typed() const { return m_typed; }

private:
    QString m_typed;
};

// Books sales against the stock: the stock row and the new sale line are
// written in one transaction, so a crash or a second counter can never
// leave half a sale or sell the same last item twice.
class SalesLedger
{
public:
    explicit SalesLedger(const Database &db) : m_db(db) {}

    // Throws DatabaseError when the database refuses; nothing is written then.
    SaleBooking book(const SaleRequest &sale);

    // What a deletion did.
    enum class Removal {
        AlreadyGone,  // the line was not there (another counter deleted it); nothing written
        GivenBack,    // the line is deleted and its quantity is back in stock
        NotGivenBack, // the line is deleted; no stock row matched, so no stock came back
    };

    // Deletes one sale line and gives its quantity and amount back to the
    // stock row it was sold from, in one transaction: 5 -= q, 6 -= amount,
    // 7 += q, 8 += q * purchase price (a return moves the other way). The
    // stock row is the first one by id whose a, b, c, d equal the line's and
    // whose day1 equals the line's day2 (null matches null); when none
    // matches, or its 5 or 7 is empty, only the line is deleted. Throws
    // AccessDenied for a restricted session and DatabaseError when the
    // database refuses or the give-back meets a line without quantity, amount
    // or purchase price; nothing is written then.
    Removal remove(const Session &session, qint64 lineId);

    // Whether deleting the line now would give its quantity back: a stock row
    // is tied to it as remove() finds it. False when the line is gone. The
    // window asks its question from this; remove() reports what really happened.
    bool hasStockToGiveBackTo(qint64 lineId) const;

    // Writes the debt (6) and the trimmed order number (z), customer (g),
    // address (h), contact (i) and remark (j) of one sale line; nothing else
    // changes, the stock least of all. Throws InvalidDebt before writing when
    // the debt text is not a number, AccessDenied for a restricted session,
    // DatabaseError when the line is gone or the database refuses.
    void correct(const Session &session, qint64 lineId, const SaleCorrection &correction);

    // The debt box's text as a number: digits with at most one decimal point,
    // surrounding blanks ignored; empty or anything else gives nullopt.
    static std::optional<double> parseDebt(const QString &text);

    // Two decimals, half away from zero on the decimal digits ("0.00" form).
    static double roundToCents(double value);

private:
    const Database &m_db;
};
