#include "GridPrinter.h"

#include "DataGrid.h"
#include "DataGridModel.h"
#include "GroupedHeaderView.h"
#include "PrintFont.h"

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

// Text on paper is not made smaller than this by fitting the grid to the
// page; a grid that would need it is printed across a landscape page.
constexpr qreal kSmallestPointSize = 6.5;

// The widest piece of a text that cannot be wrapped: a number, a date,
// a code; Chinese text may break after any character.
qreal unbreakableWidth(const QFontMetricsF &metrics, const QString &text)
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

// Where the columns go. The grid is laid out at the print font's own size
// with every title and figure whole, then the whole of it is scaled onto the
// page: nothing is ever clipped, only made smaller, and not below
// kSmallestPointSize while a landscape page or wrapped titles can avoid it.
struct GridLayout
{
    QList<int> columns;  // logical, in the order shown
    QList<qreal> widths; // in printer pixels at the unscaled font size
    qreal scale = 1;
    bool wrapTitles = false;
};

class GridLayoutPlanner
{
public:
    GridLayoutPlanner(const DataGrid &grid, const GridPrintSettings &settings, const QFont &font,
                      QPaintDevice *device)
        : m_grid(grid), m_settings(settings), m_font(font), m_bold(font), m_device(device)
    {
        m_bold.setBold(true);
        m_padding = device->logicalDpiX() / 48.0;
        measure();
    }

    GridLayout plan(qreal pageWidth, bool wrapTitles) const
    {
        GridLayout layout;
        layout.columns = m_columns;
        layout.wrapTitles = wrapTitles;
        const QList<qreal> needed = neededWidths(wrapTitles);
        qreal neededTotal = 0;
        for (const qreal need : needed)
            neededTotal += need;
        if (neededTotal > pageWidth) {
            layout.scale = pageWidth / neededTotal;
            layout.widths = needed;
            return layout;
        }
        if (!m_settings.fitToPageWidth) {
            for (int i = 0; i < needed.size(); ++i)
                layout.widths << std::max(needed.at(i),
                                          m_screenWidths.at(i) * m_device->logicalDpiX() / 96.0);
            return layout;
        }
        // The screen's proportions on the page's width; columns that would
        // come out narrower than their content take the space from those
        // that have some to spare.
        qreal screenTotal = 0;
        for (const qreal width : m_screenWidths)
            screenTotal += width;
        qreal total = 0;
        qreal slack = 0;
        for (int i = 0; i < needed.size(); ++i) {
            const qreal proportional = screenTotal > 0 ? m_screenWidths.at(i) * pageWidth / screenTotal : 0;
            layout.widths << std::max(proportional, needed.at(i));
            total += layout.widths.last();
            slack += layout.widths.last() - needed.at(i);
        }
        const qreal excess = total - pageWidth;
        if (excess > 0 && slack > 0) {
            for (int i = 0; i < needed.size(); ++i)
                layout.widths[i] -= (layout.widths.at(i) - needed.at(i)) * excess / slack;
        }
        return layout;
    }

    qreal padding() const { return m_padding; }

private:
    void measure()
    {
        const GroupedHeaderView *header = m_grid.header();
        const QList<DataGridColumn> &columns = m_grid.columns();
        const DataGridModel *model = m_grid.gridModel();
        const QFontMetricsF metrics(m_font, m_device);
        const QFontMetricsF titleMetrics(m_bold, m_device);
        const int sampleRows = std::min(model->rowCount(), 500);
        const qreal readableWidth = metrics.horizontalAdvance(QStringLiteral("新秀丽拉杆"));
        for (int visual = 0; visual < header->count(); ++visual) {
            const int logical = header->logicalIndex(visual);
            if (logical < 0 || logical >= columns.size() || header->isSectionHidden(logical))
                continue;
            const int shown = header->sectionSize(logical);
            m_columns << logical;
            m_screenWidths << (shown > 0 ? shown : columns.at(logical).width);
            const QString title = model->headerData(logical, Qt::Horizontal, Qt::DisplayRole).toString();
            m_titleWidths << titleMetrics.horizontalAdvance(title);
            m_titlePieceWidths << unbreakableWidth(titleMetrics, title);
            qreal content = unbreakableWidth(metrics, m_grid.footerText(logical));
            qreal whole = 0;
            for (int row = 0; row < sampleRows; ++row) {
                const QString value = model->data(model->index(row, logical)).toString();
                content = std::max(content, unbreakableWidth(metrics, value));
                whole = std::max(whole, metrics.horizontalAdvance(value));
            }
            // A name may wrap, but not down to a character a line.
            m_contentWidths << std::max(content, std::min(whole, readableWidth));
            m_upperTitles
                << model->headerData(logical, Qt::Horizontal, DataGridModel::UpperTitleRole).toString();
        }
    }

