#include "StockBook.h"

#include "data/Database.h"
#include "data/Dialect.h"
#include "data/FieldCheck.h"
#include "data/PinyinInitials.h"
#include "shell/Session.h"

#include <QRegularExpression>
#include <QSqlQuery>

#include <cmath>

InvalidNumber::InvalidNumber(const QString &text)
    : DatabaseError(QStringLiteral("'%1' is not a valid floating point value").arg(text), QString()),
      m_text(text)
{}

double StockBook::toNumber(const QString &text)
{
    // Digits with at most one decimal point, an optional sign and exponent;
    // blanks, a lone point or "1.2.3" are not numbers.
    static const QRegularExpression number(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?$"));
    if (!number.match(text).hasMatch())
        throw InvalidNumber(text);
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        throw InvalidNumber(text);
    return value;
}

namespace {

// The record's values in the order of the column list below, all converted
// before the transaction starts so a bad number never leaves half a record.
struct StockValues
{
    double purchasePrice = 0;
    double quantity = 0;
    double purchaseAmount = 0;
    double salePrice = 0;
    double sold = 0;
    double salesAmount = 0;
    double stockQuantity = 0;
    double stockAmount = 0;
};

// An empty box is stored as empty text, not NULL, so the quick query's
// substring filters and the distinct lists treat it like any other value.
QVariant storedText(const QString &text)
{
    return text.isEmpty() ? QVariant(QStringLiteral("")) : QVariant(text);
}

double numberOrZero(const QString &text)
{
    return text.isEmpty() ? 0.0 : StockBook::toNumber(text);
}

QVariantList columnValues(const Database &db, const StockEntry &entry, const StockValues &v)
{
    const QString name = entry.name.trimmed();
    const QString spec = entry.spec.trimmed();
    return {storedText(name),
            storedText(spec),
            storedText(entry.code.trimmed()),
            storedText(entry.category.trimmed()),
            v.purchasePrice,
            v.quantity,
            v.purchaseAmount,
            v.salePrice,
            v.sold,
            v.salesAmount,
            v.stockQuantity,
            v.stockAmount,
            storedText(entry.remark.trimmed()),
            db.dialect().dateValue(entry.stockInDate),
            storedText(entry.supplier.trimmed()),
            storedText(PinyinInitials(name)),
            storedText(PinyinInitials(spec))};
}

void requireDate(const StockEntry &entry)
{
    if (!entry.stockInDate.isValid())
        throw DatabaseError(QStringLiteral("入库日期必须输入"), QString());
}

// Texts as they will be stored (trimmed) within the limits both engines keep.
void requireTexts(const StockEntry &entry)
{
    FieldCheck::requireText(u"a", entry.name.trimmed(), QStringLiteral("商品名称"));
    FieldCheck::requireText(u"b", entry.spec.trimmed(), QStringLiteral("规格型号"));
    FieldCheck::requireText(u"c", entry.code.trimmed(), QStringLiteral("商品编码"));
    FieldCheck::requireText(u"d", entry.category.trimmed(), QStringLiteral("类别"));
    FieldCheck::requireText(u"g", entry.supplier.trimmed(), QStringLiteral("供货商"));
    FieldCheck::requireText(u"z", entry.remark.trimmed(), QStringLiteral("备注"));
}

// Goods are received at a price and in a quantity, never a negative one;
// returns go through the sales.
void requireReceipt(double purchasePrice, double quantity, double salePrice)
{
    FieldCheck::requireNotNegative(purchasePrice, u"1", QStringLiteral("进货单价"));
    FieldCheck::requireNotNegative(quantity, u"2", QStringLiteral("进货数量"));
    FieldCheck::requireNotNegative(salePrice, u"4", QStringLiteral("销售单价"));
}

} // namespace

qint64 StockBook::add(const Session &session, const StockEntry &entry)
{
    RequireAdministrator(session);
    StockValues v;
    v.purchasePrice = toNumber(entry.purchasePrice);
    v.quantity = toNumber(entry.quantity);
    v.salePrice = toNumber(entry.salePrice);
    v.sold = numberOrZero(entry.sold);
    v.stockQuantity = entry.stockQuantity.isEmpty() ? v.quantity : toNumber(entry.stockQuantity);
    requireReceipt(v.purchasePrice, v.quantity, v.salePrice);
    FieldCheck::requireNumber(v.sold, u"5", QStringLiteral("销售数量"));
    FieldCheck::requireNumber(v.stockQuantity, u"7", QStringLiteral("库存数量"));
    requireTexts(entry);
    v.purchaseAmount = v.purchasePrice * v.quantity;
    v.salesAmount = v.salePrice * v.sold;
    // A new record's stock amount is what was paid for the goods received,
    // even when the stock quantity was typed differently.
    v.stockAmount = v.purchaseAmount;
    requireDate(entry);

    WriteTransaction tx(m_db);
    if (!tx.isActive())
        throw DatabaseError(QStringLiteral("数据库操作失败：%1").arg(tx.errorText()), QString());
    const QString insert =
        QStringLiteral(
            "insert into data (a, b, c, d, \"1\", \"2\", \"3\", \"4\", \"5\", \"6\", \"7\", \"8\", "
            "z, day1, g, e, f) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)") +
        Dialect::returningKey(QStringLiteral("id"));
    const qint64 id = ScalarValue(m_db, insert, columnValues(m_db, entry, v)).toLongLong();
    if (!tx.commit())
        throw DatabaseError(QStringLiteral("数据未能入库：%1").arg(tx.errorText()), insert);
    return id;
}

void StockBook::modify(const Session &session, qint64 id, const StockEntry &entry)
{
    RequireAdministrator(session);
    const double purchasePrice = toNumber(entry.purchasePrice);
    const double quantity = toNumber(entry.quantity);
    const double salePrice = toNumber(entry.salePrice);
    requireReceipt(purchasePrice, quantity, salePrice);
    requireTexts(entry);
    requireDate(entry);

    WriteTransaction tx(m_db);
    if (!tx.isActive())
        throw DatabaseError(QStringLiteral("数据库操作失败：%1").arg(tx.errorText()), QString());
    // The right-hand sides all see the row as it was, on both engines.
    const QString update = QStringLiteral(
        "update data set a = ?, b = ?, c = ?, d = ?, \"1\" = ?, \"2\" = ?, \"3\" = ?, \"4\" = ?, "
        "\"6\" = case when \"4\" = ? then \"6\" else ? * coalesce(\"5\", 0) end, "
        "\"7\" = ? - coalesce(\"5\", 0), \"8\" = (? - coalesce(\"5\", 0)) * ?, "
        "z = ?, day1 = ?, g = ?, e = ?, f = ? where id = ?");
    const QString name = entry.name.trimmed();
    const QString spec = entry.spec.trimmed();
    const QVariantList values{storedText(name),
                              storedText(spec),
                              storedText(entry.code.trimmed()),
                              storedText(entry.category.trimmed()),
                              purchasePrice,
                              quantity,
                              purchasePrice * quantity,
                              salePrice,
                              salePrice,
                              salePrice,
                              quantity,
                              quantity,
                              purchasePrice,
                              storedText(entry.remark.trimmed()),
                              m_db.dialect().dateValue(entry.stockInDate),
                              storedText(entry.supplier.trimmed()),
                              storedText(PinyinInitials(name)),
                              storedText(PinyinInitials(spec)),
                              id};
    if (ExecuteStatement(m_db, update, values) == 0)
        throw DatabaseError(QStringLiteral("要修改的记录已不存在，可能已被删除。"), update);
    if (!tx.commit())
        throw DatabaseError(QStringLiteral("修改未能保存：%1").arg(tx.errorText()), update);
}

bool StockBook::remove(const Session &session, qint64 id)
{
    RequireAdministrator(session);
    WriteTransaction tx(m_db);
    if (!tx.isActive())
        throw DatabaseError(QStringLiteral("数据库操作失败：%1").arg(tx.errorText()), QString());
    const QString sql = QStringLiteral("delete from data where id = ?");
    const bool removed = ExecuteStatement(m_db, sql, {id}) > 0;
    if (!tx.commit())
        throw DatabaseError(QStringLiteral("删除未能保存：%1").arg(tx.errorText()), sql);
    return removed;
}

std::optional<StockForSale> StockBook::forSale(qint64 id) const
{
    QSqlQuery row =
        OpenStatement(m_db,
                      QStringLiteral("select a, b, c, d, \"1\", \"4\", \"5\", \"6\", \"7\", day1, z "
                                     "from data where id = ?"),
                      {id});
    if (!row.next())
        return std::nullopt;
    return StockForSale{row.value(0).toString(),
                        row.value(1).toString(),
                        row.value(2).toString(),
                        row.value(3).toString(),
                        row.value(10).toString(),
                        row.value(4).toDouble(),
                        row.value(5),
                        row.value(6).toDouble(),
                        row.value(7).toDouble(),
                        row.value(8),
                        Dialect::toDate(row.value(9))};
}

std::optional<double> StockBook::stockNow(qint64 id) const
{
    const QVariant value =
        ScalarValue(m_db, QStringLiteral("select coalesce(\"7\", 0) from data where id = ?"), {id});
    if (!value.isValid())
        return std::nullopt;
    return value.toDouble();
}
