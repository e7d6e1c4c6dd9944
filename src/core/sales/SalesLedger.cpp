#include "SalesLedger.h"

#include "data/Database.h"
#include "data/PinyinInitials.h"
#include "data/QueryHelpers.h"

#include <QSqlQuery>

#include <cmath>

double SalesLedger::roundToCents(double value)
{
    // The "0.00" form rounds the number as it reads with 15 significant
    // digits, half away from zero: 1.005 gives 1.01 although the binary
    // value lies just below it.
    if (!std::isfinite(value) || value == 0)
        return 0;
    const QString text = QString::number(std::abs(value), 'e', 14); // d.dddddddddddddde±XX
    QString digits = text.left(1) + text.mid(2, 14);
    const int exponent = text.mid(text.indexOf(u'e') + 1).toInt();
    const int kept = exponent + 3; // digits that stay: units .. cents
    if (kept >= 15)
        return value;
    qint64 cents = 0;
    if (kept > 0)
        cents = digits.left(kept).toLongLong();
    if (kept >= 0 && digits.at(kept) >= u'5')
        ++cents;
    const double result = double(cents) / 100.0;
    return value < 0 ? -result : result;
}

namespace {
// Typed text as stored: trimmed, and an empty box is empty text, not NULL, so
// substring filters and customer groupings see it like any other value.
QVariant typedText(const QString &text)
{
    const QString trimmed = text.trimmed();
    return trimmed.isEmpty() ? QVariant(QStringLiteral("")) : QVariant(trimmed);
}
} // namespace

SaleBooking SalesLedger::book(const SaleRequest &sale)
{
    SaleBooking booking;
    if (sale.quantity == 0) {
        booking.result = SaleBooking::Result::ZeroQuantity;
        return booking;
    }
    WriteTransaction tx(m_db);
    if (!tx.isActive())
        throw DatabaseError(QStringLiteral("数据库操作失败：%1").arg(tx.errorText()), QString());

    const double q = sale.quantity;
    // Relative, conditional update on the value in the database at this
    // moment; a sale that the stock no longer covers changes nothing.
    const QString update =
        QStringLiteral("update data set \"5\" = coalesce(\"5\", 0) + ?, \"6\" = coalesce(\"6\", 0) + ?, "
                       "\"7\" = coalesce(\"7\", 0) - ?, "
                       "\"8\" = (coalesce(\"7\", 0) - ?) * coalesce(\"1\", 0) where id = ?");
    const QString covered = QStringLiteral(" and coalesce(\"7\", 0) >= ?");
    const int changed =
        q > 0 ? ExecuteStatement(m_db, update + covered, {q, sale.price * q, q, q, sale.stockId, q})
              : ExecuteStatement(m_db, update, {q, sale.price * q, q, q, sale.stockId});

    QSqlQuery row = OpenStatement(
        m_db, QStringLiteral("select a, b, c, d, \"1\", day1, \"7\" from data where id = ?"), {sale.stockId});
    if (!row.next()) {
        booking.result = SaleBooking::Result::StockRowGone;
        return booking;
    }
    booking.stockLeft = row.value(6).toDouble();
    if (changed == 0) {
        booking.result = SaleBooking::Result::InsufficientStock;
        return booking;
    }

    // The row is ours until commit; round the new stock quantity to cents here
    // so both engines store the same number.
    booking.stockLeft = roundToCents(booking.stockLeft);
    ExecuteStatement(m_db, QStringLiteral("update data set \"7\" = ? where id = ?"),
                     {booking.stockLeft, sale.stockId});

    const QString name = row.value(0).toString();
    const QString spec = row.value(1).toString();
    const double purchasePrice = row.value(4).toDouble();
    const Dialect &dialect = m_db.dialect();
    const QVariant stockInDate =
        row.isNull(5) ? dialect.dateValue(QDate()) : dialect.dateValue(Dialect::toDate(row.value(5)));
    // The line keeps the stock row's a, b, c, d exactly as stored: they tie it
    // to its row when it is corrected or deleted later.
    const QVariantList values{row.value(0),
                              row.value(1),
                              row.value(2),
                              row.value(3),
                              PinyinInitials(name.trimmed()),
                              PinyinInitials(spec.trimmed()),
                              typedText(sale.orderNumber),
                              typedText(sale.customer),
                              typedText(sale.address),
                              typedText(sale.contact),
                              typedText(sale.remark),
                              purchasePrice,
                              sale.price,
                              q,
                              sale.price * q,
                              roundToCents((sale.price - purchasePrice) * q),
                              sale.debt,
                              dialect.dateValue(sale.saleDate),
                              stockInDate};
    const QString insert =
        QStringLiteral(
            "insert into data1 (a, b, c, d, e, f, z, g, h, i, j, \"1\", \"2\", \"3\", \"4\", a5, \"6\", "
            "day1, day2) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)") +
        Dialect::returningKey(QStringLiteral("ID"));
    booking.lineId = ScalarValue(m_db, insert, values).toLongLong();
    if (!tx.commit())
        throw DatabaseError(QStringLiteral("销售数据未能保存：%1").arg(tx.errorText()), insert);
    booking.result = SaleBooking::Result::Booked;
    return booking;
}
