#include "StockImport.h"

#include "common/WorkbookReader.h"
#include "common/XlsWorkbookWriter.h"
#include "data/Database.h"
#include "data/FieldLimits.h"
#include "data/NumberFormat.h"
#include "data/PinyinInitials.h"
#include "shell/Session.h"
#include "stock/StockBook.h"

#include <QHash>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSqlError>
#include <QSqlQuery>

#include <cmath>

namespace {

// Positions in ImportedStock::texts and the stock table's text columns.
constexpr std::array<char, 8> kTextColumns{'a', 'b', 'c', 'd', 'e', 'f', 'g', 'z'};
constexpr int kTextA = 0, kTextB = 1, kTextE = 4, kTextF = 5;
// The sheet's column names by field: the 8 texts, the 8 numbers, the date.
const QStringList kSheetTexts{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"),
                              QStringLiteral("d"), QStringLiteral("e"), QStringLiteral("f"),
                              QStringLiteral("g"), QStringLiteral("z")};
constexpr int kFieldCount = 17;
constexpr int kFirstNumber = 8;
constexpr int kDateField = 16;

QString sheetName(int field)
{
    if (field < kFirstNumber)
        return kSheetTexts.at(field);
    if (field < kDateField)
        return QStringLiteral("a%1").arg(field - kFirstNumber + 1);
    return QStringLiteral("day1");
}

int fieldIndex(const QString &name)
{
    for (int field = 0; field < kFieldCount; ++field)
        if (sheetName(field) == name)
            return field;
    return -1;
}

// A cell as text: numbers in the general decimal form, dates as the
// program writes them.
QString cellText(const SheetCell &cell)
{
    switch (cell.kind) {
    case SheetCell::Kind::Text:
    case SheetCell::Kind::Error:
        return cell.text;
    case SheetCell::Kind::Number:
        return NumberFormat::general(cell.number);
    case SheetCell::Kind::Boolean:
        return cell.number != 0 ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    case SheetCell::Kind::Date:
        return cell.date.toString(QStringLiteral("yyyy-MM-dd"));
    case SheetCell::Kind::Empty:
        break;
    }
    return QString();
}

// A number as a number box takes it (the stock-in entry's rule); a bad
// one is a problem to list, not an error to stop at.
std::optional<double> numberFromText(const QString &text)
{
    try {
        return StockBook::toNumber(text);
    } catch (const InvalidNumber &) {
        return std::nullopt;
    }
}

QDate dateFromText(const QString &text)
{
    // The program's own form, and the slashes spreadsheet programs show in
    // China; a time of day after the date is ignored.
    static const QRegularExpression date(QStringLiteral(
        "^(\\d{4})[-/](\\d{1,2})[-/](\\d{1,2})(?:[ T]\\d{1,2}:\\d{2}(?::\\d{2}(?:\\.\\d+)?)?)?$"));
    const auto match = date.match(text);
    if (!match.hasMatch())
        return {};
    return QDate(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt());
}

// Collects the bad cells: the first few by name, the rest counted.
struct Problems
{
    QStringList listed;
    int count = 0;

    void add(int sheetRow, int field, const QString &what)
    {
        if (++count <= StockImport::MaxListedProblems)
            listed.append(QStringLiteral("第 %1 行 %2：%3").arg(sheetRow).arg(sheetName(field), what));
    }
    QString text() const
    {
        QString all = listed.join(QLatin1Char('\n'));
        if (count > listed.size())
            all += QStringLiteral("\n……等 %1 处").arg(count);
        return all;
    }
};

QString quotedValue(const QString &text)
{
    // A long value is shortened in the message; the row and column find it.
    const QString shown = text.size() > 30 ? text.left(30) + QStringLiteral("…") : text;
    return QStringLiteral("“%1”").arg(shown);
}

} // namespace

QString ImportedStock::text(char column) const
{
    for (size_t i = 0; i < kTextColumns.size(); ++i)
        if (kTextColumns.at(i) == column)
            return texts.at(i);
    return QString();
}

const QStringList &StockImport::columnNames()
{
    static const QStringList names = [] {
        QStringList list;
        for (int field = 0; field < kFieldCount; ++field)
            list.append(sheetName(field));
        // Sheet order: a b c d e f g a1..a8 z day1.
        list.move(list.indexOf(QStringLiteral("z")), kFieldCount - 2);
        return list;
    }();
    return names;
}

