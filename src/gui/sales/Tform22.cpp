#include "Tform22.h"

#include "common/Prompter.h"
#include "data/Clock.h"
#include "data/NumberFormat.h"
#include "data/QueryHelpers.h"
#include "sales/CapitalAmount.h"

#include <QFontMetricsF>
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

// The column rules of the header and the line rows.
constexpr double ColumnRules[] = {130, 281, 378, 434, 498, 562};

QString &redirect()
{
    static QString path;
    return path;
}

QFont documentFont(double points, double fontScale, bool bold = false, bool underline = false)
{
    QFont font;
    font.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("Noto Serif CJK SC"),
                      QStringLiteral("Noto Sans CJK SC")});
    font.setStyleHint(QFont::Serif);
    // The painter counts in design pixels; the font's points are scaled so
    // that they come out at their printed size.
    font.setPointSizeF(points * fontScale);
    font.setBold(bold);
    font.setUnderline(underline);
    return font;
}

enum class Align { Left, Right, Centre };

// A text whose top edge is at y. Left: from x over width; Right: ending at x;
// Centre: centred on x .. x + width. A text wider than its room is cut short
// with "…" so it never runs into the next column.
void text(QPainter &painter, Align align, double x, double y, double width, const QString &value)
{
    const QFontMetricsF metrics(painter.font(), painter.device());
    const double height = metrics.height();
    QString shown = value;
    if (align != Align::Centre && width > 0)
        shown = metrics.elidedText(value, Qt::ElideRight, width);
    switch (align) {
    case Align::Left:
        painter.drawText(QRectF(x, y, width > 0 ? width : 10000, height),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, shown);
        break;
    case Align::Right:
        painter.drawText(QRectF(x - width, y, width, height),
                         Qt::AlignRight | Qt::AlignTop | Qt::TextSingleLine, shown);
        break;
    case Align::Centre:
        painter.drawText(QRectF(x, y, width, height),
                         Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip, shown);
        break;
    }
}

bool framedAtTop(Tform22::Band band)
{
    using Band = Tform22::Band;
    return band == Band::ColumnHeader || band == Band::Line || band == Band::Summary || band == Band::Slogans;
}

} // namespace

Tform22::Tform22(OrderDocumentContent content) : m_content(std::move(content)) {}

double Tform22::defaultPageHeight()
{
    return (297 - TopMarginMm - BottomMarginMm) / MmPerDesignPixel;
}

double Tform22::bandHeight(Band band)
{
    switch (band) {
    case Band::Title:
        return 58;
    case Band::Customer1:
    case Band::Customer2:
    case Band::Line:
        return 25;
    case Band::ColumnHeader:
        return 28;
    case Band::Summary:
        return 36;
    case Band::Slogans:
        return 46;
    case Band::Signatures:
        return 40;
    }
    return 0;
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
        for (const double x : ColumnRules)
            painter.drawLine(QLineF(x, 0, x, height));
    };
    const QFont plain = documentFont(11, fontScale);

    switch (placed.band) {
    case Band::Title:
        painter.setFont(documentFont(16, fontScale, true));
        text(painter, Align::Centre, 256, 2, 433 - 256, c.header);
        painter.drawLine(QLineF(161, 24, 161 + 366, 24));
        painter.drawLine(QLineF(161, 28, 161 + 366, 28));
        painter.setFont(documentFont(10, fontScale));
        text(painter, Align::Centre, 169, 34, 519 - 169, c.contact);
        break;
    case Band::Customer1:
        painter.setFont(plain);
        text(painter, Align::Left, 16, 4, 519 - 16 - 8, QStringLiteral("客户名称：") + c.customer);
        text(painter, Align::Left, 519, 4, width - 519, QStringLiteral("单 号：") + c.orderNumber);
        break;
    case Band::Customer2:
        painter.setFont(plain);
        text(painter, Align::Left, 16, 4, 334 - 16 - 8, QStringLiteral("客户地址：") + c.address);
        text(painter, Align::Left, 334, 4, 519 - 334 - 8, QStringLiteral("联系电话：") + c.customerContact);
        text(painter, Align::Left, 519, 4, width - 519,
             QStringLiteral("日 期：") + c.date.toString(QStringLiteral("yyyy-MM-dd")));
        break;
    case Band::ColumnHeader:
        frame(false);
        columnRules();
        painter.setFont(documentFont(11, fontScale, true));
        text(painter, Align::Left, 32, 6, 0, QStringLiteral("商品名称"));
        text(painter, Align::Left, 178, 6, 0, QStringLiteral("规格型号"));
        text(painter, Align::Left, 317, 6, 0, QStringLiteral("编 码"));
        text(painter, Align::Left, 395, 6, 0, QStringLiteral("数量"));
        text(painter, Align::Left, 451, 6, 0, QStringLiteral("单 价"));
        text(painter, Align::Left, 516, 6, 0, QStringLiteral("金 额"));
        text(painter, Align::Left, 600, 6, 0, QStringLiteral("备 注"));
        break;
    case Band::Line: {
        frame(false);
        columnRules();
        const OrderDocumentLine &line = c.lines.at(placed.line);
        painter.setFont(plain);
        text(painter, Align::Left, 8, 5, 124 - 4, line.name);
        text(painter, Align::Left, 139, 5, 281 - 139 - 4, line.spec);
        text(painter, Align::Left, 292, 5, 378 - 292 - 4, line.code);
        text(painter, Align::Right, 430, 5, 430 - 378 - 4, NumberFormat::general(line.quantity));
        text(painter, Align::Right, 491, 5, 491 - 434 - 4, NumberFormat::general(line.unitPrice));
        text(painter, Align::Right, 558, 5, 558 - 498 - 4, NumberFormat::general(line.amount));
        text(painter, Align::Left, 570, 5, width - 570 - 4, line.remark);
        break;
    }
    case Band::Summary:
        frame(false);
        painter.drawLine(QLineF(498, 0, 498, height));
        painter.setFont(documentFont(11, fontScale, true));
        text(painter, Align::Left, 17, 2, 0, QStringLiteral("合 计"));
        text(painter, Align::Left, 13, 18, 0, QStringLiteral("人民币"));
        text(painter, Align::Left, 55, 9, 498 - 55 - 4, QStringLiteral("（大写） ") + c.capitalText);
        painter.setFont(documentFont(11, fontScale, true, true));
        text(painter, Align::Left, 515, 12, width - 515 - 4, QStringLiteral("￥") + c.totalText);
        break;
    case Band::Slogans:
        frame(true);
        painter.setFont(documentFont(10, fontScale));
        text(painter, Align::Left, 12, 5, width - 12 - 4, c.slogan1);
        text(painter, Align::Left, 12, 24, width - 12 - 4, c.slogan2);
        break;
    case Band::Signatures:
        painter.setFont(plain);
        text(painter, Align::Left, 24, 8, 0, QStringLiteral("收货人："));
        text(painter, Align::Left, 248, 8, 0, QStringLiteral("送货人："));
        text(painter, Align::Left, 494, 8, width - 494, QStringLiteral("制单人：") + c.preparedBy);
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
