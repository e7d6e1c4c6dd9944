#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QVariant>

// Every difference between SQLite and PostgreSQL that the program's SQL meets.
class Dialect
{
public:
    enum class Engine { SQLite, PostgreSQL };

    explicit Dialect(Engine engine = Engine::SQLite) : m_engine(engine) {}

    Engine engine() const { return m_engine; }
    bool isSQLite() const { return m_engine == Engine::SQLite; }
    bool isPostgreSQL() const { return m_engine == Engine::PostgreSQL; }
    QString name() const;

    // Case-insensitive substring match with a bound pattern:
    // "<column> LIKE ? ESCAPE '\'" (ILIKE on PostgreSQL). Bind containsPattern(text).
    QString containsMatch(const QString &column) const;
    // "%text%" with %, _ and the escape character made literal.
    static QString containsPattern(const QString &text);
    static QString escapeLike(const QString &text);

    // Integer year, month or day of a date column.
    QString yearOf(const QString &column) const;
    QString monthOf(const QString &column) const;
    QString dayOf(const QString &column) const;

    // Column types used by the schema.
    QString autoIncrementKey() const;
    QString textType() const { return QStringLiteral("TEXT"); }
    QString floatType() const;
    QString dateType() const;
    QString timestampType() const;

    // The larger of two numbers: "max(a, b)" on SQLite, "GREATEST(a, b)" on PostgreSQL.
    QString greatest(const QString &a, const QString &b) const;

    // Appended to an ORDER BY term so text sorts the same on both engines.
    QString binaryCollation() const;

    // Starts a write transaction. SQLite takes the write lock at once so two
    // counters queue instead of failing half-way; PostgreSQL uses row locks.
    QString beginWrite() const;

    // Values as they are bound for date and timestamp columns, and read back.
    QVariant dateValue(const QDate &date) const;
    QVariant timestampValue(const QDateTime &time) const;
    static QDate toDate(const QVariant &stored);
    // A stored date text ("2024-05-31", more after the tenth character is
    // ignored) as QDate::fromString reads it with "yyyy-MM-dd", only faster.
    static QDate parseStoredDate(QStringView text);
    static QDateTime toDateTime(const QVariant &stored);

    // Appended to an INSERT so that the new row's key comes back as a result row
    // (both engines understand RETURNING; SQLite since 3.35).
    static QString returningKey(const QString &column);

private:
    Engine m_engine;
};
