#include "Tform22.h"

#include "common/PrintFont.h"
#include "common/Prompter.h"
#include "data/Clock.h"
#include "data/NumberFormat.h"
#include "data/QueryHelpers.h"
#include "sales/CapitalAmount.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>

namespace {

// One design pixel is 1/96 inch = 0.2646 mm.
constexpr double MmPerDesignPixel = 25.4 / 96.0;
constexpr double TopMarginMm = 10;
constexpr double BottomMarginMm = 10;
constexpr double SideMarginMm = 15;
// The right end of the table when the printer reports no page (180 mm).
constexpr double DesignWidth = 180 / MmPerDesignPixel;

// The column rules of the header and the line rows as designed; a document
// with long figures moves them (see fittedRules).
constexpr std::array<double, 6> DesignRules = {130, 281, 378, 434, 498, 562};
// The name column gives up room for figures down to this width.
constexpr double MinimumNameWidth = 64;

QString &redirect()
{
    static QString path;
    return path;
}

QString &preferredFamily()
{
    static QString family = QStringLiteral("宋体");
    return family;
}

QFont documentFont(double points, double fontScale, bool bold = false, bool underline = false)
{
    // The painter counts in design pixels; the font's points are scaled so
    // that they come out at their printed size.
    QFont font = PrintFont::make(preferredFamily(), points * fontScale, QFont::Serif);
    font.setBold(bold);
    font.setUnderline(underline);
    return font;
}

// The height of a line of text in design pixels, from the font that will
// print it: the bands are laid out from these, not from one face's sizes.
QFontMetricsF designMetrics(double points, bool bold = false)
{
    QImage designPixels(1, 1, QImage::Format_Mono);
    const int dotsPerMetre = qRound(96 / 0.0254);
    designPixels.setDotsPerMeterX(dotsPerMetre);
    designPixels.setDotsPerMeterY(dotsPerMetre);
    return QFontMetricsF(documentFont(points, 1, bold), &designPixels);
}

double lineHeight(double points, bool bold = false)
{
    return designMetrics(points, bold).height();
}

// Room kept between a text and the rules around it, across and up and down.
constexpr double Gap = 3;
constexpr double RowGap = 1.5;

enum class Align { Left, Right, Centre };

// A text whose top edge is at y. Left: from x over width; Right: ending at x;
// Centre: centred on x .. x + width. A text wider than its room is cut short
// with "…" so it never runs into the next column; a figure is set smaller
// instead, since a cut figure is a wrong figure.
enum class Fit { Elide, Shrink };

void text(QPainter &painter, Align align, double x, double y, double width, const QString &value,
          Fit fit = Fit::Elide)
{
    QFontMetricsF metrics(painter.font(), painter.device());
    const double height = metrics.height();
    QString shown = value;
    painter.save();
    if (fit == Fit::Shrink && width > 0 && metrics.horizontalAdvance(value) > width) {
        QFont smaller = painter.font();
        smaller.setPointSizeF(smaller.pointSizeF() * width / metrics.horizontalAdvance(value) * 0.98);
        painter.setFont(smaller);
        metrics = QFontMetricsF(smaller, painter.device());
        y += (height - metrics.height()) / 2;
    } else if (align != Align::Centre && width > 0) {
        shown = metrics.elidedText(value, Qt::ElideRight, width);
    }
    switch (align) {
    case Align::Left:
        painter.drawText(QRectF(x, y, width > 0 ? width : 10000, height),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, shown);
        break;
    case Align::Right:
        painter.drawText(QRectF(x - width, y, width, metrics.height()),
                         Qt::AlignRight | Qt::AlignTop | Qt::TextSingleLine, shown);
        break;
    case Align::Centre:
        painter.drawText(QRectF(x, y, width, height),
                         Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip, shown);
        break;
    }
    painter.restore();
}

bool framedAtTop(Tform22::Band band)
{
    using Band = Tform22::Band;
    return band == Band::ColumnHeader || band == Band::Line || band == Band::Summary || band == Band::Slogans;
}

} // namespace

