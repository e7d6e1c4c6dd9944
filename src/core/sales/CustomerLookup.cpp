#include "CustomerLookup.h"

#include "data/Database.h"
#include "data/QueryHelpers.h"

#include <QSqlQuery>

namespace {
QString text(const QSqlQuery &query, int column)
{
    return query.isNull(column) ? QString() : query.value(column).toString();
}
} // namespace

std::optional<CustomerLookup::Customer> CustomerLookup::forOrder(const QString &orderNumber) const
{
    const QString collation = m_db.dialect().binaryCollation();
    // Several customers on one order are possible (the box is free text);
    // the first in name order wins, the same on both engines.
    const QString sql = QStringLiteral("select g, h, i, j from data1 where z = ? group by g, h, i, j "
                                       "order by g%1 nulls first, h%1 nulls first, i%1 nulls first, "
                                       "j%1 nulls first limit 1")
                            .arg(collation);
    QSqlQuery query = OpenStatement(m_db, sql, {orderNumber.trimmed()});
    if (!query.next())
        return std::nullopt;
    return Customer{text(query, 0), text(query, 1), text(query, 2), text(query, 3)};
}

std::optional<CustomerLookup::Customer> CustomerLookup::forName(const QString &name) const
{
    const QString collation = m_db.dialect().binaryCollation();
    const QString sql = QStringLiteral("select h, i from data1 where g = ? group by h, i "
                                       "order by h%1 nulls first, i%1 nulls first limit 1")
                            .arg(collation);
    QSqlQuery query = OpenStatement(m_db, sql, {name.trimmed()});
    if (!query.next())
        return std::nullopt;
    Customer customer;
    customer.name = name.trimmed();
    customer.address = text(query, 0);
    customer.contact = text(query, 1);
    return customer;
}

QStringList CustomerLookup::names() const
{
    // Thousands of lines per customer: instead of reading every line of the
    // g index (a "group by" over a million lines), hop from one name to the
    // next larger one, one index seek per customer. Lines without a customer
    // hold either nothing or empty text; the list offers one empty entry for
    // both, first.
    QStringList names;
    for (const QString &name : DistinctValuesByIndex(m_db, QStringLiteral("g"), QStringLiteral("data1"))) {
        if (!name.isEmpty() || names.isEmpty() || !names.constLast().isEmpty())
            names << name;
    }
    return names;
}
