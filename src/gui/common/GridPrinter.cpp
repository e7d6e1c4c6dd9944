#include "GridPrinter.h"

#include "DataGrid.h"
#include "DataGridModel.h"
#include "GroupedHeaderView.h"

#include "data/SqlListModel.h"

#include <QApplication>
#include <QFileInfo>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>

namespace {

GridPrinter::PreviewHook &previewHook()
{
    static GridPrinter::PreviewHook hook;
    return hook;
}

const QColor kFooterBackground(255, 194, 134);

QColor colourOf(const QVariant &value)
{
    if (value.canConvert<QBrush>() && value.typeId() == QMetaType::QBrush)
        return value.value<QBrush>().color();
    if (value.typeId() == QMetaType::QColor)
        return value.value<QColor>();
    return QColor();
}

Qt::Alignment alignmentOf(const QVariant &value, Qt::Alignment fallback)
{
    if (!value.isValid())
        return fallback;
    return Qt::Alignment(value.toInt());
}

// Everything one printout needs, measured for one printer.
class PageRenderer
{
public:
    PageRenderer(QPrinter *printer, QPainter &painter, DataGrid &grid, const GridPrinter &owner)
        : m_printer(printer), m_painter(painter), m_grid(grid), m_owner(owner), m_settings(owner.settings())
    {
        const qreal dpi = printer->resolution();
        m_page = QRectF(QPointF(0, 0), printer->pageLayout().paintRectPixels(printer->resolution()).size());
        m_font = QFont(m_settings.fontFamily);
        m_font.setPointSizeF(m_settings.fontPointSize);
        m_lineHeight = QFontMetricsF(m_font, printer).height();
        m_padding = dpi / 48.0; // half a millimetre or so
        m_hairline = std::max<qreal>(1.0, dpi / 150.0);
        chooseColumns(dpi);
    }

    int run()
    {
        startPage();
        const GridPrintSettings::Text &before = m_settings.before;
        m_y += before.emptyLinesBefore * m_lineHeight;
        if (!before.text.isEmpty())
            m_y += drawText(before, m_owner.substituted(before.text, m_pageNumber));
        m_y += before.emptyLinesAfter * m_lineHeight;

        drawTitles();
        const DataGridModel *model = m_grid.gridModel();
        const int rows = model->rowCount();
        for (int row = 0; row < rows; ++row) {
            QStringList texts;
            for (const int column : std::as_const(m_columns))
                texts << model->data(model->index(row, column), Qt::DisplayRole).toString();
            const qreal height = rowHeight(texts);
            if (m_y + height > bottom()) {
                newPage();
                drawTitles();
            }
            drawRow(row, texts, height);
        }
        drawFooterRow();

        const GridPrintSettings::Text &after = m_settings.after;
        const qreal afterHeight = (after.emptyLinesBefore + 1) * m_lineHeight * 1.2;
        if (m_y + afterHeight > bottom())
            newPage();
        m_y += after.emptyLinesBefore * m_lineHeight;
        if (!after.text.isEmpty())
            m_y += drawText(after, m_owner.substituted(after.text, m_pageNumber));
        finishPage();
        return m_pageNumber;
    }

private:
    void chooseColumns(qreal dpi)
    {
        const GroupedHeaderView *header = m_grid.header();
        const QList<DataGridColumn> &columns = m_grid.columns();
        qreal total = 0;
        QList<qreal> widths;
        for (int visual = 0; visual < header->count(); ++visual) {
            const int logical = header->logicalIndex(visual);
            if (logical < 0 || logical >= columns.size() || header->isSectionHidden(logical))
                continue;
            const int shown = header->sectionSize(logical);
            const qreal width = shown > 0 ? shown : columns.at(logical).width;
            m_columns << logical;
            widths << width;
            total += width;
        }
        // Screen pixels to printer pixels, unless the grid is fitted to the page.
        const qreal scale = m_settings.fitToPageWidth && total > 0 ? m_page.width() / total : dpi / 96.0;
        for (qreal &width : widths)
            width *= scale;
        if (m_settings.fitToPageWidth)
            widenToContent(widths);
        qreal x = 0;
        for (const qreal width : std::as_const(widths)) {
            m_left << x;
            m_widths << width;
            x += width;
        }
    }

