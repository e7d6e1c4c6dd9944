#pragma once

#include "data/QueryHelpers.h"

#include <QDate>
#include <QString>
#include <QVariant>

#include <optional>

class Database;
struct Session;

// One stock-in record as the entry panel hands it over. The numbers come as
// the operator typed them; StockBook converts them, and refuses the whole
// record when one of them is not a number.
struct StockEntry
{
    QString name;     // a
    QString spec;     // b
    QString code;     // c
    QString category; // d
    QString supplier; // g
    QString remark;   // z

    QString purchasePrice; // 1
    QString quantity;      // 2 (purchase quantity)
    QString salePrice;     // 4
    // 5 and 7 of a new record; a modification takes the sold quantity from
    // the database, where the sales book it.
    QString sold;          // empty counts as 0
    QString stockQuantity; // empty means the quantity received
    QDate stockInDate;     // day1
};

// A number box held text that is not a number. Nothing has been written when
// it is thrown; windows that show DatabaseError messages show this one too.
class InvalidNumber : public DatabaseError
{
public:
    explicit InvalidNumber(const QString &text);
    QString text() const { return m_text; }

private:
    QString m_text;
};

// One stock record as the sale panel shows it when it opens.
struct StockForSale
{
    QString name;         // a
    QString spec;         // b
    QString code;         // c
    QString category;     // d
    QString remark;       // z
    double purchasePrice; // 1
    QVariant salePrice;   // 4, null when none was entered
    double sold;          // 5
    double salesAmount;   // 6
    QVariant stock;       // 7 as stored
    QDate stockInDate;    // day1
};

// Receives goods into stock and corrects or deletes stock-in records. Every
// change is one transaction with every value bound, and only the
// administrator may make it.
class StockBook
{
public:
    explicit StockBook(const Database &db) : m_db(db) {}

    // Appends a record: 3 = 1 x 2, 8 = 3, 6 = 4 x 5, 7 as given (the quantity
    // received when empty), texts trimmed, e and f the initials of a and b.
    // Returns the new data.id. Throws AccessDenied, InvalidNumber,
    // RefusedValue (a number beyond FieldCheck's range, a negative price or
    // quantity received, a text over its limit) or DatabaseError; nothing is
    // written then.
    qint64 add(const Session &session, const StockEntry &entry);

    // Rewrites record id: 3 = 1 x 2, 7 = 2 - 5, 8 = 1 x 7, e and f
    // recomputed, with 5 as the database holds it at this moment (a sale at
    // another counter is not undone). 6 stays what the sales booked unless
    // the sale price changed, then it becomes 4 x 5. Throws as add(), and
    // DatabaseError when the record is gone (another counter deleted it).
    void modify(const Session &session, qint64 id, const StockEntry &entry);

    // Deletes record id; false when it was already gone. Sale lines of the
    // record stay as they are.
    bool remove(const Session &session, qint64 id);

    // Record id for the sale panel; nullopt when it is gone. Throws DatabaseError.
    std::optional<StockForSale> forSale(qint64 id) const;
    // The stock quantity (7) of record id as the database holds it now, 0
    // for none; nullopt when the record is gone. Throws DatabaseError.
    std::optional<double> stockNow(qint64 id) const;
    // A number as a number box holds it: the whole text, "." as the decimal
    // point, nothing trimmed. Throws InvalidNumber otherwise.
    static double toNumber(const QString &text);

private:
    const Database &m_db;
};
