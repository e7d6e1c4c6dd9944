#pragma once

#include <QDate>
#include <QString>

class Database;

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

// Books sales against the stock: the stock row and the new sale line are
// written in one transaction, so a crash or a second counter can never
// leave half a sale or sell the same last item twice.
class SalesLedger
{
public:
    explicit SalesLedger(const Database &db) : m_db(db) {}

    // Throws DatabaseError when the database refuses; nothing is written then.
    SaleBooking book(const SaleRequest &sale);

    // Two decimals, half away from zero on the decimal digits ("0.00" form).
    static double roundToCents(double value);

private:
    const Database &m_db;
};