    // The widest piece of a text that cannot be wrapped: a number, a date,
    // a code; Chinese text may break after any character.
    static qreal unbreakableWidth(const QFontMetricsF &metrics, const QString &text)
    {
        qreal widest = 0;
        qsizetype start = 0;
        for (qsizetype i = 0; i <= text.size(); ++i) {
            const bool end = i == text.size() || text.at(i).isSpace() || text.at(i).unicode() >= 0x2E80;
            if (!end)
                continue;
            if (i > start)
                widest = std::max(widest, metrics.horizontalAdvance(text.mid(start, i - start)));
            if (i < text.size() && !text.at(i).isSpace())
                widest = std::max(widest, metrics.horizontalAdvance(text.at(i)));
            start = i + 1;
        }
        return widest;
    }

    // Fitting to the page keeps the grid's proportions, but a column is not
    // made narrower than its title or than the numbers and dates in it (read
    // from the first rows): space comes from the columns that have some to
    // spare, and only when none do is everything scaled down.
    void widenToContent(QList<qreal> &widths) const
    {
        const DataGridModel *model = m_grid.gridModel();
        QFont bold = m_font;
        bold.setBold(true);
        const QFontMetricsF metrics(m_font, m_printer);
        const QFontMetricsF titleMetrics(bold, m_printer);
        const int sampleRows = std::min(model->rowCount(), 500);
        QList<qreal> needed;
        for (int i = 0; i < m_columns.size(); ++i) {
            const int column = m_columns.at(i);
            qreal need = titleMetrics.horizontalAdvance(
                model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString());
            need = std::max(need, unbreakableWidth(metrics, m_grid.footerText(column)));
            for (int row = 0; row < sampleRows; ++row)
                need = std::max(need,
                                unbreakableWidth(metrics, model->data(model->index(row, column)).toString()));
            needed << need + 2 * m_padding + 1;
        }
        qreal total = 0;
        qreal slack = 0;
        qreal neededTotal = 0;
        for (int i = 0; i < widths.size(); ++i) {
            widths[i] = std::max(widths.at(i), needed.at(i));
            total += widths.at(i);
            slack += widths.at(i) - needed.at(i);
            neededTotal += needed.at(i);
        }
        const qreal excess = total - m_page.width();
        if (excess <= 0)
            return;
        if (slack >= excess) {
            for (int i = 0; i < widths.size(); ++i)
                widths[i] -= (widths.at(i) - needed.at(i)) * excess / slack;
        } else {
            for (int i = 0; i < widths.size(); ++i)
                widths[i] = needed.at(i) * m_page.width() / neededTotal;
        }
    }

    qreal bottom() const
    {
        return m_page.height() - (m_settings.footerCentre.isEmpty() ? 0 : m_lineHeight * 1.5);
    }

    void startPage()
    {
        ++m_pageNumber;
        m_y = 0;
        m_painter.setFont(m_font);
        m_painter.setPen(Qt::black);
        const QString header = m_owner.substituted(m_settings.headerCentre, m_pageNumber);
        if (!header.isEmpty()) {
            m_painter.drawText(QRectF(0, 0, m_page.width(), m_lineHeight), Qt::AlignCenter, header);
            m_y = m_lineHeight + m_padding;
            if (m_settings.headerDoubleLine) {
                QPen pen(Qt::black, m_hairline);
                m_painter.setPen(pen);
                m_painter.drawLine(QPointF(0, m_y), QPointF(m_page.width(), m_y));
                m_y += 3 * m_hairline;
                m_painter.drawLine(QPointF(0, m_y), QPointF(m_page.width(), m_y));
                m_painter.setPen(Qt::black);
            }
            m_y += m_lineHeight * 0.8;
        }
    }

    void finishPage()
    {
        const QString footer = m_owner.substituted(m_settings.footerCentre, m_pageNumber);
        if (!footer.isEmpty()) {
            m_painter.setFont(m_font);
            m_painter.setPen(Qt::black);
            m_painter.drawText(QRectF(0, m_page.height() - m_lineHeight, m_page.width(), m_lineHeight),
                               Qt::AlignCenter, footer);
        }
    }