    QList<qreal> neededWidths(bool wrapTitles) const
    {
        const QFontMetricsF titleMetrics(m_bold, m_device);
        const qreal extra = 2 * m_padding + 2;
        QList<qreal> needed;
        for (int i = 0; i < m_columns.size(); ++i)
            needed << std::max(wrapTitles ? m_titlePieceWidths.at(i) : m_titleWidths.at(i),
                               m_contentWidths.at(i)) +
                          extra;
        // An upper title spans its group: the group is at least as wide.
        int i = 0;
        while (i < m_columns.size()) {
            int last = i;
            const QString &upper = m_upperTitles.at(i);
            while (!upper.isEmpty() && last + 1 < m_columns.size() && m_upperTitles.at(last + 1) == upper)
                ++last;
            if (!upper.isEmpty()) {
                const qreal want = (wrapTitles ? unbreakableWidth(titleMetrics, upper)
                                               : titleMetrics.horizontalAdvance(upper)) +
                                   extra;
                qreal have = 0;
                for (int k = i; k <= last; ++k)
                    have += needed.at(k);
                if (have < want) {
                    for (int k = i; k <= last; ++k)
                        needed[k] += (want - have) / (last - i + 1);
                }
            }
            i = last + 1;
        }
        return needed;
    }

    const DataGrid &m_grid;
    const GridPrintSettings &m_settings;
    QFont m_font;
    QFont m_bold;
    QPaintDevice *m_device;
    qreal m_padding = 0;
    QList<int> m_columns;
    QList<qreal> m_screenWidths;
    QList<qreal> m_titleWidths;
    QList<qreal> m_titlePieceWidths;
    QList<qreal> m_contentWidths;
    QList<QString> m_upperTitles;
};