std::array<double, 6> Tform22::fittedRules(const OrderDocumentContent &content)
{
    // Widths of name, model, code, quantity, price and amount as designed.
    std::array<double, 6> widths{};
    double left = 0;
    for (size_t i = 0; i < widths.size(); ++i) {
        widths[i] = DesignRules[i] - left;
        left = DesignRules[i];
    }
    // The code and the figures get the room their longest text needs; the
    // name column pays for it, as a cut name still reads but a figure set
    // at five points does not. What the name cannot give is left to shrinking.
    const QFontMetricsF metrics = designMetrics(11);
    std::array<double, 6> wanted = widths;
    for (const OrderDocumentLine &line : content.lines) {
        const QString texts[] = {line.code, NumberFormat::general(line.quantity),
                                 NumberFormat::general(line.unitPrice), NumberFormat::general(line.amount)};
        for (size_t i = 0; i < 4; ++i)
            wanted[i + 2] = std::max(wanted[i + 2], metrics.horizontalAdvance(texts[i]) + 2 * Gap + 1);
    }
    double extra = 0;
    for (size_t i = 2; i < widths.size(); ++i)
        extra += wanted[i] - widths[i];
    const double spare = widths[0] - MinimumNameWidth;
    const double share = extra > spare ? spare / extra : 1.0;
    for (size_t i = 2; i < widths.size(); ++i) {
        const double more = (wanted[i] - widths[i]) * share;
        widths[i] += more;
        widths[0] -= more;
    }
    std::array<double, 6> rules{};
    left = 0;
    for (size_t i = 0; i < rules.size(); ++i) {
        left += widths[i];
        rules[i] = left;
    }
    return rules;
}

Tform22::Tform22(OrderDocumentContent content)
    : m_content(std::move(content)), m_rules(fittedRules(m_content))
{}

double Tform22::defaultPageHeight()
{
    return (297 - TopMarginMm - BottomMarginMm) / MmPerDesignPixel;
}

double Tform22::bandHeight(Band band)
{
    switch (band) {
    case Band::Title:
        return std::max(58.0, titleRuleY() + 4 + RowGap + lineHeight(10) + RowGap);
    case Band::Customer1:
    case Band::Customer2:
    case Band::Line:
        return std::max(25.0, lineHeight(11) + 2 * RowGap);
    case Band::ColumnHeader:
        return std::max(28.0, lineHeight(11, true) + 2 * RowGap);
    case Band::Summary:
        // "合 计" over "人民币" are set smaller when two lines would not fit.
        return std::max(36.0, lineHeight(11, true) + 2 * RowGap);
    case Band::Slogans:
        return std::max(46.0, 2 * lineHeight(10) + 4 * RowGap);
    case Band::Signatures:
        return std::max(40.0, lineHeight(11) + 4 * RowGap);
    }
    return 0;
}

double Tform22::titleRuleY()
{
    return 2 + lineHeight(16, true) + RowGap;
}

void Tform22::setFontFamily(const QString &family)
{
    preferredFamily() = family;
}

QList<Tform22::Page> Tform22::pages(double pageHeight) const
{
    QList<Page> result(1);
    double y = 0;
    auto place = [&](Band band, qsizetype line = -1) {
        const double height = bandHeight(band);
        // A page that holds more than its column header gives way to a new
        // one; a band taller than a page is printed anyway.
        if (y + height > pageHeight && result.last().size() > 1) {
            result.append(Page{});
            y = 0;
            result.last().append({Band::ColumnHeader, y, -1});
            y += bandHeight(Band::ColumnHeader);
        }
        result.last().append({band, y, line});
        y += height;
    };
    place(Band::Title);
    place(Band::Customer1);
    place(Band::Customer2);
    place(Band::ColumnHeader);
    for (qsizetype i = 0; i < m_content.lines.size(); ++i)
        place(Band::Line, i);
    place(Band::Summary);
    // Without a first slogan the band is left off, second slogan and all.
    if (!m_content.slogan1.isEmpty())
        place(Band::Slogans);
    place(Band::Signatures);
    return result;
}

void Tform22::setUpPrinter(QPrinter &printer)
{
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setPageMargins(QMarginsF(SideMarginMm, TopMarginMm, SideMarginMm, BottomMarginMm),
                           QPageLayout::Millimeter);
    printer.setDocName(QStringLiteral("销售单"));
}

QString Tform22::paint(QPrinter &printer) const
{
    QPainter painter;
    if (!painter.begin(&printer))
        return QStringLiteral("无法启动打印，请检查打印机是否就绪");
    const double dpi = printer.resolution();
    const double scale = dpi / 96.0;
    // Fonts are sized by the device's resolution, the painter by the scale.
    const double fontScale = 96.0 / painter.device()->logicalDpiY();
    const QRectF paintRect = printer.pageLayout().paintRectPixels(printer.resolution());
    const double width = paintRect.width() > 0 ? paintRect.width() / scale : DesignWidth;
    const double height = paintRect.height() > 0 ? paintRect.height() / scale : defaultPageHeight();
    const QList<Page> all = pages(height);
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (qsizetype i = 0; i < all.size(); ++i) {
        if (i > 0 && !printer.newPage())
            return QStringLiteral("打印失败，请检查打印机");
        painter.save();
        painter.scale(scale, scale);
        paintPage(painter, all.at(i), width, fontScale);
        painter.restore();
    }
    if (!painter.end())
        return QStringLiteral("打印失败，请检查打印机");
    return QString();
}

