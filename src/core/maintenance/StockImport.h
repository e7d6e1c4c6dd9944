#pragma once

#include <QDate>
#include <QLatin1String>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <optional>

class Database;
struct Session;

// One stock record read from a workbook, its values as they will be stored.
struct ImportedStock
{
    int sheetRow = 0; // 1-based, as the spreadsheet program numbers it
    // a, b, c, d, e, f, g, z in this order.
    std::array<QString, 8> texts;
    // 1 to 8 (the sheet's a1 to a8); empty cells stay empty.
    std::array<std::optional<double>, 8> numbers;
    QDate stockInDate; // day1; invalid for an empty cell

    QString text(char column) const;
};
// Moved in memory as a whole when the list of an import's rows grows.
Q_DECLARE_TYPEINFO(ImportedStock, Q_RELOCATABLE_TYPE);

// Imports stock records in bulk from a workbook sheet "qmzrtk" into the
// stock table. The first row names the columns; every later row is one
// record, taken as it stands. Every cell is checked before anything is
// written, and the rows are written in one transaction: all or none.
class StockImport
{
public:
    static constexpr QLatin1String SheetName{"qmzrtk"};
    // The sheet's column names, in the order of the stock table's columns
    // they fill: a b c d e f g a1 ... a8 z day1.
    static const QStringList &columnNames();
    // The most bad cells a failure lists by name.
    static constexpr int MaxListedProblems = 10;

    struct Options
    {
        // Empty e / f cells get the pinyin initials of a / b.
        bool fillInitials = false;
    };

    // Told the rows done so far and the total (0 while reading, when the
    // total is not known yet); returning false cancels.
    using Progress = std::function<bool(int done, int total)>;

    struct Reading
    {
        bool ok = false;
        bool cancelled = false;
        QString failure; // Chinese, for the operator
        QList<ImportedStock> rows;
    };

    // Reads and checks the workbook; writes nothing.
    static Reading read(const QString &path, const Options &options, const Progress &progress = {});

    enum class Outcome { Written, Cancelled, Failed };
    // Appends the rows in one transaction; on cancel or failure nothing is
    // added. Only the administrator may import. error receives the reason of
    // a failure.
    static Outcome write(const Database &db, const Session &session, const QList<ImportedStock> &rows,
                         const Progress &progress, QString *error);

    // An empty workbook (.xls) for the operator to fill in: the sheet
    // "qmzrtk" with the column names in its first row.
    static bool writeTemplate(const QString &path, QString *error);

    // Why a text cannot be stored in a column; empty when it can.
    static QString textProblem(const QString &column, const QString &text);
};
