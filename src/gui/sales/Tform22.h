#pragma once

#include "maintenance/ReceiptTexts.h"
#include "sales/OrderDocumentContent.h"

#include <QFont>
#include <QList>
#include <QString>

#include <array>

class Database;
class QPainter;
class QPrinter;
class QWidget;

// The printed order document of one order number: A4 portrait, laid out in
// bands (title, customer lines, column header, one row per line, summary,
// slogans, signatures) whose positions are design pixels at 96 per inch.
class Tform22
{
public:
    enum class Band { Title, Customer1, Customer2, ColumnHeader, Line, Summary, Slogans, Signatures };

    // One band where it lands on a page: its top in design pixels and, for a
    // line row, which line.
    struct PlacedBand
    {
        Band band;
        double top = 0;
        qsizetype line = -1;
    };
    using Page = QList<PlacedBand>;

    // A4 less 10 mm at the top and bottom, in design pixels.
    static double defaultPageHeight();
    // A band's height, from the metrics of the font that prints it.
    static double bandHeight(Band band);
    // Where the title's double rule starts, clear of the title text.
    static double titleRuleY();
    // The face tried first for the document (tests print with several).
    static void setFontFamily(const QString &family);

    explicit Tform22(OrderDocumentContent content);

    const OrderDocumentContent &content() const { return m_content; }
    // The right edges of the name, model, code, quantity, price and amount
    // columns: as designed, with the code and figure columns widened to
    // their longest text at the expense of the name column.
    static std::array<double, 6> fittedRules(const OrderDocumentContent &content);

    // The bands page by page for a printable height in design pixels. The
    // column header opens every page; a band that does not fit goes to the
    // next page whole.
    QList<Page> pages(double pageHeight = defaultPageHeight()) const;

    // A4 portrait with the document's margins (15 mm left and right, 10 mm
    // top and bottom).
    static void setUpPrinter(QPrinter &printer);
    // Draws every page on a printer already set up. An empty text when it
    // worked, otherwise the reason for the operator.
    QString paint(QPrinter &printer) const;
    QString printToPdf(const QString &filePath) const;

    // The order document as the operator asks for it: reads the order (the
    // lines whose order number equals the trimmed text), tells why a total
    // has no capital text, and shows the print preview. An empty order
    // number is refused with "点选要打印的某行记录". False when nothing was
    // shown.
    static bool preview(QWidget *parent, const Database &db, const QString &orderNumber,
                        const QString &userName, const ReceiptTexts &texts);

    // While a path is set, preview() writes that PDF file instead of opening
    // the preview window (tests).
    static void setPdfRedirect(const QString &filePath);
    static QString pdfRedirect();

private:
    void paintPage(QPainter &painter, const Page &page, double width, double fontScale) const;
    void paintBand(QPainter &painter, const PlacedBand &placed, double width, double fontScale) const;

    OrderDocumentContent m_content;
    std::array<double, 6> m_rules;
};