void Tform22::paintPage(QPainter &painter, const Page &page, double width, double fontScale) const
{
    for (qsizetype i = 0; i < page.size(); ++i) {
        const PlacedBand &placed = page.at(i);
        paintBand(painter, placed, width, fontScale);
        // The table is closed below its last framed band on the page: at a
        // page break, or where the slogan band is left off.
        const bool framed = framedAtTop(placed.band) && placed.band != Band::Slogans;
        const bool nextFramed = i + 1 < page.size() && framedAtTop(page.at(i + 1).band);
        if (framed && !nextFramed) {
            const double bottom = placed.top + bandHeight(placed.band);
            painter.drawLine(QLineF(0, bottom, width, bottom));
        }
    }
}

void Tform22::paintBand(QPainter &painter, const PlacedBand &placed, double width, double fontScale) const
{
    const OrderDocumentContent &c = m_content;
    painter.save();
    painter.translate(0, placed.top);
    painter.setPen(QPen(Qt::black, 1));
    const double height = bandHeight(placed.band);
    auto frame = [&](bool bottom) {
        painter.drawLine(QLineF(0, 0, width, 0));
        painter.drawLine(QLineF(0, 0, 0, height));
        painter.drawLine(QLineF(width, 0, width, height));
        if (bottom)
            painter.drawLine(QLineF(0, height, width, height));
    };
    auto columnRules = [&] {
        for (const double x : m_rules)
            painter.drawLine(QLineF(x, 0, x, height));
    };
    const QFont plain = documentFont(11, fontScale);

    // A text of the given font centred in the band's height.
    const auto middle = [height](double points, bool bold = false) {
        return (height - lineHeight(points, bold)) / 2;
    };

    switch (placed.band) {
    case Band::Title: {
        painter.setFont(documentFont(16, fontScale, true));
        text(painter, Align::Centre, 0, 2, width, c.header);
        const double rule = titleRuleY();
        painter.drawLine(QLineF(161, rule, 161 + 366, rule));
        painter.drawLine(QLineF(161, rule + 4, 161 + 366, rule + 4));
        painter.setFont(documentFont(10, fontScale));
        text(painter, Align::Centre, 0, rule + 4 + RowGap, width, c.contact);
        break;
    }
    case Band::Customer1:
        painter.setFont(plain);
        text(painter, Align::Left, 16, middle(11), 519 - 16 - 8, QStringLiteral("客户名称：") + c.customer);
        text(painter, Align::Left, 519, middle(11), width - 519, QStringLiteral("单 号：") + c.orderNumber);
        break;
    case Band::Customer2:
        painter.setFont(plain);
        text(painter, Align::Left, 16, middle(11), 334 - 16 - 8, QStringLiteral("客户地址：") + c.address);
        text(painter, Align::Left, 334, middle(11), 519 - 334 - 8,
             QStringLiteral("联系电话：") + c.customerContact);
        text(painter, Align::Left, 519, middle(11), width - 519,
             QStringLiteral("日 期：") + c.date.toString(QStringLiteral("yyyy-MM-dd")));
        break;
    case Band::ColumnHeader: {
        frame(false);
        columnRules();
        painter.setFont(documentFont(11, fontScale, true));
        const double y = middle(11, true);
        text(painter, Align::Centre, 0, y, m_rules[0], QStringLiteral("商品名称"));
        text(painter, Align::Centre, m_rules[0], y, m_rules[1] - m_rules[0], QStringLiteral("规格型号"));
        text(painter, Align::Centre, m_rules[1], y, m_rules[2] - m_rules[1], QStringLiteral("编 码"));
        text(painter, Align::Centre, m_rules[2], y, m_rules[3] - m_rules[2], QStringLiteral("数量"));
        text(painter, Align::Centre, m_rules[3], y, m_rules[4] - m_rules[3], QStringLiteral("单 价"));
        text(painter, Align::Centre, m_rules[4], y, m_rules[5] - m_rules[4], QStringLiteral("金 额"));
        text(painter, Align::Centre, m_rules[5], y, width - m_rules[5], QStringLiteral("备 注"));
        break;
    }
    case Band::Line: {
        frame(false);
        columnRules();
        const OrderDocumentLine &line = c.lines.at(placed.line);
        painter.setFont(plain);
        const double y = middle(11);
        const auto room = [this](int column) { return m_rules[column] - m_rules[column - 1] - 2 * Gap; };
        text(painter, Align::Left, Gap, y, m_rules[0] - 2 * Gap, line.name);
        text(painter, Align::Left, m_rules[0] + Gap, y, room(1), line.spec);
        text(painter, Align::Left, m_rules[1] + Gap, y, room(2), line.code, Fit::Shrink);
        text(painter, Align::Right, m_rules[3] - Gap, y, room(3), NumberFormat::general(line.quantity),
             Fit::Shrink);
        text(painter, Align::Right, m_rules[4] - Gap, y, room(4), NumberFormat::general(line.unitPrice),
             Fit::Shrink);
        text(painter, Align::Right, m_rules[5] - Gap, y, room(5), NumberFormat::general(line.amount),
             Fit::Shrink);
        text(painter, Align::Left, m_rules[5] + Gap, y, width - m_rules[5] - 2 * Gap, line.remark);
        break;
    }
    case Band::Summary: {
        frame(false);
        painter.drawLine(QLineF(m_rules[4], 0, m_rules[4], height));
        // Two label lines share the band's height.
        const double labelPoints = std::min(11.0, 11 * (height - 3 * RowGap) / (2 * lineHeight(11, true)));
        const QFont label = documentFont(labelPoints, fontScale, true);
        painter.setFont(label);
        const QFontMetricsF metrics(label, painter.device());
        const double labelWidth = metrics.horizontalAdvance(QStringLiteral("人民币"));
        text(painter, Align::Centre, Gap, RowGap, labelWidth + 2 * Gap, QStringLiteral("合 计"));
        text(painter, Align::Centre, Gap, height - RowGap - metrics.height(), labelWidth + 2 * Gap,
             QStringLiteral("人民币"));
        painter.setFont(documentFont(11, fontScale, true));
        const double capitalLeft = labelWidth + 4 * Gap;
        text(painter, Align::Left, capitalLeft, middle(11, true), m_rules[4] - capitalLeft - Gap,
             QStringLiteral("（大写） ") + c.capitalText, Fit::Shrink);
        painter.setFont(documentFont(11, fontScale, true, true));
        text(painter, Align::Left, m_rules[4] + 2 * Gap, middle(11, true), width - m_rules[4] - 4 * Gap,
             QStringLiteral("￥") + c.totalText, Fit::Shrink);
        break;
    }
    case Band::Slogans: {
        frame(true);
        painter.setFont(documentFont(10, fontScale));
        const double line10 = lineHeight(10);
        const double top = (height - 2 * line10 - Gap) / 2;
        text(painter, Align::Left, 12, top, width - 12 - 4, c.slogan1);
        text(painter, Align::Left, 12, top + line10 + Gap, width - 12 - 4, c.slogan2);
        break;
    }
    case Band::Signatures:
        painter.setFont(plain);
        text(painter, Align::Left, 24, middle(11), 0, QStringLiteral("收货人："));
        text(painter, Align::Left, 248, middle(11), 0, QStringLiteral("送货人："));
        text(painter, Align::Left, 494, middle(11), width - 494, QStringLiteral("制单人：") + c.preparedBy);
        break;
    }
    painter.restore();
}

