#pragma once

#include "data/DatabaseLocation.h"

#include <QString>
#include <QStringList>

// The program's command line, read before any window (or display) is needed:
//   -h, --help            the options, in Chinese
//   -v, --version         the version
//   --database PATH|URL   the shop database (also --database=PATH|URL)
// Qt's own options (-platform, -style ...) are let through for QApplication.
class CommandLine
{
public:
    enum class Action { Run, ShowHelp, ShowVersion, Error };

    // The exit status of a command line that cannot be understood.
    static constexpr int UsageErrorStatus = 2;

    // arguments[0] is the program, as in QCoreApplication::arguments().
    static CommandLine parse(const QStringList &arguments);

    Action action() const { return m_action; }
    // The value given with --database; empty when none was given.
    QString databaseArgument() const { return m_database; }
    // For Action::Error: what was wrong, and where to look for help.
    QString errorText() const { return m_error; }

    static QString helpText(const QString &programName);
    // "岚蔚箱包销售管理软件 (lwjxc) <version from project()>".
    static QString versionText();

    // The value of --database that opens this database again: the file's
    // absolute path, or the server's address without the password (a
    // launcher on the desktop is readable by anybody at the computer; the
    // password then comes from ~/.pgpass or PGPASSWORD).
    static QString databaseArgument(const DatabaseLocation &location);

private:
    Action m_action = Action::Run;
    QString m_database;
    QString m_error;
};
