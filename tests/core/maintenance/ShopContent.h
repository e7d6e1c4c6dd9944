#pragma once

#include "data/Database.h"
#include "data/Dialect.h"
#include "data/QueryHelpers.h"
#include "data/Schema.h"
#include "sales/SalesLedger.h"
#include "shell/SessionLog.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSqlQuery>

// Filling a test shop and reading all of it back in one engine-neutral text,
// so two shops (or one before and after) compare exactly: row counts, every
// money value and every row.
namespace ShopContent {

inline qint64 addStock(const Database &db, const QString &name, double price, double quantity,
                       const QDate &day)
{
    const QVariant id = ScalarValue(
        db,
        QStringLiteral(
            "insert into data (a, b, c, d, e, f, g, z, \"1\", \"2\", \"3\", \"4\", \"5\", \"6\", \"7\", "
            "\"8\", day1) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 0, 0, ?, ?, ?)") +
            Dialect::returningKey(QStringLiteral("id")),
        {name, QStringLiteral("24寸"), QStringLiteral("C-%1").arg(name), QStringLiteral("拉杆箱"),
         QStringLiteral("lgx"), QStringLiteral("24c"), QStringLiteral("王'老板"), QStringLiteral("备注 %_"),
         price, quantity, price * quantity, price * 1.7, quantity, price * quantity,
         db.dialect().dateValue(day)});
    return id.toLongLong();
}

inline SaleBooking sell(const Database &db, qint64 stockId, double price, double quantity, const QDate &day,
                        const QString &order)
{
    SaleRequest sale;
    sale.stockId = stockId;
    sale.price = price;
    sale.quantity = quantity;
    sale.debt = quantity > 1 ? 12.5 : 0;
    sale.orderNumber = order;
    sale.customer = QStringLiteral("张三");
    sale.address = QStringLiteral("北京路 1 号");
    sale.contact = QStringLiteral("13800000000");
    sale.saleDate = day;
    return SalesLedger(db).book(sale);
}

// A small shop with awkward values: binary fractions, a return, quotes,
// sessions with times.
inline void fill(const Database &db, int articles = 12)
{
    const QDate day(2024, 3, 5);
    for (int i = 0; i < articles; ++i) {
        const qint64 id =
            addStock(db, QStringLiteral("箱包%1").arg(i), 10.1 + i * 0.37, 50 + i, day.addDays(-i));
        sell(db, id, 19.99 + i, 1.333, day.addDays(i % 3),
             QStringLiteral("20240305%1").arg(i, 3, 10, QLatin1Char('0')));
        if (i % 4 == 0)
            sell(db, id, 19.99, -1, day, QStringLiteral("20240305900"));
    }
    SessionLog log(db);
    const qint64 session = log.open(Schema::kAdministrator);
    log.close(session);
    log.open(QStringLiteral("店员"));
}

inline QString normalised(const QString &column, const QVariant &value)
{
    if (value.isNull())
        return QStringLiteral("∅");
    if (column.startsWith(QLatin1String("day")))
        return Dialect::toDate(value).toString(Qt::ISODate);
    if (column == QLatin1String("btime") || column == QLatin1String("jtime"))
        return Dialect::toDateTime(value).toString(Qt::ISODate);
    if (column.compare(QLatin1String("id"), Qt::CaseInsensitive) == 0)
        return QString::number(value.toLongLong());
    if (!Schema::isTextColumn(column))
        return QString::number(value.toDouble(), 'g', 17);
    return value.toString();
}

// Every row of the four tables in key order, one line each, plus the
// count and money sums per table.
inline QString text(const Database &db)
{
    QStringList lines;
    for (const Schema::Table &table : Schema::tables()) {
        QStringList quoted;
        for (const QString &column : table.columns)
            quoted << Schema::quoted(column);
        const QString key = table.name == QLatin1String("userdb") ? QStringLiteral("username, passwd")
                                                                  : table.columns.first();
        QSqlQuery q = OpenStatement(db, QStringLiteral("select %1 from %2 order by %3")
                                            .arg(quoted.join(QStringLiteral(", ")), table.name, key));
        int rows = 0;
        QList<double> sums(table.columns.size(), 0.0);
        while (q.next()) {
            QStringList cells;
            for (int c = 0; c < table.columns.size(); ++c) {
                cells << normalised(table.columns.at(c), q.value(c));
                sums[c] += q.value(c).toDouble();
            }
            lines << table.name + u':' + cells.join(u'|');
            ++rows;
        }
        QStringList money;
        for (int c = 0; c < table.columns.size(); ++c) {
            if (!Schema::isTextColumn(table.columns.at(c)) &&
                !table.columns.at(c).startsWith(QLatin1String("day")))
                money << QString::number(sums.at(c), 'f', 2);
        }
        lines << QStringLiteral("%1: %2 rows, sums %3").arg(table.name).arg(rows).arg(money.join(u' '));
    }
    return lines.join(u'\n');
}

inline QByteArray fileHash(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArrayLiteral("(missing)");
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result().toHex();
}

} // namespace ShopContent