QString Tform22::printToPdf(const QString &filePath) const
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(filePath);
    setUpPrinter(printer);
    return paint(printer);
}

bool Tform22::preview(QWidget *parent, const Database &db, const QString &orderNumber,
                      const QString &userName, const ReceiptTexts &texts)
{
    if (orderNumber.trimmed().isEmpty()) {
        Prompter::information(parent, QStringLiteral("点选要打印的某行记录"));
        return false;
    }
    OrderDocumentContent content;
    try {
        content = OrderDocumentContent::load(db, orderNumber, userName, texts, Clock::current().today());
    } catch (const DatabaseError &error) {
        Prompter::error(parent, error.message());
        return false;
    }
    // A total that cannot be written in capitals (a negative one after
    // returns) is reported; the document still shows, without capital text.
    for (const QString &message : CapitalAmountChecked(content.totalText).messages())
        Prompter::information(parent, message);

    const Tform22 document(std::move(content));
    if (!redirect().isEmpty()) {
        const QString failure = document.printToPdf(redirect());
        if (!failure.isEmpty())
            Prompter::warning(parent, failure);
        return failure.isEmpty();
    }
    QPrinter printer(QPrinter::HighResolution);
    setUpPrinter(printer);
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setWindowTitle(QStringLiteral("销售单预览"));
    dialog.resize(900, 1000);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&document, &dialog](QPrinter *target) {
                         const QString failure = document.paint(*target);
                         if (!failure.isEmpty())
                             Prompter::warning(&dialog, failure);
                     });
    dialog.exec();
    return true;
}

void Tform22::setPdfRedirect(const QString &filePath)
{
    redirect() = filePath;
}

QString Tform22::pdfRedirect()
{
    return redirect();
}