bool StockImport::writeTemplate(const QString &path, QString *error)
{
    XlsWorkbookWriter writer(SheetName);
    for (qsizetype i = 0; i < columnNames().size(); ++i)
        writer.writeText(0, static_cast<int>(i), columnNames().at(i));
    return writer.save(path, error);
}

QString StockImport::textProblem(const QString &column, const QString &text)
{
    // The cell is named before the reason, so the reason needs no caption.
    return FieldLimits::problem(column, text, QString());
}

StockImport::Reading StockImport::read(const QString &path, const Options &options, const Progress &progress)
{
    Reading result;
    const auto reader = WorkbookReader::forFile(path);

    // Field -> sheet column, known once the header row is read.
    std::array<int, kFieldCount> columnOf{};
    columnOf.fill(-1);
    QHash<int, int> fieldOf; // sheet column -> field
    bool headerRead = false;
    QString headerFailure;
    Problems problems;

    const auto onRow = [&](int row, const SheetRow &cells) {
        if (!headerRead) {
            headerRead = true;
            for (const SheetEntry &entry : cells) {
                const QString name = cellText(entry.cell).trimmed();
                for (int field = 0; field < kFieldCount; ++field)
                    if (columnOf.at(field) < 0 && name.compare(sheetName(field), Qt::CaseInsensitive) == 0) {
                        columnOf[field] = entry.column;
                        fieldOf.insert(entry.column, field);
                    }
            }
            QStringList missing;
            for (const QString &name : columnNames())
                if (columnOf.at(static_cast<size_t>(fieldIndex(name))) < 0)
                    missing.append(name);
            if (!missing.isEmpty()) {
                headerFailure =
                    QStringLiteral("工作表第一行缺少列名：%1").arg(missing.join(QStringLiteral("、")));
                return false;
            }
            return true;
        }

        ImportedStock stock;
        stock.sheetRow = row + 1;
        bool anyValue = false;
        for (const SheetEntry &entry : cells) {
            const auto found = fieldOf.constFind(entry.column);
            if (found == fieldOf.constEnd() || entry.cell.isBlank())
                continue;
            anyValue = true;
            const int field = found.value();
            const SheetCell &cell = entry.cell;
            if (cell.kind == SheetCell::Kind::Error) {
                problems.add(stock.sheetRow, field, quotedValue(cell.text) + QStringLiteral("是公式错误值"));
                continue;
            }
            if (field < kFirstNumber) {
                const QString text = cellText(cell);
                const QString problem = textProblem(sheetName(field), text);
                if (!problem.isEmpty())
                    problems.add(stock.sheetRow, field, quotedValue(text) + problem);
                stock.texts[static_cast<size_t>(field)] = text;
            } else if (field < kDateField) {
                std::optional<double> value;
                if (cell.kind == SheetCell::Kind::Number)
                    value = std::isfinite(cell.number) ? std::optional<double>(cell.number) : std::nullopt;
                else if (cell.kind == SheetCell::Kind::Text)
                    value = numberFromText(cell.text.trimmed());
                if (!value)
                    problems.add(stock.sheetRow, field,
                                 quotedValue(cellText(cell)) + QStringLiteral("不是数字"));
                stock.numbers[static_cast<size_t>(field - kFirstNumber)] = value;
            } else {
                QDate date;
                if (cell.kind == SheetCell::Kind::Date)
                    date = cell.date;
                else if (cell.kind == SheetCell::Kind::Text)
                    date = dateFromText(cell.text.trimmed());
                if (!date.isValid())
                    problems.add(stock.sheetRow, field,
                                 quotedValue(cellText(cell)) +
                                     QStringLiteral("不是日期（应为 2024-01-31 的形式）"));
                stock.stockInDate = date;
            }
        }
        // A row without any of the columns' values is a gap in the sheet,
        // not an empty stock record.
        if (!anyValue)
            return true;
        if (options.fillInitials) {
            if (stock.texts[kTextE].isEmpty())
                stock.texts[kTextE] = PinyinInitials(stock.texts[kTextA].trimmed());
            if (stock.texts[kTextF].isEmpty())
                stock.texts[kTextF] = PinyinInitials(stock.texts[kTextB].trimmed());
        }
        result.rows.append(std::move(stock));
        if (progress && result.rows.size() % 1000 == 0 && !progress(static_cast<int>(result.rows.size()), 0))
            return false;
        return true;
    };

    if (!reader->readSheet(SheetName, onRow)) {
        if (!headerFailure.isEmpty())
            result.failure = headerFailure;
        else if (reader->cancelled())
            result.cancelled = true;
        else
            result.failure = reader->errorText();
        result.rows.clear();
        return result;
    }
    if (!headerRead) {
        result.failure = QStringLiteral("工作表“%1”是空的，第一行应为列名").arg(QString(SheetName));
        return result;
    }
    if (problems.count > 0) {
        result.failure =
            QStringLiteral("以下单元格的内容不能导入（共 %1 处）：\n").arg(problems.count) + problems.text();
        result.rows.clear();
        return result;
    }
    result.ok = true;
    return result;
}

