#include "ServerCopy.h"

#include "data/Dialect.h"
#include "data/QueryHelpers.h"

#include <QDate>
#include <QFile>
#include <QSqlDriver>

#include <charconv>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <libpq-fe.h>
#include <sqlite3.h>

namespace ServerCopy {

namespace {

QString serverError(PGconn *connection)
{
    return QString::fromUtf8(PQerrorMessage(connection)).section(u'\n', 0, 0).trimmed();
}

QString quotedName(const QString &name)
{
    QString escaped = name;
    escaped.replace(u'"', QStringLiteral("\"\""));
    return u'"' + escaped + u'"';
}

using Result = std::unique_ptr<PGresult, decltype(&PQclear)>;

Result run(PGconn *connection, const QString &sql)
{
    return Result(PQexec(connection, sql.toUtf8().constData()), &PQclear);
}

// Collects what the server says after the end of a COPY; "" when it went well.
QString copyOutcome(PGconn *connection)
{
    QString error;
    while (PGresult *raw = PQgetResult(connection)) {
        const Result result(raw, &PQclear);
        if (PQresultStatus(raw) != PGRES_COMMAND_OK && error.isEmpty())
            error = QString::fromUtf8(PQresultErrorMessage(raw)).section(u'\n', 0, 0).trimmed();
    }
    return error;
}

class FileDb
{
public:
    explicit FileDb(const QString &path)
    {
        if (sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr) !=
            SQLITE_OK)
            m_error = text();
    }
    ~FileDb()
    {
        for (sqlite3_stmt *statement : m_statements)
            sqlite3_finalize(statement);
        sqlite3_close(m_db);
    }
    FileDb(const FileDb &) = delete;
    FileDb &operator=(const FileDb &) = delete;

    bool ok() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }
    bool exec(const QString &sql)
    {
        if (sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK)
            return true;
        m_error = text();
        return false;
    }
    sqlite3_stmt *prepare(const QString &sql)
    {
        sqlite3_stmt *statement = nullptr;
        if (sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &statement, nullptr) != SQLITE_OK) {
            m_error = text();
            return nullptr;
        }
        m_statements.push_back(statement);
        return statement;
    }
    bool step(sqlite3_stmt *statement)
    {
        const int rc = sqlite3_step(statement);
        if (rc == SQLITE_DONE || rc == SQLITE_ROW)
            return true;
        m_error = text();
        return false;
    }
    QString text() const { return QString::fromUtf8(sqlite3_errmsg(m_db)); }

private:
    sqlite3 *m_db = nullptr;
    std::vector<sqlite3_stmt *> m_statements;
    QString m_error;
};

QString columnList(const QStringList &columns)
{
    QStringList quoted;
    for (const QString &column : columns)
        quoted << quotedName(column);
    return quoted.join(QStringLiteral(", "));
}

// ------------------------------------------------------------ server to file

// The server's columns as the SQLite file stores them: times to the second
// as "yyyy-MM-dd HH:mm:ss"; dates come as "yyyy-MM-dd" in the ISO date
// style download() sets.
QString selectList(const Table &table)
{
    QStringList expressions;
    for (int i = 0; i < table.serverColumns.size(); ++i) {
        const QString column = quotedName(table.serverColumns.at(i));
        expressions << (table.serverTypes.at(i).id() == QMetaType::QDateTime
                            ? QStringLiteral("to_char(%1, 'YYYY-MM-DD HH24:MI:SS')").arg(column)
                            : column);
    }
    return expressions.join(QStringLiteral(", "));
}

// COPY's text form: "\N" is NULL; a backslash escapes tab, newline and itself.
void unescape(const char *begin, const char *end, std::string &out)
{
    out.clear();
    for (const char *p = begin; p < end; ++p) {
        if (*p != '\\' || p + 1 == end) {
            out.push_back(*p);
            continue;
        }
        ++p;
        switch (*p) {
        case 't':
            out.push_back('\t');
            break;
        case 'n':
            out.push_back('\n');
            break;
        case 'r':
            out.push_back('\r');
            break;
        case 'b':
            out.push_back('\b');
            break;
        case 'f':
            out.push_back('\f');
            break;
        case 'v':
            out.push_back('\v');
            break;
        default:
            if (*p >= '0' && *p <= '7') {
                int value = 0;
                for (int digits = 0; digits < 3 && p < end && *p >= '0' && *p <= '7'; ++digits, ++p)
                    value = value * 8 + (*p - '0');
                --p;
                out.push_back(char(value));
            } else {
                out.push_back(*p);
            }
        }
    }
}

