#include "GridExporter.h"

#include "DataGrid.h"
#include "GroupedHeaderView.h"
#include "Prompter.h"

#include "data/Clock.h"
#include "data/SqlListModel.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QProgressDialog>
#include <QScreen>
#include <QStandardPaths>
#include <QUrl>

namespace {

const QString kXlsFilter = QStringLiteral("Microsoft Excel xls文件 (*.xls)");
const QString kXlsxFilter = QStringLiteral("Excel 2007 xlsx文件 (*.xlsx)");
const QString kCsvFilter = QStringLiteral("CSV (UTF-8) (*.csv)");
// Progress is redrawn at most this often; drawing it per row would cost
// more than the export.
constexpr int kProgressMilliseconds = 50;

// The busy cursor for the length of the export, also when it fails.
class BusyCursor
{
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

// The small borderless window with the bold notice and a blue bar.
std::unique_ptr<QProgressDialog> makeProgress(QWidget *parent, int maximum)
{
    auto progress = std::make_unique<QProgressDialog>(parent, Qt::Dialog | Qt::FramelessWindowHint);
    auto *label = new QLabel(QStringLiteral("正在导出数据，请稍候......"), progress.get());
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    label->setAlignment(Qt::AlignCenter);
    progress->setLabel(label);
    auto *bar = new QProgressBar(progress.get());
    bar->setTextVisible(false);
    bar->setStyleSheet(QStringLiteral("QProgressBar::chunk { background-color: #0000ff; }"));
    progress->setBar(bar);
    progress->setCancelButton(nullptr);
    progress->setWindowModality(Qt::ApplicationModal);
    progress->setFixedSize(300, 100);
    progress->setRange(0, std::max(maximum, 1));
    progress->setMinimumDuration(0);
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    progress->setValue(0);
    if (parent)
        progress->move(parent->screen()->geometry().center() - progress->rect().center());
    return progress;
}

} // namespace

GridExporter::GridExporter(DataGrid *grid, QWidget *dialogParent)
    : QObject(dialogParent), m_grid(grid), m_dialogParent(dialogParent)
{}

void GridExporter::setDateRange(const QString &begin, const QString &end)
{
    m_beginDate = begin;
    m_endDate = end;
}

QString GridExporter::fileFilters()
{
    return kXlsFilter + QStringLiteral(";;") + kXlsxFilter + QStringLiteral(";;") + kCsvFilter;
}

SheetWriter::Format GridExporter::formatFor(const QString &fileName, const QString &selectedFilter)
{
    const QString suffix = QFileInfo(fileName.trimmed()).suffix().toLower();
    if (suffix == QLatin1String("xls"))
        return SheetWriter::Format::Xls;
    if (suffix == QLatin1String("xlsx"))
        return SheetWriter::Format::Xlsx;
    if (suffix == QLatin1String("csv"))
        return SheetWriter::Format::Csv;
    if (selectedFilter.contains(QLatin1String("*.xlsx")))
        return SheetWriter::Format::Xlsx;
    if (selectedFilter.contains(QLatin1String("*.csv")))
        return SheetWriter::Format::Csv;
    return SheetWriter::Format::Xls;
}

QString GridExporter::withSuffix(const QString &fileName, SheetWriter::Format format)
{
    const QString name = fileName.trimmed();
    if (name.isEmpty() || !QFileInfo(name).suffix().isEmpty())
        return name;
    return name + u'.' + SheetWriter::suffix(format);
}

GridExporter::Result GridExporter::exportWithDialog(DataGrid *grid, QWidget *dialogParent,
                                                    const QString &title, const QString &userName)
{
    GridExporter exporter(grid, dialogParent);
    exporter.setTitle(title);
    exporter.setDateRange(QString(), QString());
    exporter.setUserName(userName);
    exporter.setShowProgress(true);
    return exporter.exportWithDialog();
}

GridExporter::Result GridExporter::exportWithDialog()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    // A list longer than an .xls sheet holds is offered as .xlsx from the start,
    // so the operator is not sent back after choosing a file.
    const bool fitsXls = !tooLongFor(*SheetWriter::create(SheetWriter::Format::Xls));
    QString selectedFilter = fitsXls ? kXlsFilter : kXlsxFilter;
    const QString chosen = Prompter::saveFileName(
        m_dialogParent, QStringLiteral("导出Excel"),
        QDir(folder).filePath(m_title + (fitsXls ? QStringLiteral(".xls") : QStringLiteral(".xlsx"))),
        fileFilters(), &selectedFilter);
    if (chosen.isEmpty())
        return Result::Declined;
    const SheetWriter::Format format = formatFor(chosen, selectedFilter);
    return exportTo(withSuffix(chosen, format), format);
}

bool GridExporter::tooLongFor(const SheetWriter &sheet) const
{
    const SqlListModel *list = m_grid ? m_grid->listModel() : nullptr;
    if (!list || sheet.maxRows() <= 0)
        return false;
    return layout().totalRows(std::max(list->totalCount(), list->rowCount())) > sheet.maxRows();
}

QList<int> GridExporter::exportedColumns() const
{
    QList<int> shown;
    const GroupedHeaderView *header = m_grid->header();
    const QList<DataGridColumn> &columns = m_grid->columns();
    const QString masked = QStringLiteral("*****");
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (logical < 0 || logical >= columns.size() || header->isSectionHidden(logical))
            continue;
        // A column whose title is masked is treated as hidden.
        const DataGridColumn &column = columns.at(logical);
        if (column.upperTitle.contains(masked) || column.lowerTitle.contains(masked))
            continue;
        shown << logical;
    }
    return shown;
}

