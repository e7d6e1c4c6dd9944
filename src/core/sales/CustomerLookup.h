#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class Database;

// The customer details the sale panel finds on earlier sale lines: there is
// no customer table, every line carries its customer's name, address,
// contact and remark.
class CustomerLookup
{
public:
    explicit CustomerLookup(const Database &db) : m_db(db) {}

    struct Customer
    {
        QString name;    // g
        QString address; // h
        QString contact; // i
        QString remark;  // j
    };

    // The customer recorded on an order (first of its distinct customer
    // entries); empty when the trimmed order number has no lines.
    std::optional<Customer> forOrder(const QString &orderNumber) const;

    // Address and contact recorded for a customer name (trimmed); only
    // address and contact are set. Empty when the name was never used.
    std::optional<Customer> forName(const QString &name) const;

    // Every customer name on a sale line, ascending, with one empty entry
    // for lines without a name (the customer box's list).
    QStringList names() const;

private:
    const Database &m_db;
};
