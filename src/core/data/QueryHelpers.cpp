#include "QueryHelpers.h"

#include "Database.h"
#include "Schema.h"

#include <QDate>
#include <QDateTime>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>

#include <memory>
#include <vector>

#include <libpq-fe.h>

DatabaseError::DatabaseError(const QString &message, const QString &sql)
    : std::runtime_error(message.toStdString()), m_message(message), m_sql(sql)
{}

namespace {
StatementRecorder *activeRecorder = nullptr;
} // namespace

StatementRecorder::StatementRecorder(Callback beforeEach) : m_beforeEach(std::move(beforeEach))
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
    if (!activeRecorder)
        return;
    activeRecorder->m_statements.append({sql, values});
    if (activeRecorder->m_beforeEach)
        activeRecorder->m_beforeEach(sql, values);
}

PGconn *LibpqConnection(const QSqlDatabase &connection)
{
    const QVariant handle = connection.driver() ? connection.driver()->handle() : QVariant();
    // Qt's driver hands out its PGconn* (named by libpq's struct pg_conn).
    if (!handle.isValid() ||
        (qstrcmp(handle.typeName(), "PGconn*") != 0 && qstrcmp(handle.typeName(), "pg_conn*") != 0))
        return nullptr;
    return *static_cast<PGconn *const *>(handle.constData());
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
    // Without values nothing is bound: sent as it stands, which a server
    // answers in one round trip instead of three (prepare, execute, release).
    if (values.isEmpty())
        return query.exec(sql);
    if (!query.prepare(sql))
        return false;
    for (const QVariant &value : values)
        query.addBindValue(value);
    return query.exec();
}

// What every statement passes before it runs: the write check and the
// recorder.
void beforeRunning(const Database &db, const QString &sql, const QVariantList &values)
{
    // Writes wait for the file check at start-up and are refused on a
    // damaged file.
    if (!isRead(sql) && !db.ensureWritable())
        throw DatabaseError(db.writeRefusal().isEmpty() ? db.errorText() : db.writeRefusal(), sql);
    RecordStatement(sql, values);
}

DatabaseError lostConnection(const Database &db, const QString &sql, QString reason)
{
    reason = reason.trimmed().section(u'\n', 0, 0).trimmed();
    return DatabaseError(db.lostConnectionText(reason.isEmpty() ? QStringLiteral("连接已断开") : reason),
                         sql);
}

// After a statement failed on a server: true when it may simply be run again
// (a read outside a transaction on a connection opened anew); throws when
// the connection is lost; false when the server refused the statement itself.
bool mayRepeatAfterFailure(const Database &db, const QString &sql, const QString &reason)
{
    if (!db.dialect().isPostgreSQL())
        return false;
    // A lost connection (server restarted, network gone) is opened again here,
    // so the next operation works. A read outside a transaction is simply
    // repeated; a write may or may not have reached the server, so the
    // operator is told.
    const Database::Connection connection = db.recoverConnection();
    if (connection == Database::Connection::Reconnected && !db.inTransaction() && isRead(sql))
        return true;
    if (connection != Database::Connection::Alive)
        throw lostConnection(db, sql, reason);
    return false;
}

QSqlQuery run(const Database &db, const QString &sql, const QVariantList &values, bool forwardOnly)
{
    beforeRunning(db, sql, values);
    QSqlQuery query(db.connection());
    query.setForwardOnly(forwardOnly);
    if (attempt(query, sql, values))
        return query;
    const QSqlError error = query.lastError();
    const QString reason = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    if (mayRepeatAfterFailure(db, sql, reason)) {
        QSqlQuery again(db.connection());
        again.setForwardOnly(forwardOnly);
        if (attempt(again, sql, values))
            return again;
        throw lostConnection(db, sql, reason);
    }
    raise(query, sql);
}

PGconn *serverConnection(const Database &db)
{
    return LibpqConnection(db.connection());
}

// "?" outside quotes becomes "$1", "$2", ... as the server numbers them.
QByteArray numberedPlaceholders(const QString &sql)
{
    QString numbered;
    int next = 0;
    QChar quote;
    for (const QChar c : sql) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == u'\'' || c == u'"') {
            quote = c;
        } else if (c == u'?') {
            numbered += u'$' + QString::number(++next);
            continue;
        }
        numbered += c;
    }
    return numbered.toUtf8();
}

QByteArray parameterText(const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::Double:
    case QMetaType::Float:
        // The shortest text that reads back as the same double.
        return QByteArray::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    case QMetaType::QDate:
        return value.toDate().toString(Qt::ISODate).toUtf8();
    case QMetaType::QDateTime:
        return value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toUtf8();
    case QMetaType::Bool:
        return value.toBool() ? QByteArrayLiteral("true") : QByteArrayLiteral("false");
    default:
        return value.toString().toUtf8();
    }
}