// Binds one field of a COPY row in the type the file keeps for it.
void bindField(sqlite3_stmt *insert, int index, const QMetaType &type, const char *begin, const char *end,
               std::string &scratch)
{
    if (end - begin == 2 && begin[0] == '\\' && begin[1] == 'N') {
        sqlite3_bind_null(insert, index);
        return;
    }
    switch (type.id()) {
    case QMetaType::Double: {
        double value = 0;
        if (std::from_chars(begin, end, value).ec == std::errc()) {
            sqlite3_bind_double(insert, index, value);
            return;
        }
        break;
    }
    case QMetaType::Int:
    case QMetaType::LongLong: {
        long long value = 0;
        if (std::from_chars(begin, end, value).ec == std::errc()) {
            sqlite3_bind_int64(insert, index, value);
            return;
        }
        break;
    }
    default:
        break;
    }
    if (std::memchr(begin, '\\', size_t(end - begin))) {
        unescape(begin, end, scratch);
        sqlite3_bind_text(insert, index, scratch.data(), int(scratch.size()), SQLITE_TRANSIENT);
    } else {
        sqlite3_bind_text(insert, index, begin, int(end - begin), SQLITE_STATIC);
    }
}

// ------------------------------------------------------------ file to server

void appendEscaped(std::string &line, const char *text, int length)
{
    for (int i = 0; i < length; ++i) {
        const char c = text[i];
        switch (c) {
        case '\\':
            line += "\\\\";
            break;
        case '\t':
            line += "\\t";
            break;
        case '\n':
            line += "\\n";
            break;
        case '\r':
            line += "\\r";
            break;
        default:
            line.push_back(c);
        }
    }
}

void appendNumber(std::string &line, double value)
{
    char buffer[32];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    line.append(buffer, ec == std::errc() ? end : buffer);
}

void appendNumber(std::string &line, long long value)
{
    char buffer[24];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    line.append(buffer, ec == std::errc() ? end : buffer);
}

QString columnText(sqlite3_stmt *row, int column)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(row, column)),
                             sqlite3_column_bytes(row, column));
}

// "yyyy-MM-dd" with a real day: passed on as it is, the common case.
bool isPlainDate(const unsigned char *text, int length)
{
    if (length != 10 || text[4] != '-' || text[7] != '-')
        return false;
    for (int i : {0, 1, 2, 3, 5, 6, 8, 9}) {
        if (text[i] < '0' || text[i] > '9')
            return false;
    }
    const auto number = [&](int from, int digits) {
        int value = 0;
        for (int i = from; i < from + digits; ++i)
            value = value * 10 + (text[i] - '0');
        return value;
    };
    return QDate(number(0, 4), number(5, 2), number(8, 2)).isValid();
}

// One value of the file in the server column's type, as the row-by-row
// restore converted it: a date or time that does not read as one becomes
// NULL, a number column takes the number of what is stored there.
void appendValue(std::string &line, sqlite3_stmt *row, int column, const QMetaType &type)
{
    const int stored = sqlite3_column_type(row, column);
    if (stored == SQLITE_NULL) {
        line += "\\N";
        return;
    }
    switch (type.id()) {
    case QMetaType::Double:
        if (stored == SQLITE_INTEGER)
            appendNumber(line, double(sqlite3_column_int64(row, column)));
        else if (stored == SQLITE_FLOAT)
            appendNumber(line, sqlite3_column_double(row, column));
        else
            appendNumber(line, columnText(row, column).toDouble());
        return;
    case QMetaType::Int:
    case QMetaType::LongLong:
        if (stored == SQLITE_INTEGER)
            appendNumber(line, static_cast<long long>(sqlite3_column_int64(row, column)));
        else if (stored == SQLITE_FLOAT)
            appendNumber(line, static_cast<long long>(sqlite3_column_double(row, column)));
        else
            appendNumber(line, columnText(row, column).toLongLong());
        return;
    case QMetaType::QDate: {
        const unsigned char *text = sqlite3_column_text(row, column);
        const int length = sqlite3_column_bytes(row, column);
        if (isPlainDate(text, length)) {
            line.append(reinterpret_cast<const char *>(text), size_t(length));
            return;
        }
        const QDate date = Dialect::toDate(columnText(row, column));
        line += date.isValid() ? date.toString(Qt::ISODate).toStdString() : std::string("\\N");
        return;
    }
    case QMetaType::QDateTime: {
        const QDateTime time = Dialect::toDateTime(columnText(row, column));
        line += time.isValid() ? time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString()
                               : std::string("\\N");
        return;
    }
    default:
        appendEscaped(line, reinterpret_cast<const char *>(sqlite3_column_text(row, column)),
                      sqlite3_column_bytes(row, column));
    }
}

constexpr qint64 kProgressEvery = 20000;
constexpr size_t kSendAt = 256 * 1024;

} // namespace

