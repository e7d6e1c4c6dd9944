#pragma once

#include "DatabaseLocation.h"
#include "Dialect.h"

#include <QSqlDatabase>
#include <QString>
#include <QVariantList>

#include <functional>
#include <memory>

class IntegrityCheck;

// How the opening treats what it finds.
struct DatabaseOptions
{
    // Asked before an existing empty (0-byte) file becomes a new shop: that is
    // what a failed copy or restore leaves behind. Without an answer, or when
    // it is false, the file is left as it is and the opening fails with
    // declined() set.
    std::function<bool(const QString &file)> confirmEmptyFile;
    // Checks the structure of a SQLite file on a second connection while the
    // program starts, so a large shop opens at once; every write waits until
    // the check has passed and is refused when it finds damage.
    bool checkInBackground = false;
};

// The data module: owns the one connection to the shop database, creates the
// schema of a new database and checks the schema of an existing one.
class Database
{
public:
    // Opens at once; isOpen() and errorText() tell how it went.
    explicit Database(const DatabaseLocation &location,
                      const QString &connectionName = QStringLiteral("lwjxc"), DatabaseOptions options = {});
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    bool isOpen() const { return m_db.isValid() && m_db.isOpen(); }
    // A Chinese sentence naming the file or server and the reason.
    QString errorText() const { return m_error; }
    // True when this opening created the schema (a new database).
    bool wasCreated() const { return m_created; }
    // True when the operator chose to leave an empty file alone.
    bool declined() const { return m_declined; }

    // Waits for the structure check of the file (when it runs in the
    // background) and readies the connection for writing once it has passed.
    // False, with writeRefusal() saying why, when the file is damaged.
    bool ensureWritable() const;
    // The structure check of the start is still running: a write now would
    // wait for it.
    bool checkPending() const;
    // Test seam: runs on the check's thread before the check reads the file.
    static void setCheckHookForTests(std::function<void()> hook);
    QString writeRefusal() const { return m_writeRefusal; }
    // Runs fn on this thread once the background check has a verdict: an
    // empty text when the file is sound, else the reason it is refused. Runs
    // at once when there is no check under way.
    void whenChecked(class QObject *context, std::function<void(const QString &refusal)> fn) const;

    // PostgreSQL: after a statement failed, tells whether the connection to
    // the server was lost and opens it again when the server answers.
    enum class Connection { Alive, Reconnected, Unreachable };
    Connection recoverConnection() const;
    // "与数据库服务器“user@host:port/db”的连接已中断……（reason）" (never the password).
    QString lostConnectionText(const QString &reason) const;
    // A write transaction is under way on this connection.
    bool inTransaction() const { return m_transactionDepth > 0; }

    // The message for a SQLite file whose structure is damaged.
    static QString damagedText(const QString &file, const QString &detail);

    // The backup window closes the connection while it copies the file and
    // reopens it afterwards.
    void close();
    bool reopen();

    QSqlDatabase connection() const { return m_db; }
    const Dialect &dialect() const { return m_dialect; }
    const DatabaseLocation &location() const { return m_location; }

    // How long a SQLite write waits for another counter's write (ms).
    static void setBusyTimeout(int milliseconds);

private:
    friend class WriteTransaction;
    bool open();
    bool openSQLite();
    bool openPostgreSQL();
    bool configurePostgreSQL();
    bool checkOrCreateSchema();
    bool checkStructure();
    bool prepareForWriting() const;
    bool createSchema();
    bool fail(const QString &text);
    QString sqliteReason(const class QSqlError &error) const;

    DatabaseLocation m_location;
    QString m_connectionName;
    Dialect m_dialect;
    QSqlDatabase m_db;
    DatabaseOptions m_options;
    QString m_error;
    bool m_created = false;
    bool m_declined = false;
    // Writing is held back until the structure check has passed and the
    // connection is ready for it (WAL, pragmas, indexes added since).
    std::shared_ptr<IntegrityCheck> m_check;
    mutable bool m_writable = false;
    mutable QString m_writeRefusal;
    mutable int m_transactionDepth = 0;
    mutable QString m_reconnectError;
};

// A write transaction that rolls back unless committed: writes that belong
// together (a sale and its stock booking) land together or not at all.
class WriteTransaction
{
public:
    explicit WriteTransaction(const Database &database);
    ~WriteTransaction();
    WriteTransaction(const WriteTransaction &) = delete;
    WriteTransaction &operator=(const WriteTransaction &) = delete;

    bool isActive() const { return m_active; }
    QString errorText() const { return m_error; }
    // True when the changes are saved. On PostgreSQL a connection lost during
    // COMMIT is opened again and the server asked whether the transaction
    // committed; when that cannot be found out, commit() is false and
    // outcomeUnknown() true.
    bool commit();
    bool outcomeUnknown() const { return m_unknown; }
    void rollback();

    // Test seam around COMMIT on PostgreSQL: called before COMMIT is sent
    // (afterCommit false) and after the server has confirmed it (true). A
    // hook returning true after the commit makes the confirmation count as
    // lost, as when the connection drops before the answer arrives.
    using CommitHook = std::function<bool(const Database &database, bool afterCommit)>;
    static void setCommitHookForTests(CommitHook hook);

private:
    bool begin();
    void end();
    bool settleLostCommit(const QString &reason);

    const Database &m_database;
    bool m_active = false;
    bool m_unknown = false;
    qint64 m_serverTransaction = 0;
    QString m_error;
};
