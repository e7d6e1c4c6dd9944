#pragma once

#include "common/ListExport.h"
#include "common/SheetWriter.h"

#include <QObject>
#include <QPointer>
#include <QString>

class DataGrid;
class QWidget;

// Writes what a list grid shows to a spreadsheet file: the classic .xls the
// shop has always used, .xlsx, or UTF-8 CSV. Hidden columns are left out
// (so each value stays under its own titles), every record of the list is
// written, not only the rows on screen. The stock list, the sales detail and
// the summary each give their own title.
class GridExporter : public QObject
{
    Q_OBJECT

public:
    enum class Result {
        Written,
        NothingToExport, // the list is empty or not open, or no file name
        Declined,        // the save dialog was cancelled or the file is not to be replaced
        TooManyRows,     // more rows than the chosen format holds
        Failed,          // the file could not be written
    };

    explicit GridExporter(DataGrid *grid, QWidget *dialogParent = nullptr);

    void setTitle(const QString &title) { m_title = title; }
    QString title() const { return m_title; }
    // The date range of the list; both empty for the stock list and the summary.
    void setDateRange(const QString &begin, const QString &end);
    void setUserName(const QString &userName) { m_userName = userName; }
    void setShowProgress(bool show) { m_showProgress = show; }

    // The save dialog's file types, the classic .xls first.
    static QString fileFilters();
    // The format the operator asked for: by the file's suffix, else by the
    // chosen file type (.xls when neither says).
    static SheetWriter::Format formatFor(const QString &fileName, const QString &selectedFilter);
    // The file name with the format's suffix added when it has none.
    static QString withSuffix(const QString &fileName, SheetWriter::Format format);

    // The "导出Excel" command: asks for the file, then exports to it.
    Result exportWithDialog();
    // The same for a list window's grid: its title, no date range, the
    // signed-in user's name, progress shown.
    static Result exportWithDialog(DataGrid *grid, QWidget *dialogParent, const QString &title,
                                   const QString &userName);
    // Exports to the file, asking before replacing an existing one.
    Result exportTo(const QString &fileName, SheetWriter::Format format);

    // The columns that go into the file, in the order shown, and the row
    // values of one record in that order.
    ListExportLayout layout() const;
    QString lastError() const { return m_error; }
    // Text cells of the last export cut at the file format's limit on one
    // cell; the operator is told when there were any.
    int cutCells() const { return m_cutCells; }

signals:
    void exported(const QString &path);

private:
    QList<int> exportedColumns() const;
    // The list needs more rows than the sheet format holds.
    bool tooLongFor(const SheetWriter &sheet) const;
    bool write(const QString &path, SheetWriter &sheet, const ListExportLayout &layout);

    QPointer<DataGrid> m_grid;
    QPointer<QWidget> m_dialogParent;
    QString m_title;
    QString m_beginDate;
    QString m_endDate;
    QString m_userName;
    bool m_showProgress = true;
    QString m_error;
    int m_cutCells = 0;
};
