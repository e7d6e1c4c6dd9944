#include "ReceiptPrinter.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

namespace {
QString &redirect()
{
    static QString path;
    return path;
}
} // namespace

bool ReceiptPrinter::SetReceiptPaperLength(QPrinter &printer, int millimetres)
{
    const QPageSize paper(QSizeF(ReceiptLayout::PaperWidthMm, millimetres), QPageSize::Millimeter,
                          QStringLiteral("POS %1x%2").arg(ReceiptLayout::PaperWidthMm).arg(millimetres),
                          QPageSize::ExactMatch);
    if (!printer.setPageSize(paper))
        return false;
    printer.setPageOrientation(QPageLayout::Portrait);
    // The receipt's lines start at the left edge of what the printer can
    // reach; the printer keeps its own unprintable border.
    printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    return true;
}

QFont ReceiptPrinter::font(ReceiptLine::Font kind)
{
    QFont font;
    font.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("NSimSun"),
                      QStringLiteral("Noto Sans Mono CJK SC"), QStringLiteral("Noto Serif CJK SC"),
                      QStringLiteral("Noto Sans CJK SC")});
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPointSize(kind == ReceiptLine::Font::Title ? 10 : 8);
    font.setBold(kind == ReceiptLine::Font::Title);
    return font;
}

QString ReceiptPrinter::printOn(QPrinter &printer, const QList<ReceiptLine> &lines)
{
    QPainter painter;
    if (!painter.begin(&printer))
        return QStringLiteral("无法启动打印，请检查打印机是否就绪");
    // The layout counts in dots of a 203 dpi receipt printer.
    const double scale = double(printer.resolution()) / ReceiptLayout::DotsPerInch;
    for (const ReceiptLine &line : lines) {
        painter.setFont(font(line.font));
        // A line's position is its top, as on the receipt printer.
        const double baseline = line.y * scale + painter.fontMetrics().ascent();
        painter.drawText(QPointF(0, baseline), line.text);
    }
    if (!painter.end())
        return QStringLiteral("打印失败，请检查打印机");
    return QString();
}

QString ReceiptPrinter::print(const QList<ReceiptLine> &lines)
{
    if (!redirect().isEmpty())
        return printToPdf(lines, redirect());
    if (QPrinterInfo::defaultPrinter().isNull())
        return QStringLiteral("没有可用的打印机，请先安装并设置默认打印机");
    QPrinter printer(QPrinterInfo::defaultPrinter(), QPrinter::HighResolution);
    SetReceiptPaperLength(printer, ReceiptLayout::paperLengthMm(lines));
    printer.setDocName(QStringLiteral("POS小票"));
    return printOn(printer, lines);
}

QString ReceiptPrinter::printToPdf(const QList<ReceiptLine> &lines, const QString &filePath)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(filePath);
    SetReceiptPaperLength(printer, ReceiptLayout::paperLengthMm(lines));
    printer.setDocName(QStringLiteral("POS小票"));
    return printOn(printer, lines);
}

void ReceiptPrinter::setPdfRedirect(const QString &filePath)
{
    redirect() = filePath;
}

QString ReceiptPrinter::pdfRedirect()
{
    return redirect();
}