StockImport::Outcome StockImport::write(const Database &db, const Session &session,
                                        const QList<ImportedStock> &rows, const Progress &progress,
                                        QString *error)
{
    RequireAdministrator(session);
    // Many rows per statement: far fewer round trips to a server, and well
    // under both engines' limits on bound values.
    constexpr int kBatchRows = 200;
    constexpr int kImportCacheKiB = 96 * 1024;
    const QString columns =
        QStringLiteral("insert into data (a, b, c, d, e, f, g, z, \"1\", \"2\", \"3\", \"4\", "
                       "\"5\", \"6\", \"7\", \"8\", day1) values ");
    const QString oneRow = QStringLiteral("(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    const auto statement = [&](int count) -> QString {
        QStringList values;
        for (int i = 0; i < count; ++i)
            values.append(oneRow);
        return columns + values.join(QStringLiteral(", "));
    };
    const auto failed = [error](const QString &text) {
        if (error)
            *error = text;
        return Outcome::Failed;
    };

    // SQLite keeps the pages a transaction changes in its page cache; once
    // they outgrow it they are written to the log and read back again and
    // again (the stock table has seven indexes). An import's changes fit in
    // a larger cache for the time of the import.
    std::optional<QVariant> cacheSize;
    if (db.dialect().isSQLite()) {
        QSqlQuery pragma(db.connection());
        if (pragma.exec(QStringLiteral("PRAGMA cache_size")) && pragma.next())
            cacheSize = pragma.value(0);
        pragma.exec(QStringLiteral("PRAGMA cache_size=-%1").arg(kImportCacheKiB));
    }
    const auto restoreCache = qScopeGuard([&] {
        if (cacheSize)
            QSqlQuery(db.connection()).exec(QStringLiteral("PRAGMA cache_size=%1").arg(cacheSize->toInt()));
    });

    WriteTransaction tx(db);
    if (!tx.isActive())
        return failed(QStringLiteral("数据库操作失败：%1").arg(tx.errorText()));
    const QVariant nullNumber(QMetaType::fromType<double>());
    const QVariant nullDate = db.dialect().dateValue(QDate());
    QSqlQuery full(db.connection());
    if (!full.prepare(statement(kBatchRows)))
        return failed(QStringLiteral("数据库操作失败：%1").arg(full.lastError().text()));

    const int total = static_cast<int>(rows.size());
    for (int start = 0; start < total; start += kBatchRows) {
        const int count = qMin(kBatchRows, total - start);
        QSqlQuery partial(db.connection());
        QSqlQuery &query = count == kBatchRows ? full : partial;
        if (count != kBatchRows && !query.prepare(statement(count)))
            return failed(QStringLiteral("数据库操作失败：%1").arg(query.lastError().text()));
        int position = 0;
        for (int i = start; i < start + count; ++i) {
            const ImportedStock &stock = rows.at(i);
            for (const QString &text : stock.texts)
                query.bindValue(position++, text.isNull() ? QStringLiteral("") : text);
            for (const std::optional<double> &number : stock.numbers)
                query.bindValue(position++, number ? QVariant(*number) : nullNumber);
            query.bindValue(position++, stock.stockInDate.isValid()
                                            ? db.dialect().dateValue(stock.stockInDate)
                                            : nullDate);
        }
        if (!query.exec())
            return failed(QStringLiteral("数据库操作失败：%1").arg(query.lastError().text()));
        query.finish();
        if (progress && !progress(start + count, total))
            return Outcome::Cancelled;
    }
    full.finish();
    if (!tx.commit())
        return failed(QStringLiteral("数据未能导入：%1").arg(tx.errorText()));
    return Outcome::Written;
}