    void newPage()
    {
        finishPage();
        m_printer->newPage();
        startPage();
    }

    // Draws a free text line; returns the height it took.
    qreal drawText(const GridPrintSettings::Text &text, const QString &value)
    {
        QFont font = m_font;
        if (text.pointSize > 0)
            font.setPointSizeF(text.pointSize);
        font.setBold(text.bold);
        const QFontMetricsF metrics(font, m_printer);
        const QString shown = value + QString(text.trailingBlanks, u' ');
        const qreal width = std::min(metrics.horizontalAdvance(shown), m_page.width());
        qreal x = 0;
        if (text.alignment & Qt::AlignRight)
            x = m_page.width() - width;
        else if (text.alignment & Qt::AlignHCenter)
            x = (m_page.width() - width) / 2;
        m_painter.setFont(font);
        m_painter.setPen(Qt::black);
        m_painter.drawText(QRectF(x, m_y, width, metrics.height()), Qt::AlignLeft | Qt::AlignVCenter, value);
        m_painter.setFont(m_font);
        return metrics.height();
    }

    void drawCell(const QRectF &rect, const QString &text, Qt::Alignment alignment, const QColor &background,
                  const QColor &foreground)
    {
        if (m_settings.printColours && background.isValid())
            m_painter.fillRect(rect, background);
        m_painter.setPen(QPen(Qt::black, m_hairline));
        m_painter.drawRect(rect);
        m_painter.setPen(m_settings.printColours && foreground.isValid() ? foreground : QColor(Qt::black));
        const int wrap = m_settings.growRowsToFit ? int(Qt::TextWordWrap) : 0;
        m_painter.drawText(rect.adjusted(m_padding, m_padding, -m_padding, -m_padding),
                           int(alignment | Qt::AlignVCenter) | wrap, text);
    }

    qreal rowHeight(const QStringList &texts) const
    {
        qreal height = m_lineHeight;
        if (m_settings.growRowsToFit) {
            const QFontMetricsF metrics(m_font, m_printer);
            for (int i = 0; i < texts.size(); ++i) {
                if (texts.at(i).isEmpty())
                    continue;
                const QRectF room(0, 0, std::max<qreal>(m_widths.at(i) - 2 * m_padding, 1), 1e6);
                height = std::max(height, metrics.boundingRect(room, Qt::TextWordWrap, texts.at(i)).height());
            }
        }
        return std::min(height + 2 * m_padding, bottom() / 2);
    }

    void drawTitles()
    {
        const DataGridModel *model = m_grid.gridModel();
        const qreal line = m_lineHeight + 2 * m_padding;
        QFont bold = m_font;
        bold.setBold(true);
        m_painter.setFont(bold);
        int i = 0;
        while (i < m_columns.size()) {
            const int logical = m_columns.at(i);
            const QString upper =
                model->headerData(logical, Qt::Horizontal, DataGridModel::UpperTitleRole).toString();
            const QColor background =
                colourOf(model->headerData(logical, Qt::Horizontal, Qt::BackgroundRole));
            const QColor foreground =
                colourOf(model->headerData(logical, Qt::Horizontal, Qt::ForegroundRole));
            // Adjacent columns with the same upper title share one cell.
            int last = i;
            while (!upper.isEmpty() && last + 1 < m_columns.size() &&
                   model->headerData(m_columns.at(last + 1), Qt::Horizontal, DataGridModel::UpperTitleRole)
                           .toString() == upper)
                ++last;
            const qreal left = m_left.at(i);
            const qreal right = m_left.at(last) + m_widths.at(last);
            if (upper.isEmpty()) {
                const QString lower = model->headerData(logical, Qt::Horizontal, Qt::DisplayRole).toString();
                drawCell(QRectF(left, m_y, right - left, 2 * line), lower, Qt::AlignCenter, background,
                         foreground);
            } else {
                drawCell(QRectF(left, m_y, right - left, line), upper, Qt::AlignCenter, background,
                         foreground);
                for (int k = i; k <= last; ++k) {
                    const QString lower =
                        model->headerData(m_columns.at(k), Qt::Horizontal, Qt::DisplayRole).toString();
                    drawCell(QRectF(m_left.at(k), m_y + line, m_widths.at(k), line), lower, Qt::AlignCenter,
                             background, foreground);
                }
            }
            i = last + 1;
        }
        m_painter.setFont(m_font);
        m_y += 2 * line;
    }

