#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

class SheetWriter;

// The sheet a list export produces: the report title, the date range when
// there is one, who made it and when, the column titles (one row per title
// level), one row per record, and the footer texts. Shared by the stock
// list, the sales detail and the summary.
struct ListExportLayout
{
    struct Column
    {
        // Title levels from the top ("进 货", "单 价"); a column with fewer
        // levels than the others leaves the lower title rows empty.
        QStringList titles;
        QString footerText;
    };

    QString title;
    QString beginDate;
    QString endDate;
    QString userName;
    QDateTime madeAt;
    // The exported (visible) columns in the order they are shown.
    QList<Column> columns;

    // Sheet columns of the fixed cells.
    static constexpr int kTitleColumn = 3;
    static constexpr int kEndDateColumn = 5;
    static constexpr int kMadeAtColumn = 5;

    bool hasDateRow() const { return !beginDate.trimmed().isEmpty() || !endDate.trimmed().isEmpty(); }
    int titleLevels() const;
    // Rows above the first record.
    int headRows() const { return 2 + (hasDateRow() ? 1 : 0) + titleLevels(); }
    // All rows of a sheet holding this many records (head, records, footer).
    int totalRows(int records) const { return headRows() + records + 1; }
};

// Writes a list into a sheet in the layout above, one record at a time.
class ListExportWriter
{
public:
    ListExportWriter(SheetWriter &sheet, const ListExportLayout &layout);

    // The title, date, maker and title rows.
    void writeHead();
    // One record: its values in the order of the layout's columns. Nulls
    // give empty cells, whole numbers and decimals numeric cells, dates
    // their yyyy-mm-dd text, everything else its text.
    void writeRecord(const QVariantList &values);
    // The footer row.
    void writeFooter();

    int nextRow() const { return m_row; }

    // How one value goes into one cell.
    static void writeValue(SheetWriter &sheet, int row, int column, const QVariant &value);

private:
    SheetWriter &m_sheet;
    const ListExportLayout &m_layout;
    int m_row = 0;
};
