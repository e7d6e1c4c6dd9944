#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

// One cell as a workbook stores it. Formula cells arrive as their cached
// result; a cell of a date format arrives as a date.
struct SheetCell
{
    enum class Kind { Empty, Text, Number, Boolean, Date, Error };

    Kind kind = Kind::Empty;
    QString text;      // Text; the error code for Error
    double number = 0; // Number; 1 or 0 for Boolean
    QDate date;        // Date

    static SheetCell fromText(const QString &text);
    static SheetCell fromNumber(double value);
    static SheetCell fromDate(const QDate &date);
    bool isBlank() const;
};

// A cell with its 0-based column number; rows hand over only the cells that
// are there, so a cell far to the right costs nothing.
struct SheetEntry
{
    int column = 0;
    SheetCell cell;
};
using SheetRow = QList<SheetEntry>;

// Reads one worksheet of a workbook (.xls, .xlsx or .csv) row by row, for the
// stock import. Files come from anywhere: a damaged or hostile file ends in
// failure with a reason, never in a crash or an endless loop.
class WorkbookReader
{
public:
    // Receives the rows that hold cells, in order; row is the sheet's 0-based
    // row number, the cells are in column order and empty ones may be left
    // out. Returning false stops the reading (cancelled()).
    using RowHandler = std::function<bool(int row, const SheetRow &cells)>;

    virtual ~WorkbookReader() = default;

    // The reader for the file, chosen by its first bytes (and by the suffix
    // .csv or .txt for text files); for anything else a reader that fails
    // with the reason. Never null.
    static std::unique_ptr<WorkbookReader> forFile(const QString &path);

    // Reads the sheet whose name equals sheetName regardless of case (a .csv
    // file is a single sheet and always matches). False on failure, with
    // errorText() in Chinese, or when the handler stopped the reading.
    virtual bool readSheet(const QString &sheetName, const RowHandler &onRow) = 0;

    QString errorText() const { return m_error; }
    bool cancelled() const { return m_cancelled; }
    // The sheets the workbook holds, known after readSheet(); for messages.
    QStringList sheetNames() const { return m_sheetNames; }

    // A larger sheet is refused instead of filling the memory.
    static constexpr int MaxRows = 1'100'000;
    static constexpr int MaxColumns = 16'384;

protected:
    explicit WorkbookReader(const QString &path) : m_path(path) {}
    bool fail(const QString &text)
    {
        m_error = text;
        return false;
    }
    // The sheet-not-found failure, naming the sheets there are.
    bool failNoSheet(const QString &sheetName);

    QString m_path;
    QString m_error;
    QStringList m_sheetNames;
    bool m_cancelled = false;
};

// Excel 97-2003 (BIFF8) and Excel 5.0/95 (BIFF5) workbooks, through freexl
// in the helper program lwjxc-xlsread: a fault of the library on a damaged
// file ends the helper, and the reading fails with a reason.
class XlsWorkbookReader final : public WorkbookReader
{
public:
    explicit XlsWorkbookReader(const QString &path) : WorkbookReader(path) {}
    bool readSheet(const QString &sheetName, const RowHandler &onRow) override;
    // The helper: $LWJXC_XLSREAD, else next to the program, else in
    // ../libexec/lwjxc; empty when there is none.
    static QString helperProgram();
    // A helper silent for this long is taken to hang and is stopped.
    static inline int helperTimeoutMs = 60'000;
};

// Office Open XML workbooks (.xlsx): the zip container through minizip, the
// parts through QXmlStreamReader.
class XlsxWorkbookReader final : public WorkbookReader
{
public:
    explicit XlsxWorkbookReader(const QString &path) : WorkbookReader(path) {}
    bool readSheet(const QString &sheetName, const RowHandler &onRow) override;
    // A part bigger than this (unpacked) is refused: a zip bomb stops here.
    static constexpr qint64 MaxPartBytes = 200LL * 1024 * 1024;
};

// Comma-separated text, UTF-8 (with or without byte-order mark) or GBK,
// detected from the bytes.
class CsvWorkbookReader final : public WorkbookReader
{
public:
    explicit CsvWorkbookReader(const QString &path) : WorkbookReader(path) {}
    bool readSheet(const QString &sheetName, const RowHandler &onRow) override;
    // The file as text: UTF-8 when the bytes are valid UTF-8, GBK otherwise.
    static QString decode(const QByteArray &bytes);
    // Splits one record list the way spreadsheet programs write it: quoted
    // fields may hold commas, doubled quotes and line breaks.
    static QList<QStringList> parse(const QString &text);
};
