#include "QueryHelpers.h"

#include "Database.h"
#include "Schema.h"

#include <QRegularExpression>
#include <QSqlError>

DatabaseError::DatabaseError(const QString &message, const QString &sql)
    : std::runtime_error(message.toStdString()), m_message(message), m_sql(sql)
{}

namespace {
StatementRecorder *activeRecorder = nullptr;
} // namespace

StatementRecorder::StatementRecorder()
{
    activeRecorder = this;
}

StatementRecorder::~StatementRecorder()
{
    if (activeRecorder == this)
        activeRecorder = nullptr;
}

void RecordStatement(const QString &sql, const QVariantList &values)
{
    if (activeRecorder)
        activeRecorder->m_statements.append({sql, values});
}

namespace {

[[noreturn]] void raise(const QSqlQuery &query, const QString &sql)
{
    const QSqlError error = query.lastError();
    QString detail = error.databaseText().trimmed();
    if (detail.isEmpty())
        detail = error.text().trimmed();
    throw DatabaseError(QStringLiteral("数据库操作失败：%1").arg(detail), sql);
}

bool isRead(const QString &sql)
{
    const QString start = sql.trimmed().left(6).toLower();
    return start == QLatin1String("select") ||
           sql.trimmed().startsWith(QLatin1String("with"), Qt::CaseInsensitive);
}

bool attempt(QSqlQuery &query, const QString &sql, const QVariantList &values)
{
    if (!query.prepare(sql))
        return false;
    for (const QVariant &value : values)
        query.addBindValue(value);
    return query.exec();
}

QSqlQuery run(const Database &db, const QString &sql, const QVariantList &values, bool forwardOnly)
{
    // Writes wait for the file check at start-up and are refused on a
    // damaged file.
    if (!isRead(sql) && !db.ensureWritable())
        throw DatabaseError(db.writeRefusal().isEmpty() ? db.errorText() : db.writeRefusal(), sql);
    RecordStatement(sql, values);
    QSqlQuery query(db.connection());
    query.setForwardOnly(forwardOnly);
    if (attempt(query, sql, values))
        return query;
    if (db.dialect().isPostgreSQL()) {
        // A lost connection (server restarted, network gone) is opened again
        // here, so the next operation works. A read outside a transaction is
        // simply repeated; a write may or may not have reached the server, so
        // the operator is told.
        const QSqlError error = query.lastError();
        const Database::Connection connection = db.recoverConnection();
        if (connection == Database::Connection::Reconnected && !db.inTransaction() && isRead(sql)) {
            QSqlQuery again(db.connection());
            again.setForwardOnly(forwardOnly);
            if (attempt(again, sql, values))
                return again;
        }
        if (connection != Database::Connection::Alive) {
            QString reason = (error.databaseText().isEmpty() ? error.text() : error.databaseText()).trimmed();
            reason = reason.section(u'\n', 0, 0).trimmed();
            throw DatabaseError(
                db.lostConnectionText(reason.isEmpty() ? QStringLiteral("连接已断开") : reason), sql);
        }
    }
    raise(query, sql);
}

QString checkedIdentifier(const QString &name)
{
    // Column and table names come from the program, never from a box; refuse
    // anything that is not a plain code so a slip cannot become injection.
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_]+$"));
    if (!plain.match(name).hasMatch())
        throw DatabaseError(QStringLiteral("无效的列名或表名：%1").arg(name), QString());
    return Schema::quoted(name);
}

} // namespace

QSqlQuery OpenStatement(const Database &db, const QString &sql, const QVariantList &values)
{
    return run(db, sql, values, true);
}

int ExecuteStatement(const Database &db, const QString &sql, const QVariantList &values)
{
    const QSqlQuery query = run(db, sql, values, true);
    return query.numRowsAffected();
}

QVariant ScalarValue(const Database &db, const QString &sql, const QVariantList &values)
{
    QSqlQuery query = run(db, sql, values, true);
    return query.next() ? query.value(0) : QVariant();
}

QSqlQuery OpenDistinctValues(const Database &db, const QString &column, const QString &table)
{
    const QString c = checkedIdentifier(column);
    const QString collation = Schema::isTextColumn(column) ? db.dialect().binaryCollation() : QString();
    const QString sql = QStringLiteral("select %1 from %2 group by %1 order by %1%3 NULLS FIRST")
                            .arg(c, checkedIdentifier(table), collation);
    return run(db, sql, {}, true);
}

QStringList DistinctValues(const Database &db, const QString &column, const QString &table)
{
    QSqlQuery query = OpenDistinctValues(db, column, table);
    QStringList values;
    while (query.next())
        values << (query.isNull(0) ? QString() : query.value(0).toString());
    return values;
}

QStringList DistinctValuesByIndex(const Database &db, const QString &column, const QString &table)
{
    const QString c = checkedIdentifier(column);
    const QString t = checkedIdentifier(table);
    const QString collation = Schema::isTextColumn(column) ? db.dialect().binaryCollation() : QString();
    QStringList values;
    if (ScalarValue(db, QStringLiteral("select 1 from %1 where %2 is null limit 1").arg(t, c)).isValid())
        values << QString();
    const QString sql = QStringLiteral("with recursive hop(v) as (select min(%1) from %2 union all "
                                       "select (select min(%1) from %2 where %1 > hop.v) from hop "
                                       "where hop.v is not null) "
                                       "select v from hop where v is not null order by v%3")
                            .arg(c, t, collation);
    QSqlQuery query = run(db, sql, {}, true);
    while (query.next())
        values << query.value(0).toString();
    return values;
}
