#pragma once

#include "sales/ReceiptLayout.h"

#include <QFont>
#include <QList>
#include <QString>

class QPrinter;

// Prints the POS receipt line by line on the default printer (or into a PDF
// file) on 80 mm receipt paper.
class ReceiptPrinter
{
public:
    // Sets the printer's paper to 80 mm wide and the given length. False when
    // the printer does not take a paper of its own size; it then prints with
    // its own settings.
    static bool SetReceiptPaperLength(QPrinter &printer, int millimetres);

    // Prints on the default printer. An empty text when the receipt went to
    // the printer, otherwise the reason for the operator.
    static QString print(const QList<ReceiptLine> &lines);
    // Prints into a PDF file of the receipt paper's size.
    static QString printToPdf(const QList<ReceiptLine> &lines, const QString &filePath);

    // While a path is set, print() writes that PDF file instead of using the
    // default printer (tests; shops without a receipt printer).
    static void setPdfRedirect(const QString &filePath);
    static QString pdfRedirect();

    // 宋体 as the shop's printers know it, or a fixed-pitch CJK font in which
    // a Chinese character is two columns wide, as the receipt's blanks expect.
    static QFont font(ReceiptLine::Font kind);

private:
    static QString printOn(QPrinter &printer, const QList<ReceiptLine> &lines);
};
