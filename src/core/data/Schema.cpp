#include "Schema.h"

#include "Dialect.h"

namespace Schema {

QStringList stockColumns()
{
    return {QStringLiteral("id"), QStringLiteral("a"),   QStringLiteral("b"), QStringLiteral("c"),
            QStringLiteral("d"),  QStringLiteral("e"),   QStringLiteral("f"), QStringLiteral("g"),
            QStringLiteral("z"),  QStringLiteral("1"),   QStringLiteral("2"), QStringLiteral("3"),
            QStringLiteral("4"),  QStringLiteral("5"),   QStringLiteral("6"), QStringLiteral("7"),
            QStringLiteral("8"),  QStringLiteral("day1")};
}

QStringList saleLineColumns()
{
    QStringList columns{QStringLiteral("ID")};
    for (char c = 'a'; c <= 'z'; ++c)
        columns << QString(QLatin1Char(c));
    columns << QStringLiteral("1") << QStringLiteral("2") << QStringLiteral("3") << QStringLiteral("4")
            << QStringLiteral("a5") << QStringLiteral("6") << QStringLiteral("7") << QStringLiteral("8")
            << QStringLiteral("9");
    for (int i = 1; i <= 6; ++i)
        columns << QStringLiteral("day%1").arg(i);
    return columns;
}

const QList<Table> &tables()
{
    static const QList<Table> all{
        {QStringLiteral("data"), stockColumns()},
        {QStringLiteral("data1"), saleLineColumns()},
        {QStringLiteral("userdb"), {QStringLiteral("username"), QStringLiteral("passwd")}},
        {QStringLiteral("rz"),
         {QStringLiteral("id"), QStringLiteral("username"), QStringLiteral("btime"),
          QStringLiteral("jtime")}},
    };
    return all;
}

QString quoted(const QString &column)
{
    return !column.isEmpty() && column.front().isDigit() ? u'"' + column + u'"' : column;
}

static bool isFloatColumn(const QString &column)
{
    return column == QLatin1String("a5") || (!column.isEmpty() && column.front().isDigit());
}

static bool isDateColumn(const QString &column)
{
    return column.startsWith(QLatin1String("day"));
}

bool isTextColumn(const QString &column)
{
    return !isFloatColumn(column) && !isDateColumn(column) &&
           column.compare(QLatin1String("id"), Qt::CaseInsensitive) != 0 &&
           column != QLatin1String("btime") && column != QLatin1String("jtime");
}

static QString columnDefinitions(const QStringList &columns, const Dialect &dialect)
{
    QStringList defs;
    for (const QString &column : columns) {
        if (column.compare(QLatin1String("id"), Qt::CaseInsensitive) == 0)
            defs << column + u' ' + dialect.autoIncrementKey();
        else if (isFloatColumn(column))
            defs << quoted(column) + u' ' + dialect.floatType();
        else if (isDateColumn(column))
            defs << column + u' ' + dialect.dateType();
        else
            defs << column + u' ' + dialect.textType();
    }
    return defs.join(QStringLiteral(", "));
}

QStringList indexStatements()
{
    // The views filter and sort by these; the drop-down lists of the stock
    // list read the distinct values of d, g, b and c (a leads data_article).
    return {
        QStringLiteral("CREATE INDEX IF NOT EXISTS data_day1 ON data (day1)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS data_article ON data (a, b, c, d, day1)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS data_d ON data (d)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS data_g ON data (g)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS data_b ON data (b)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS data_c ON data (c)"),
        // The summary report groups every stock row by article and sums six
        // figures; with all of them in the index it never reads the wide rows.
        QStringLiteral("CREATE INDEX IF NOT EXISTS data_summary ON data (a, b, c, d, \"2\", \"3\", \"5\", "
                       "\"6\", \"7\", \"8\")"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS data1_day1 ON data1 (day1)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS data1_z ON data1 (z)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS data1_g ON data1 (g)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS data1_d ON data1 (d)"),
        // The sales-detail window sums quantity, amount, debt and profit over a
        // month (footers, charts) and over the name filter on every keystroke;
        // these answer those sums from the index alone, without the wide rows.
        QStringLiteral("CREATE INDEX IF NOT EXISTS data1_day1_sums ON data1 (day1, \"3\", \"4\", \"6\", a5)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS data1_e_sums ON data1 (e, \"3\", \"4\", \"6\", a5)"),
    };
}

QStringList serverIndexStatements(const Dialect &dialect)
{
    // The lists' own order is by date with the nulls first, then by the key.
    // SQLite's plain index on the date gives exactly that; PostgreSQL puts
    // nulls last in an index unless told, and without an index of the same
    // order it sorts the whole table for the first page.
    // The stock list's name box is matched case-blind, which PostgreSQL does
    // slowly row by row; with the name initials indexed it matches the few
    // distinct initials instead and then finds their rows by the index.
    if (dialect.isSQLite())
        return {};
    return {QStringLiteral("CREATE INDEX IF NOT EXISTS data_day1_id ON data (day1 NULLS FIRST, id)"),
            QStringLiteral("CREATE INDEX IF NOT EXISTS data1_day1_id ON data1 (day1 NULLS FIRST, ID)"),
            QStringLiteral("CREATE INDEX IF NOT EXISTS data_e ON data (e)")};
}

QStringList upgradeStatements(const Dialect &dialect)
{
    // ordercounter: the highest order counter handed out on each day
    // ("yyyyMMdd"), shared by every counter working on this database.
    return QStringList{
               QStringLiteral("CREATE TABLE IF NOT EXISTS ordercounter (day %1 PRIMARY KEY, n %2 NOT NULL)")
                   .arg(dialect.textType(),
                        dialect.isSQLite() ? QStringLiteral("INTEGER") : QStringLiteral("BIGINT"))} +
           indexStatements() + serverIndexStatements(dialect);
}

QStringList createStatements(const Dialect &dialect)
{
    const QString ts = dialect.timestampType();
    return QStringList{
               QStringLiteral("CREATE TABLE data (%1)").arg(columnDefinitions(stockColumns(), dialect)),
               QStringLiteral("CREATE TABLE data1 (%1)").arg(columnDefinitions(saleLineColumns(), dialect)),
               QStringLiteral("CREATE TABLE userdb (username %1, passwd %1)").arg(dialect.textType()),
               QStringLiteral("CREATE TABLE rz (id %1, username %2, btime %3, jtime %3)")
                   .arg(dialect.autoIncrementKey(), dialect.textType(), ts),
           } +
           indexStatements() + serverIndexStatements(dialect);
}

} // namespace Schema
