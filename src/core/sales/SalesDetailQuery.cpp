#include "SalesDetailQuery.h"

#include "data/Database.h"
#include "data/Dialect.h"
#include "data/FewValuesMatch.h"

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
    return build(dialect, filter, kind, nullptr);
}

SqlListQuery SalesDetailQuery::search(const Database &db, const SalesFilter &filter, Kind kind)
{
    return build(db.dialect(), filter, kind, &db);
}

bool SalesDetailQuery::isNarrowed(const QString &column)
{
    // The indexed columns of few values: category, name initials, customer.
    return column == QLatin1String("d") || column == QLatin1String("e") || column == QLatin1String("g");
}

SqlListQuery SalesDetailQuery::build(const Dialect &dialect, const SalesFilter &filter, Kind kind,
                                     const Database *db)
{
    SqlListQuery query = base();
    // The filter lists in entry order, as the lines were made.
    query.defaultOrderField.clear();
    QStringList conditions{kind == Kind::Sales ? QStringLiteral("\"3\" > 0") : QStringLiteral("\"3\" < 0")};
    // For long results SQLite reads the pages along the key: "+e" keeps it
    // from the name's index (which would have it sort every matching line).
    QStringList pageConditions = conditions;
    bool narrowedAny = false;
    const std::pair<QLatin1String, const QString *> boxes[] = {
        {QLatin1String("d"), &filter.category}, {QLatin1String("e"), &filter.nameInitials},
        {QLatin1String("c"), &filter.code},     {QLatin1String("f"), &filter.specInitials},
        {QLatin1String("g"), &filter.customer}, {QLatin1String("j"), &filter.remark},
    };
    for (const auto &[column, text] : boxes) {
        if (text->isEmpty())
            continue;
        const QString pattern = Dialect::containsPattern(*text);
        std::optional<NarrowedCondition> narrowed;
        if (db && isNarrowed(column))
            narrowed = MatchAmongFewValues(*db, QStringLiteral("data1"), column,
                                           dialect.containsMatch(QStringLiteral("%1")), pattern);
        if (narrowed) {
            conditions << narrowed->condition;
            pageConditions << (dialect.isSQLite() && !narrowed->matchesNothing ? u'+' + narrowed->condition
                                                                               : narrowed->condition);
            query.values << narrowed->values;
            narrowedAny = true;
        } else {
            conditions << dialect.containsMatch(QString(column));
            pageConditions << conditions.constLast();
            query.values << pattern;
        }
    }
    if (filter.dateRangeOn) {
        conditions << QStringLiteral("day1 >= ?") << QStringLiteral("day1 <= ?");
        pageConditions << QStringLiteral("day1 >= ?") << QStringLiteral("day1 <= ?");
        query.values << dialect.dateValue(filter.firstDate) << dialect.dateValue(filter.lastDate);
    }
    query.condition = conditions.join(QStringLiteral(" and "));
    if (narrowedAny && dialect.isSQLite())
        query.pageCondition = pageConditions.join(QStringLiteral(" and "));
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