template <typename T> QVariant valueOrNull(bool isNull, const T &value)
{
    return isNull ? QVariant(QMetaType::fromType<T>()) : QVariant::fromValue(value);
}

QVariant resultValue(const PGresult *result, int row, int column)
{
    const QByteArray text(PQgetvalue(result, row, column), PQgetlength(result, row, column));
    const bool isNull = PQgetisnull(result, row, column);
    // The types of the server's catalogue (pg_type) as Qt's driver gives them.
    switch (PQftype(result, column)) {
    case 16: // bool
        return valueOrNull(isNull, text == "t");
    case 20: // int8: Qt's driver gives what is not negative unsigned
        if (!isNull && !text.startsWith('-'))
            return QVariant::fromValue(text.toULongLong());
        return valueOrNull(isNull, text.toLongLong());
    case 21: // int2
    case 23: // int4
        return valueOrNull(isNull, text.toInt());
    case 700:  // float4
    case 701:  // float8
    case 1700: // numeric
        return valueOrNull(isNull, text.toDouble());
    case 1082: // date
        return valueOrNull(isNull, QDate::fromString(QString::fromLatin1(text), Qt::ISODate));
    case 1114: // timestamp, "2026-03-05 09:30:00[.123456]"
        return valueOrNull(
            isNull, QDateTime::fromString(QString::fromLatin1(text).replace(u' ', u'T'), Qt::ISODateWithMs));
    default:
        return valueOrNull(isNull, QString::fromUtf8(text));
    }
}

// The statement and its values in one message to the server (libpq's
// PQexecParams): one round trip, where a prepared query takes three
// (prepare, execute, release). The server types the values as it types a
// prepared statement's. False with the server's words when it failed.
bool runOnServer(PGconn *connection, const QString &sql, const QVariantList &values, QVariantList &row,
                 QString &error)
{
    // A forward-only query of Qt's driver may still have rows coming in; the
    // driver itself drops them when the next statement starts, and so do we.
    while (PGresult *pending = PQgetResult(connection))
        PQclear(pending);
    std::vector<QByteArray> texts;
    std::vector<const char *> pointers;
    texts.reserve(values.size());
    for (const QVariant &value : values) {
        texts.push_back(value.isNull() ? QByteArray() : parameterText(value));
        pointers.push_back(value.isNull() ? nullptr : texts.back().constData());
    }
    const std::unique_ptr<PGresult, decltype(&PQclear)> result(
        PQexecParams(connection, numberedPlaceholders(sql).constData(), int(pointers.size()), nullptr,
                     pointers.data(), nullptr, nullptr, 0),
        &PQclear);
    const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
        const char *primary = result ? PQresultErrorField(result.get(), PG_DIAG_MESSAGE_PRIMARY) : nullptr;
        error = QString::fromUtf8(primary ? primary : PQerrorMessage(connection)).trimmed();
        return false;
    }
    row.clear();
    if (PQntuples(result.get()) > 0) {
        for (int column = 0; column < PQnfields(result.get()); ++column)
            row << resultValue(result.get(), 0, column);
    }
    return true;
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

QVariantList FirstRow(const Database &db, const QString &sql, const QVariantList &values)
{
    PGconn *connection = db.dialect().isPostgreSQL() ? serverConnection(db) : nullptr;
    QVariantList row;
    if (!connection) {
        QSqlQuery query = run(db, sql, values, true);
        if (query.next()) {
            const QSqlRecord record = query.record();
            for (int column = 0; column < record.count(); ++column)
                row << record.value(column);
        }
        return row;
    }
    beforeRunning(db, sql, values);
    QString error;
    if (runOnServer(connection, sql, values, row, error))
        return row;
    if (mayRepeatAfterFailure(db, sql, error)) {
        const QString reason = error;
        if (runOnServer(serverConnection(db), sql, values, row, error))
            return row;
        throw lostConnection(db, sql, reason);
    }
    throw DatabaseError(QStringLiteral("数据库操作失败：%1").arg(error), sql);
}

QVariant ScalarValue(const Database &db, const QString &sql, const QVariantList &values)
{
    // On a server in one round trip instead of three.
    return FirstRow(db, sql, values).value(0);
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
    // A null comes first, as one empty entry, when any row has none: found
    // in the same statement, one trip to a server instead of two.
    const QString sql =
        QStringLiteral(
            "with recursive hop(v) as (select min(%1) from %2 union all "
            "select (select min(%1) from %2 where %1 > hop.v) from hop "
            "where hop.v is not null) "
            "select v from (select 0 as k, null as v where exists (select 1 from %2 where %1 is null) "
            "union all select 1, v from hop where v is not null) s order by k, v%3")
            .arg(c, t, collation);
    QStringList values;
    QSqlQuery query = run(db, sql, {}, true);
    while (query.next())
        values << query.value(0).toString();
    return values;
}
