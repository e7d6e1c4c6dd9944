#include "StockQuery.h"

#include "data/Database.h"
#include "data/Dialect.h"
#include "data/FewValuesMatch.h"
#include "data/Schema.h"

QStringList StockQuery::fields()
{
    return Schema::stockColumns();
}

QStringList StockQuery::summedFields()
{
    return {QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("5"),
            QStringLiteral("6"), QStringLiteral("7"), QStringLiteral("8")};
}

SqlListQuery StockQuery::base(bool zeroStockHidden)
{
    SqlListQuery query;
    query.fields = fields();
    query.from = QStringLiteral("data");
    // The key makes paging and equal sort values stable.
    query.keyFields = {QStringLiteral("id")};
    query.dateFields = {QStringLiteral("day1")};
    if (zeroStockHidden)
        query.condition = QStringLiteral("\"7\" <> 0");
    return query;
}

SqlListQuery StockQuery::allRecords(const Dialect &dialect, bool zeroStockHidden)
{
    Q_UNUSED(dialect);
    SqlListQuery query = base(zeroStockHidden);
    query.defaultOrderField = QStringLiteral("day1");
    return query;
}

SqlListQuery StockQuery::search(const Dialect &dialect, bool zeroStockHidden, const StockFilter &filter)
{
    return build(dialect, zeroStockHidden, filter, nullptr);
}

SqlListQuery StockQuery::search(const Database &db, bool zeroStockHidden, const StockFilter &filter)
{
    return build(db.dialect(), zeroStockHidden, filter, &db);
}

bool StockQuery::isNarrowed(const Dialect &dialect, const QString &column)
{
    // PostgreSQL matches case-blind slowly row by row: for the indexed columns
    // of few values (category, name initials, supplier) it matches their
    // distinct values instead. SQLite's match over the table is as fast as
    // finding the rows of those values.
    return !dialect.isSQLite() &&
           (column == QLatin1String("d") || column == QLatin1String("e") || column == QLatin1String("g"));
}

SqlListQuery StockQuery::build(const Dialect &dialect, bool zeroStockHidden, const StockFilter &filter,
                               const Database *db)
{
    SqlListQuery query = base(zeroStockHidden);
    // Without the zero-stock switch a search lists only rows that were
    // actually received (purchase quantity above 0).
    QStringList conditions{zeroStockHidden ? QStringLiteral("\"7\" <> 0") : QStringLiteral("\"2\" > 0")};
    const std::pair<QLatin1String, const QString *> boxes[] = {
        {QLatin1String("d"), &filter.category},     {QLatin1String("e"), &filter.nameInitials},
        {QLatin1String("f"), &filter.specInitials}, {QLatin1String("c"), &filter.code},
        {QLatin1String("z"), &filter.remark},       {QLatin1String("g"), &filter.supplier},
    };
    for (const auto &[column, text] : boxes) {
        if (text->isEmpty())
            continue;
        const QString pattern = Dialect::containsPattern(*text);
        std::optional<NarrowedCondition> narrowed;
        if (db && isNarrowed(dialect, column))
            narrowed = MatchAmongFewValues(*db, QStringLiteral("data"), column,
                                           dialect.containsMatch(QStringLiteral("%1")), pattern);
        if (narrowed) {
            conditions << narrowed->condition;
            query.values << narrowed->values;
        } else {
            conditions << dialect.containsMatch(QString(column));
            query.values << pattern;
        }
    }
    if (filter.dateRangeOn) {
        conditions << QStringLiteral("day1 >= ?") << QStringLiteral("day1 <= ?");
        query.values << dialect.dateValue(filter.firstDate) << dialect.dateValue(filter.lastDate);
    }
    query.condition = conditions.join(QStringLiteral(" and "));
    return query;
}
