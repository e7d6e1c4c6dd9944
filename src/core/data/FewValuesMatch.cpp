#include "FewValuesMatch.h"

#include "Database.h"
#include "QueryHelpers.h"

#include <QSqlQuery>

std::optional<NarrowedCondition> MatchAmongFewValues(const Database &db, const QString &table,
                                                     const QString &column, const QString &matchTemplate,
                                                     const QVariant &pattern, int maxValues)
{
    // Each step of the walk is one seek in the index; the walk stops one value
    // past the limit, so a column of many values costs a bounded few seeks.
    // Null never matches a pattern and is left out, as the plain match does.
    const QString sql =
        QStringLiteral("with recursive hop(v, n) as (select min(%1), 1 from %2 union all "
                       "select (select min(%1) from %2 where %1 > hop.v), hop.n + 1 from hop "
                       "where hop.v is not null and hop.n <= %3) "
                       "select v, case when %4 then 1 else 0 end from hop where v is not null")
            .arg(column, table, QString::number(maxValues), matchTemplate.arg(QStringLiteral("v")));
    QSqlQuery query = OpenStatement(db, sql, {pattern});
    NarrowedCondition narrowed;
    int distinct = 0;
    while (query.next()) {
        if (++distinct > maxValues)
            return std::nullopt;
        if (query.value(1).toInt() == 1)
            narrowed.values << query.value(0);
    }
    if (narrowed.values.isEmpty()) {
        narrowed.condition = QStringLiteral("1 = 0");
        narrowed.matchesNothing = true;
        return narrowed;
    }
    QString marks;
    for (qsizetype i = 0; i < narrowed.values.size(); ++i)
        marks += i == 0 ? QStringLiteral("?") : QStringLiteral(",?");
    narrowed.condition = column + QStringLiteral(" in (") + marks + u')';
    return narrowed;
}