ListExportLayout GridExporter::layout() const
{
    ListExportLayout layout;
    layout.title = m_title;
    layout.beginDate = m_beginDate;
    layout.endDate = m_endDate;
    layout.userName = m_userName;
    layout.madeAt = Clock::current().now();
    if (!m_grid)
        return layout;
    for (const int logical : exportedColumns()) {
        const DataGridColumn &column = m_grid->columns().at(logical);
        ListExportLayout::Column exported;
        for (const QString &title : {column.upperTitle, column.lowerTitle}) {
            if (!title.isEmpty())
                exported.titles << title;
        }
        // Computed sums are not exported, only fixed footer texts.
        if (column.footer == DataGridColumn::Footer::Text)
            exported.footerText = column.footerText;
        layout.columns << exported;
    }
    return layout;
}

GridExporter::Result GridExporter::exportTo(const QString &fileName, SheetWriter::Format format)
{
    m_error.clear();
    m_cutCells = 0;
    SqlListModel *list = m_grid ? m_grid->listModel() : nullptr;
    const QString path = fileName.trimmed();
    if (!list || !list->isActive() || (list->totalCount() == 0 && list->rowCount() == 0) || path.isEmpty())
        return Result::NothingToExport;

    std::unique_ptr<SheetWriter> sheet = SheetWriter::create(format);
    const ListExportLayout sheetLayout = layout();
    const int records = std::max(list->totalCount(), list->rowCount());
    if (tooLongFor(*sheet)) {
        m_error =
            QStringLiteral("列表共有 %1 条记录，超出 .xls 文件最多 %2 行的容量，无法导出为 .xls 文件。\n"
                           "请选择“Excel 2007 xlsx文件”或“CSV (UTF-8)”格式导出。")
                .arg(records)
                .arg(sheet->maxRows());
        Prompter::warning(m_dialogParent, m_error, QStringLiteral("提示"));
        return Result::TooManyRows;
    }

    if (QFileInfo::exists(path)) {
        if (!Prompter::ask(m_dialogParent,
                           QStringLiteral("已存在文件（") + path + QStringLiteral("），是否覆盖？"),
                           QStringLiteral("提示"), Prompter::Answer::No))
            return Result::Declined;
        QFile old(path);
        if (!old.remove()) {
            m_error = QStringLiteral("无法覆盖文件（") + path + QStringLiteral("）：") + old.errorString();
            Prompter::error(m_dialogParent, m_error);
            return Result::Failed;
        }
    }

    if (!write(path, *sheet, sheetLayout)) {
        QFile::remove(path);
        m_error = QStringLiteral("导出失败，无法写入文件（") + path + QStringLiteral("）：") + m_error;
        Prompter::error(m_dialogParent, m_error);
        return Result::Failed;
    }
    m_cutCells = sheet->cutCells();
    if (m_cutCells > 0) {
        Prompter::warning(
            m_dialogParent,
            QStringLiteral("导出完成，但有 %1 个单元格的内容超过了 .%2 文件每个单元格的长度上限，"
                           "已被截断。\n需要完整内容时，请导出为“CSV (UTF-8)”文件。")
                .arg(m_cutCells)
                .arg(SheetWriter::suffix(format)),
            QStringLiteral("提示"));
    }
    emit exported(path);
    if (!Prompter::testMode())
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
    return Result::Written;
}

bool GridExporter::write(const QString &path, SheetWriter &sheet, const ListExportLayout &sheetLayout)
{
    SqlListModel *list = m_grid->listModel();
    const int currentRow = m_grid->currentRow();
    BusyCursor busy;
    // Loading the rest of the list counts for the first half of the bar,
    // writing for the second.
    const int expected = std::max(list->totalCount(), list->rowCount());
    std::unique_ptr<QProgressDialog> progress;
    if (m_showProgress)
        progress = makeProgress(m_dialogParent, 2 * expected);
    QElapsedTimer sinceRedraw;
    sinceRedraw.start();
    auto showProgress = [&](int value) {
        if (progress && sinceRedraw.elapsed() >= kProgressMilliseconds) {
            progress->setValue(std::min(value, progress->maximum()));
            sinceRedraw.restart();
        }
    };

    while (list->hasUnloadedRows()) {
        list->fetchMore();
        showProgress(list->rowCount());
    }
    if (!list->errorText().isEmpty()) {
        m_error = list->errorText();
        return false;
    }

    if (!sheet.open(path)) {
        m_error = sheet.errorString();
        return false;
    }
    QList<int> fields;
    for (const int logical : exportedColumns())
        fields << list->fieldIndex(m_grid->columns().at(logical).field);

    ListExportWriter writer(sheet, sheetLayout);
    writer.writeHead();
    const int rows = list->rowCount();
    QVariantList values;
    values.reserve(fields.size());
    for (int row = 0; row < rows; ++row) {
        values.clear();
        for (const int field : std::as_const(fields))
            values << list->value(row, field);
        writer.writeRecord(values);
        showProgress(expected + row + 1);
    }
    writer.writeFooter();
    const bool ok = sheet.close();
    if (!ok)
        m_error = sheet.errorString();
    if (progress)
        progress->close();
    if (currentRow >= 0 && currentRow < m_grid->gridModel()->rowCount())
        m_grid->setCurrentRow(currentRow);
    return ok;
}