// Everything one printout needs, measured for one printer.
class PageRenderer
{
public:
    PageRenderer(QPrinter *printer, QPainter &painter, DataGrid &grid, const GridPrinter &owner,
                 const QFont &font, const GridLayout &layout)
        : m_printer(printer), m_painter(painter), m_grid(grid), m_owner(owner), m_settings(owner.settings()),
          m_font(font), m_columns(layout.columns), m_widths(layout.widths), m_scale(layout.scale),
          m_wrapTitles(layout.wrapTitles)
    {
        const qreal dpi = printer->resolution();
        // The page in the grid's own units: the painter scales them onto paper.
        m_page =
            QRectF(QPointF(0, 0),
                   printer->pageLayout().paintRectPixels(printer->resolution()).size().toSizeF() / m_scale);
        m_lineHeight = QFontMetricsF(m_font, printer).height();
        m_padding = dpi / 48.0; // half a millimetre or so
        m_hairline = std::max<qreal>(1.0, dpi / 150.0);
        qreal x = 0;
        for (const qreal width : std::as_const(m_widths)) {
            m_left << x;
            x += width;
        }
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
    qreal bottom() const
    {
        return m_page.height() - (m_settings.footerCentre.isEmpty() ? 0 : m_lineHeight * 1.5);
    }

    void startPage()
    {
        ++m_pageNumber;
        m_y = 0;
        m_painter.setTransform(QTransform::fromScale(m_scale, m_scale));
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

    // Height of a title cell: one line, or as many as a wrapped title needs.
    qreal titleHeight(const QFontMetricsF &metrics, const QString &text, qreal width) const
    {
        const qreal line = m_lineHeight + 2 * m_padding;
        if (!m_wrapTitles)
            return line;
        const QRectF room(0, 0, std::max<qreal>(width - 2 * m_padding, 1), 1e6);
        return std::max(line, metrics.boundingRect(room, Qt::TextWordWrap, text).height() + 2 * m_padding);
    }

    void drawTitles()
    {
        const DataGridModel *model = m_grid.gridModel();
        QFont bold = m_font;
        bold.setBold(true);
        const QFontMetricsF metrics(bold, m_printer);
        const auto upperOf = [model](int logical) {
            return model->headerData(logical, Qt::Horizontal, DataGridModel::UpperTitleRole).toString();
        };
        const auto lowerOf = [model](int logical) {
            return model->headerData(logical, Qt::Horizontal, Qt::DisplayRole).toString();
        };
        // Adjacent columns with the same upper title share one cell.
        QList<QPair<int, int>> groups;
        for (int i = 0; i < m_columns.size();) {
            int last = i;
            const QString upper = upperOf(m_columns.at(i));
            while (!upper.isEmpty() && last + 1 < m_columns.size() &&
                   upperOf(m_columns.at(last + 1)) == upper)
                ++last;
            groups.append({i, last});
            i = last + 1;
        }
        qreal upperHeight = m_lineHeight + 2 * m_padding;
        qreal lowerHeight = upperHeight;
        for (const auto &[first, last] : std::as_const(groups)) {
            const QString upper = upperOf(m_columns.at(first));
            if (upper.isEmpty())
                continue;
            const qreal width = m_left.at(last) + m_widths.at(last) - m_left.at(first);
            upperHeight = std::max(upperHeight, titleHeight(metrics, upper, width));
            for (int k = first; k <= last; ++k)
                lowerHeight =
                    std::max(lowerHeight, titleHeight(metrics, lowerOf(m_columns.at(k)), m_widths.at(k)));
        }
        for (const auto &[first, last] : std::as_const(groups)) {
            if (upperOf(m_columns.at(first)).isEmpty())
                lowerHeight = std::max(
                    lowerHeight,
                    titleHeight(metrics, lowerOf(m_columns.at(first)), m_widths.at(first)) - upperHeight);
        }

        m_painter.setFont(bold);
        for (const auto &[first, last] : std::as_const(groups)) {
            const int logical = m_columns.at(first);
            const QString upper = upperOf(logical);
            const QColor background =
                colourOf(model->headerData(logical, Qt::Horizontal, Qt::BackgroundRole));
            const QColor foreground =
                colourOf(model->headerData(logical, Qt::Horizontal, Qt::ForegroundRole));
            const qreal left = m_left.at(first);
            const qreal right = m_left.at(last) + m_widths.at(last);
            if (upper.isEmpty()) {
                drawCell(QRectF(left, m_y, right - left, upperHeight + lowerHeight), lowerOf(logical),
                         Qt::AlignCenter, background, foreground);
                continue;
            }
            drawCell(QRectF(left, m_y, right - left, upperHeight), upper, Qt::AlignCenter, background,
                     foreground);
            for (int k = first; k <= last; ++k)
                drawCell(QRectF(m_left.at(k), m_y + upperHeight, m_widths.at(k), lowerHeight),
                         lowerOf(m_columns.at(k)), Qt::AlignCenter, background, foreground);
        }
        m_painter.setFont(m_font);
        m_y += upperHeight + lowerHeight;
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
    QList<int> m_columns; // logical, in the order shown
    QList<qreal> m_widths;
    qreal m_scale = 1;
    bool m_wrapTitles = false;
    qreal m_lineHeight = 0;
    qreal m_padding = 0;
    qreal m_hairline = 1;
    QList<qreal> m_left;
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
    const QFont font = PrintFont::make(m_settings.fontFamily, m_settings.fontPointSize);
    const GridLayoutPlanner planner(*m_grid, m_settings, font, printer);
    const auto pageWidth = [printer](QPageLayout::Orientation orientation) {
        QPageLayout layout = printer->pageLayout();
        layout.setOrientation(orientation);
        return qreal(layout.paintRectPixels(printer->resolution()).width());
    };
    const auto readable = [this](const GridLayout &layout) {
        return m_settings.fontPointSize * layout.scale >= kSmallestPointSize - 0.01;
    };
    QPageLayout::Orientation orientation = printer->pageLayout().orientation();
    GridLayout layout = planner.plan(pageWidth(orientation), false);
    if (!readable(layout) && orientation == QPageLayout::Portrait) {
        orientation = QPageLayout::Landscape;
        layout = planner.plan(pageWidth(orientation), false);
    }
    if (!readable(layout)) {
        // Titles may wrap; figures never do.
        const GridLayout wrapped = planner.plan(pageWidth(orientation), true);
        if (wrapped.scale > layout.scale)
            layout = wrapped;
    }
    if (orientation != printer->pageLayout().orientation())
        printer->setPageOrientation(orientation);
    m_orientation = orientation;
    m_scale = layout.scale;

    QPainter painter;
    if (!painter.begin(printer))
        return;
    PageRenderer renderer(printer, painter, *m_grid, *this, font, layout);
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
