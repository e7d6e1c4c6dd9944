#include "SalesDetailQuery.h"

#include "data/Dialect.h"

QStringList SalesDetailQuery::gridFields()
{
    return {QStringLiteral("a"), QStringLiteral("b"),  QStringLiteral("c"), QStringLiteral("d"),
            QStringLiteral("2"), QStringLiteral("3"),  QStringLiteral("4"), QStringLiteral("day1"),
            QStringLiteral("6"), QStringLiteral("a5"), QStringLiteral("z"), QStringLiteral("g"),
            QStringLiteral("i"), QStringLiteral("h"),  QStringLiteral("j")};
}

QStringList SalesDetailQuery::fields()
{
    return gridFields() + QStringList{QStringLiteral("ID"), QStringLiteral("1"), QStringLiteral("day2"),
                                      QStringLiteral("e"), QStringLiteral("f")};
}

QStringList SalesDetailQuery::summedFields()
{
    return {QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("6"), QStringLiteral("a5")};
}

SqlListQuery SalesDetailQuery::base()
{
    SqlListQuery query;
    query.fields = fields();
    query.from = QStringLiteral("data1");
    // The key keeps the lines of one day in entry order and makes paging stable.
    query.keyFields = {QStringLiteral("ID")};
    query.dateFields = {QStringLiteral("day1"), QStringLiteral("day2")};
    query.defaultOrderField = QStringLiteral("day1");
    return query;
}

SqlListQuery SalesDetailQuery::thisMonth(const Dialect &dialect, const QDate &day)
{
    SqlListQuery query = base();
    // A range on the date itself, not a text match on its rendering: the
    // index on day1 serves it and both engines agree.
    const QDate first(day.year(), day.month(), 1);
    query.condition = QStringLiteral("day1 >= ? and day1 < ?");
    query.values << dialect.dateValue(first) << dialect.dateValue(first.addMonths(1));
    return query;
}

SqlListQuery SalesDetailQuery::allRecords(const Dialect &dialect)
{
    Q_UNUSED(dialect);
    return base();
}

SqlListQuery SalesDetailQuery::allReturns(const Dialect &dialect)
{
    Q_UNUSED(dialect);
    SqlListQuery query = base();
    query.condition = QStringLiteral("\"3\" < 0");
    return query;
}

SqlListQuery SalesDetailQuery::search(const Dialect &dialect, const SalesFilter &filter, Kind kind)
{
    SqlListQuery query = base();
    // The filter lists in entry order, as the lines were made.
    query.defaultOrderField.clear();
    QStringList conditions{kind == Kind::Sales ? QStringLiteral("\"3\" > 0") : QStringLiteral("\"3\" < 0")};
    const std::pair<QLatin1String, const QString *> boxes[] = {
        {QLatin1String("d"), &filter.category}, {QLatin1String("e"), &filter.nameInitials},
        {QLatin1String("c"), &filter.code},     {QLatin1String("f"), &filter.specInitials},
        {QLatin1String("g"), &filter.customer}, {QLatin1String("j"), &filter.remark},
    };
    for (const auto &[column, text] : boxes) {
        if (text->isEmpty())
            continue;
        conditions << dialect.containsMatch(QString(column));
        query.values << Dialect::containsPattern(*text);
    }
    if (filter.dateRangeOn) {
        conditions << QStringLiteral("day1 >= ?") << QStringLiteral("day1 <= ?");
        query.values << dialect.dateValue(filter.firstDate) << dialect.dateValue(filter.lastDate);
    }
    query.condition = conditions.join(QStringLiteral(" and "));
    return query;
}

SqlListQuery SalesDetailQuery::currentDay(const Dialect &dialect, SalesFilter filter)
{
    filter.dateRangeOn = true;
    return search(dialect, filter, Kind::Sales);
}

SqlListQuery SalesDetailQuery::orderNumberSearch(const Dialect &dialect, const QString &text)
{
    SqlListQuery query = base();
    query.defaultOrderField.clear();
    const QString typed = text.trimmed();
    if (typed.isEmpty()) {
        query.condition = QStringLiteral("z is not null and z <> ''");
    } else {
        query.condition = dialect.containsMatch(QStringLiteral("z"));
        query.values << Dialect::containsPattern(typed);
    }
    return query;
}