bool download(const QSqlDatabase &server, const QString &path, const QList<Table> &tables,
              const QStringList &afterwards, qint64 total, const Progress &progress, QString *error)
{
    PGconn *connection = LibpqConnection(server);
    if (!connection) {
        *error = QStringLiteral("没有数据库服务器连接");
        return false;
    }
    if (PQresultStatus(run(connection, QStringLiteral("SET DateStyle = 'ISO, YMD'")).get()) !=
        PGRES_COMMAND_OK) {
        *error = serverError(connection);
        return false;
    }
    FileDb file(path);
    // A file that is not complete is thrown away, so it needs no journal; the
    // sorting of the index builds gets room in memory.
    if (!file.ok() ||
        !file.exec(QStringLiteral("PRAGMA journal_mode=OFF; PRAGMA cache_size=-65536; BEGIN"))) {
        *error = file.error();
        return false;
    }
    qint64 done = 0;
    std::vector<std::string> scratch;
    for (const Table &table : tables) {
        const int columns = int(table.fileColumns.size());
        sqlite3_stmt *insert =
            file.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                             .arg(quotedName(table.fileName), columnList(table.fileColumns),
                                  QStringList(columns, QStringLiteral("?")).join(u',')));
        if (!insert) {
            *error = file.error();
            return false;
        }
        const Result started = run(connection, QStringLiteral("COPY (SELECT %1 FROM %2) TO STDOUT")
                                                   .arg(selectList(table), quotedName(table.serverName)));
        if (PQresultStatus(started.get()) != PGRES_COPY_OUT) {
            *error = serverError(connection);
            return false;
        }
        scratch.assign(size_t(columns), std::string());
        QString failure;
        char *buffer = nullptr;
        int length = 0;
        // One row per message; the rest of the stream is read to its end even
        // after a failure, so the connection stays usable.
        while ((length = PQgetCopyData(connection, &buffer, 0)) > 0) {
            const std::unique_ptr<char, decltype(&PQfreemem)> row(buffer, &PQfreemem);
            if (!failure.isEmpty())
                continue;
            const char *field = buffer;
            const char *end = buffer + length;
            if (end > field && end[-1] == '\n')
                --end;
            for (int c = 0; c < columns; ++c) {
                const char *tab = static_cast<const char *>(std::memchr(field, '\t', size_t(end - field)));
                const char *fieldEnd = tab ? tab : end;
                bindField(insert, c + 1, table.serverTypes.at(c), field, fieldEnd, scratch[size_t(c)]);
                field = tab ? tab + 1 : end;
            }
            if (!file.step(insert))
                failure = file.error();
            sqlite3_reset(insert);
            sqlite3_clear_bindings(insert);
            if (++done % kProgressEvery == 0 && progress)
                progress(done, total);
        }
        const QString outcome = length == -2 ? serverError(connection) : copyOutcome(connection);
        if (!failure.isEmpty() || !outcome.isEmpty()) {
            *error = failure.isEmpty() ? outcome : failure;
            return false;
        }
        if (progress)
            progress(done, total);
    }
    for (const QString &statement : afterwards) {
        if (!file.exec(statement)) {
            *error = file.error();
            return false;
        }
    }
    if (!file.exec(QStringLiteral("COMMIT"))) {
        *error = file.error();
        return false;
    }
    return true;
}

bool upload(const QSqlDatabase &server, const QString &path, const QList<Table> &tables, qint64 total,
            const Progress &progress, QString *error)
{
    PGconn *connection = LibpqConnection(server);
    if (!connection) {
        *error = QStringLiteral("没有数据库服务器连接");
        return false;
    }
    FileDb file(path);
    if (!file.ok() || !file.exec(QStringLiteral("BEGIN"))) {
        *error = file.error();
        return false;
    }
    qint64 done = 0;
    std::string lines;
    lines.reserve(kSendAt + 64 * 1024);
    for (const Table &table : tables) {
        sqlite3_stmt *rows =
            file.prepare(QStringLiteral("SELECT %1 FROM %2")
                             .arg(columnList(table.fileColumns), quotedName(table.fileName)));
        if (!rows) {
            *error = file.error();
            return false;
        }
        const Result started =
            run(connection, QStringLiteral("COPY %1 (%2) FROM STDIN")
                                .arg(quotedName(table.serverName), columnList(table.serverColumns)));
        if (PQresultStatus(started.get()) != PGRES_COPY_IN) {
            *error = serverError(connection);
            return false;
        }
        const int columns = int(table.serverColumns.size());
        const auto send = [&] {
            const bool sent =
                lines.empty() || PQputCopyData(connection, lines.data(), int(lines.size())) == 1;
            lines.clear();
            return sent;
        };
        QString failure;
        int rc = SQLITE_ROW;
        while ((rc = sqlite3_step(rows)) == SQLITE_ROW) {
            for (int c = 0; c < columns; ++c) {
                if (c > 0)
                    lines.push_back('\t');
                appendValue(lines, rows, c, table.serverTypes.at(c));
            }
            lines.push_back('\n');
            if (lines.size() >= kSendAt && !send()) {
                failure = serverError(connection);
                break;
            }
            if (++done % kProgressEvery == 0 && progress)
                progress(done, total);
        }
        if (failure.isEmpty() && rc != SQLITE_ROW && rc != SQLITE_DONE)
            failure = file.text();
        if (failure.isEmpty() && !send())
            failure = serverError(connection);
        // A failed copy is ended with an error, so the server takes none of it.
        PQputCopyEnd(connection, failure.isEmpty() ? nullptr : failure.toUtf8().constData());
        const QString outcome = copyOutcome(connection);
        if (!failure.isEmpty() || !outcome.isEmpty()) {
            *error = failure.isEmpty() ? outcome : failure;
            return false;
        }
        if (progress)
            progress(done, total);
    }
    file.exec(QStringLiteral("COMMIT"));
    return true;
}

} // namespace ServerCopy
