#include "SummaryQuery.h"

#include "data/Schema.h"

namespace {

// Result name and the data column it sums.
struct Sum
{
    const char16_t *name;
    const char *column;
};

constexpr Sum kSums[] = {
    {u"进货数量", "2"}, {u"进货金额", "3"}, {u"销售数量", "5"},
    {u"销售金额", "6"}, {u"库存数量", "7"}, {u"库存金额", "8"},
};

const QStringList kGroupColumns{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"),
                                QStringLiteral("d")};

} // namespace

QStringList SummaryQuery::fields()
{
    return kGroupColumns + summedFields();
}

QStringList SummaryQuery::summedFields()
{
    QStringList names;
    for (const Sum &sum : kSums)
        names << QString::fromUtf16(sum.name);
    return names;
}

SqlListQuery SummaryQuery::all()
{
    SqlListQuery query;
    query.fields = fields();
    query.expressions = QStringList(kGroupColumns.size(), QString());
    for (const Sum &sum : kSums)
        query.expressions << QStringLiteral("sum(") + Schema::quoted(QLatin1String(sum.column)) + u')';
    query.from = QStringLiteral("data");
    query.groupBy = kGroupColumns.join(QStringLiteral(", "));
    // The group columns are unique per row and make the order total.
    query.keyFields = kGroupColumns;
    return query;
}
