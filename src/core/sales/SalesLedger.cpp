#include "SalesLedger.h"

#include "data/Database.h"
#include "data/FieldCheck.h"
#include "data/Money.h"
#include "data/PinyinInitials.h"
#include "data/QueryHelpers.h"
#include "shell/Session.h"

#include <QSqlQuery>

#include <cmath>

double SalesLedger::roundToCents(double value)
{
    return Money::roundToCents(value);
}

namespace {
// The operator is told the truth: "not saved" only when the database says
// so, otherwise that it could not be found out.
QString commitFailure(const WriteTransaction &tx, const QString &notSaved)
{
    return tx.outcomeUnknown() ? tx.errorText() : notSaved.arg(tx.errorText());
}

// Typed text as stored: trimmed, and an empty box is empty text, not NULL, so
// substring filters and customer groupings see it like any other value.
QVariant typedText(const QString &text)
{
    const QString trimmed = text.trimmed();
    return trimmed.isEmpty() ? QVariant(QStringLiteral("")) : QVariant(trimmed);
}

// The order number and customer texts as they will be stored (trimmed).
void requireCustomerTexts(const QString &orderNumber, const QString &customer, const QString &address,
                          const QString &contact, const QString &remark)
{
    FieldCheck::requireText(u"z", orderNumber.trimmed(), QStringLiteral("销售单号"));
    FieldCheck::requireText(u"g", customer.trimmed(), QStringLiteral("客户名称"));
    FieldCheck::requireText(u"h", address.trimmed(), QStringLiteral("地址"));
    FieldCheck::requireText(u"i", contact.trimmed(), QStringLiteral("联系方式"));
    FieldCheck::requireText(u"j", remark.trimmed(), QStringLiteral("备注"));
}
} // namespace