    void drawRow(int row, const QStringList &texts, qreal height)
    {
        const DataGridModel *model = m_grid.gridModel();
        for (int i = 0; i < m_columns.size(); ++i) {
            const QModelIndex index = model->index(row, m_columns.at(i));
            drawCell(QRectF(m_left.at(i), m_y, m_widths.at(i), height), texts.at(i),
                     alignmentOf(model->data(index, Qt::TextAlignmentRole), Qt::AlignLeft),
                     colourOf(model->data(index, Qt::BackgroundRole)),
                     colourOf(model->data(index, Qt::ForegroundRole)));
        }
        m_y += height;
    }

    void drawFooterRow()
    {
        QStringList texts;
        for (const int column : std::as_const(m_columns))
            texts << m_grid.footerText(column);
        const qreal height = rowHeight(texts);
        if (m_y + height > bottom()) {
            newPage();
            drawTitles();
        }
        for (int i = 0; i < m_columns.size(); ++i) {
            const DataGridColumn &column = m_grid.columns().at(m_columns.at(i));
            drawCell(QRectF(m_left.at(i), m_y, m_widths.at(i), height), texts.at(i), column.footerAlignment,
                     kFooterBackground, QColor(Qt::black));
        }
        m_y += height;
    }

    QPrinter *m_printer;
    QPainter &m_painter;
    DataGrid &m_grid;
    const GridPrinter &m_owner;
    const GridPrintSettings &m_settings;
    QRectF m_page;
    QFont m_font;
    qreal m_lineHeight = 0;
    qreal m_padding = 0;
    qreal m_hairline = 1;
    QList<int> m_columns; // logical, in the order shown
    QList<qreal> m_left;
    QList<qreal> m_widths;
    qreal m_y = 0;
    int m_pageNumber = 0;
};

} // namespace

GridPrinter::GridPrinter(DataGrid *grid, QWidget *dialogParent)
    : QObject(dialogParent), m_grid(grid), m_dialogParent(dialogParent)
{}

void GridPrinter::addSubstitution(const QString &key, const QString &value)
{
    m_substitutions.append({key, value});
}

QString GridPrinter::substituted(const QString &text, int page) const
{
    QString result = text;
    for (const auto &[key, value] : m_substitutions)
        result.replace(key, value);
    result.replace(QStringLiteral("&[Page]"), QString::number(page));
    return result;
}

void GridPrinter::setPreviewHook(PreviewHook hook)
{
    previewHook() = std::move(hook);
}

void GridPrinter::applyPageLayout(QPrinter *printer) const
{
    printer->setPageSize(QPageSize(QPageSize::A4));
    printer->setPageOrientation(QPageLayout::Portrait);
    printer->setPageMargins(m_settings.marginsMillimetres, QPageLayout::Millimeter);
}

void GridPrinter::render(QPrinter *printer)
{
    m_pages = 0;
    if (!m_grid || !printer)
        return;
    // Every record is printed, not only those loaded so far.
    if (SqlListModel *list = m_grid->listModel()) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        list->fetchAll();
        QApplication::restoreOverrideCursor();
    }
    QPainter painter;
    if (!painter.begin(printer))
        return;
    PageRenderer renderer(printer, painter, *m_grid, *this);
    m_pages = renderer.run();
    painter.end();
}

void GridPrinter::preview()
{
    if (previewHook()) {
        previewHook()(*this);
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    applyPageLayout(&printer);
    QPrintPreviewDialog dialog(&printer, m_dialogParent);
    dialog.setWindowTitle(QStringLiteral("打印预览"));
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this, &GridPrinter::render);
    dialog.resize(900, 700);
    dialog.exec();
}

bool GridPrinter::printToPdf(const QString &path)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    applyPageLayout(&printer);
    render(&printer);
    return m_pages > 0 && QFileInfo(path).size() > 0;
}