SaleBooking SalesLedger::book(const SaleRequest &sale)
{
    SaleBooking booking;
    // NaN compares unequal to everything, so it must be caught before the
    // zero test below and long before it reaches the stock row.
    FieldCheck::requireNumber(sale.price, u"2", QStringLiteral("实际销售价"));
    FieldCheck::requireNumber(sale.quantity, u"3", QStringLiteral("销售数量"));
    FieldCheck::requireNumber(sale.debt, u"6", QStringLiteral("欠款金额"));
    requireCustomerTexts(sale.orderNumber, sale.customer, sale.address, sale.contact, sale.remark);
    if (sale.quantity == 0) {
        booking.result = SaleBooking::Result::ZeroQuantity;
        return booking;
    }
    WriteTransaction tx(m_db);
    if (!tx.isActive())
        throw DatabaseError(QStringLiteral("数据库操作失败：%1").arg(tx.errorText()), QString());

    const double q = sale.quantity;
    // Relative, conditional update on the value in the database at this
    // moment; a sale that the stock no longer covers changes nothing. The
    // updated row comes back with it: one statement, one trip to a server.
    const QString update =
        QStringLiteral("update data set \"5\" = coalesce(\"5\", 0) + ?, \"6\" = coalesce(\"6\", 0) + ?, "
                       "\"7\" = coalesce(\"7\", 0) - ?, "
                       "\"8\" = (coalesce(\"7\", 0) - ?) * coalesce(\"1\", 0) where id = ?");
    const QString covered = QStringLiteral(" and coalesce(\"7\", 0) >= ?");
    const QString rowFields = QStringLiteral("a, b, c, d, \"1\", day1, \"7\"");
    const QString returning = QStringLiteral(" returning ") + rowFields;
    const QVariantList stock =
        q > 0 ? FirstRow(m_db, update + covered + returning, {q, sale.price * q, q, q, sale.stockId, q})
              : FirstRow(m_db, update + returning, {q, sale.price * q, q, q, sale.stockId});
    if (stock.isEmpty()) {
        // Nothing changed: the row is gone or its stock does not cover the sale.
        const QVariantList current =
            FirstRow(m_db, QStringLiteral("select %1 from data where id = ?").arg(rowFields), {sale.stockId});
        if (current.isEmpty()) {
            booking.result = SaleBooking::Result::StockRowGone;
            return booking;
        }
        booking.stockLeft = current.value(6).toDouble();
        booking.result = SaleBooking::Result::InsufficientStock;
        return booking;
    }

    // The row is ours until commit; round the new stock quantity to cents here
    // so both engines store the same number (whole quantities need nothing).
    const double stockLeft = stock.value(6).toDouble();
    booking.stockLeft = roundToCents(stockLeft);
    if (booking.stockLeft != stockLeft)
        ExecuteStatement(m_db, QStringLiteral("update data set \"7\" = ? where id = ?"),
                         {booking.stockLeft, sale.stockId});

    const QString name = stock.value(0).toString();
    const QString spec = stock.value(1).toString();
    const double purchasePrice = stock.value(4).toDouble();
    const Dialect &dialect = m_db.dialect();
    const QVariant stockInDate = stock.value(5).isNull() ? dialect.dateValue(QDate())
                                                         : dialect.dateValue(Dialect::toDate(stock.value(5)));
    // The line keeps the stock row's a, b, c, d exactly as stored: they tie it
    // to its row when it is corrected or deleted later.
    const QVariantList values{stock.value(0),
                              stock.value(1),
                              stock.value(2),
                              stock.value(3),
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
    booking.lineId = FirstRow(m_db, insert, values).value(0).toLongLong();
    if (!tx.commit())
        throw DatabaseError(commitFailure(tx, QStringLiteral("销售数据未能保存：%1")), insert);
    booking.result = SaleBooking::Result::Booked;
    return booking;
}

InvalidDebt::InvalidDebt(const QString &typed)
    : DatabaseError(QStringLiteral("欠款金额“%1”不是有效的数字，无欠款请填0。").arg(typed.trimmed()),
                    QString()),
      m_typed(typed)
{}

std::optional<double> SalesLedger::parseDebt(const QString &text)
{
    const QString typed = text.trimmed();
    int points = 0;
    int digits = 0;
    for (const QChar c : typed) {
        if (c == u'.')
            ++points;
        else if (c >= u'0' && c <= u'9')
            ++digits;
        else
            return std::nullopt;
    }
    if (digits == 0 || points > 1)
        return std::nullopt;
    bool ok = false;
    const double value = typed.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

namespace {
// "col = ?" for a value, "col is null" for none: a line whose spec or
// stock-in date was empty still finds its row, and PostgreSQL never has to
// guess the type of a null parameter.
void matchExactly(QStringList &conditions, QVariantList &values, const QString &column, const QVariant &value)
{
    if (value.isNull()) {
        conditions << column + QStringLiteral(" is null");
    } else {
        conditions << column + QStringLiteral(" = ?");
        values << value;
    }
}
} // namespace

namespace {
// The stock row a sale line was sold from, as remove() gives back to: the
// first by id whose a, b, c, d equal the line's and whose day1 equals its day2;
// only a row with sold and stock quantities can take the give-back.
std::optional<qint64> tiedStockRow(const Database &db, const QVariant &name, const QVariant &spec,
                                   const QVariant &code, const QVariant &category, const QVariant &day2)
{
    const Dialect &dialect = db.dialect();
    const QDate stockInDate = Dialect::toDate(day2);
    QStringList conditions;
    QVariantList values;
    matchExactly(conditions, values, QStringLiteral("a"), name);
    matchExactly(conditions, values, QStringLiteral("b"), spec);
    matchExactly(conditions, values, QStringLiteral("c"), code);
    matchExactly(conditions, values, QStringLiteral("d"), category);
    matchExactly(conditions, values, QStringLiteral("day1"),
                 stockInDate.isValid() ? dialect.dateValue(stockInDate) : QVariant());
    const QString lookup = QStringLiteral("select id, \"5\", \"7\" from data where %1 order by id limit 1")
                               .arg(conditions.join(QStringLiteral(" and ")));
    QSqlQuery stock = OpenStatement(db, lookup, values);
    std::optional<qint64> id;
    if (stock.next() && !stock.isNull(1) && !stock.isNull(2))
        id = stock.value(0).toLongLong();
    stock.finish();
    return id;
}
} // namespace

bool SalesLedger::hasStockToGiveBackTo(qint64 lineId) const
{
    QSqlQuery line =
        OpenStatement(m_db, QStringLiteral("select a, b, c, d, day2 from data1 where ID = ?"), {lineId});
    if (!line.next())
        return false;
    const QVariantList tie{line.value(0), line.value(1), line.value(2), line.value(3), line.value(4)};
    line.finish();
    return tiedStockRow(m_db, tie.at(0), tie.at(1), tie.at(2), tie.at(3), tie.at(4)).has_value();
}

SalesLedger::Removal SalesLedger::remove(const Session &session, qint64 lineId)
{
    RequireAdministrator(session);
    WriteTransaction tx(m_db);
    if (!tx.isActive())
        throw DatabaseError(QStringLiteral("数据库操作失败：%1").arg(tx.errorText()), QString());

    // Deleting first and reading what was deleted makes the line ours: a
    // second counter deleting the same line finds nothing and gives nothing back.
    const QString deleteLine = QStringLiteral("delete from data1 where ID = ? returning a, b, c, d, day2, "
                                              "\"1\", \"3\", \"4\"");
    QSqlQuery line = OpenStatement(m_db, deleteLine, {lineId});
    if (!line.next())
        return Removal::AlreadyGone;
    const QVariant name = line.value(0), spec = line.value(1), code = line.value(2), category = line.value(3);
    const QVariant day2 = line.value(4);
    const QVariant purchase = line.value(5), quantity = line.value(6), amount = line.value(7);
    line.finish();

    const std::optional<qint64> stockId = tiedStockRow(m_db, name, spec, code, category, day2);
    if (stockId) {
        if (quantity.isNull() || amount.isNull() || purchase.isNull())
            throw DatabaseError(QStringLiteral("该销售记录缺少数量、金额或进价，无法退回库存，未删除。"),
                                deleteLine);
        const double q = quantity.toDouble();
        // Relative to the values in the database now, so a sale booked at
        // another counter meanwhile is not overwritten.
        ExecuteStatement(m_db,
                         QStringLiteral("update data set \"5\" = \"5\" - ?, \"6\" = coalesce(\"6\", 0) - ?, "
                                        "\"7\" = \"7\" + ?, \"8\" = ? + coalesce(\"8\", 0) where id = ?"),
                         {q, amount.toDouble(), q, q * purchase.toDouble(), *stockId});
    }
    if (!tx.commit())
        throw DatabaseError(commitFailure(tx, QStringLiteral("删除销售记录失败：%1")), deleteLine);
    return stockId ? Removal::GivenBack : Removal::NotGivenBack;
}

void SalesLedger::correct(const Session &session, qint64 lineId, const SaleCorrection &correction)
{
    RequireAdministrator(session);
    const std::optional<double> debt = parseDebt(correction.debt);
    if (!debt)
        throw InvalidDebt(correction.debt);
    FieldCheck::requireNumber(*debt, u"6", QStringLiteral("欠款金额"));
    requireCustomerTexts(correction.orderNumber, correction.customer, correction.address, correction.contact,
                         correction.remark);
    WriteTransaction tx(m_db);
    if (!tx.isActive())
        throw DatabaseError(QStringLiteral("数据库操作失败：%1").arg(tx.errorText()), QString());
    const QString update =
        QStringLiteral("update data1 set \"6\" = ?, z = ?, g = ?, h = ?, i = ?, j = ? where ID = ?");
    const int changed = ExecuteStatement(
        m_db, update,
        {*debt, typedText(correction.orderNumber), typedText(correction.customer),
         typedText(correction.address), typedText(correction.contact), typedText(correction.remark), lineId});
    if (changed == 0)
        throw DatabaseError(QStringLiteral("该销售记录已不存在，可能已被删除。"), update);
    if (!tx.commit())
        throw DatabaseError(commitFailure(tx, QStringLiteral("修改销售记录失败：%1")), update);
}
