#pragma once

#include "Ticket.h"

#include <QDateTime>
#include <QList>
#include <QString>

// What one POS receipt says: the shop's texts, the order and its lines, the
// money handed over.
struct ReceiptData
{
    QString title;   // receipt title ("pos1")
    QString slogan1; // "pos2"
    QString slogan2; // "pos3"
    QString closing; // "pos4"
    QString orderNumber;
    QString cashier;
    QDateTime printedAt;
    QList<TicketLine> lines;
    QString totalText; // the total box as shown
    double cash = 0;
    double change = 0;
};

// One printed line of the receipt.
struct ReceiptLine
{
    enum class Font { Title, Body }; // 10 pt bold / 8 pt regular
    int y = 0;                       // in receipt printer dots (see ReceiptLayout::DotsPerInch)
    Font font = Font::Body;
    QString text;
};

// The POS receipt as lines of text for an 80 mm receipt printer with a
// fixed-pitch font, where a Chinese character is two columns wide: the
// columns line up by counting GBK bytes.
class ReceiptLayout
{
public:
    // The receipt's line positions are dots of a common 203 dpi (8 dots per
    // mm) receipt printer; other devices scale them.
    static constexpr int DotsPerInch = 203;
    static constexpr int PaperWidthMm = 80;
    static constexpr int PaperLengthMm = 250;
    // Bytes of the name column before the quantity.
    static constexpr int NameWidth = 18;

    static QList<ReceiptLine> lines(const ReceiptData &data);
    // The paper the lines need: 250 mm, longer for a ticket whose lines would
    // run past its end.
    static int paperLengthMm(const QList<ReceiptLine> &lines);

    // The rule between the blocks: 31 "-".
    static QString rule();
    // The column titles above the lines.
    static QString columnTitles();
    // One ticket line: name field, quantity, amount.
    static QString lineText(const TicketLine &line);
    // The name padded with blanks to 18 bytes, or, when longer than 17 bytes,
    // cut to 18 bytes and followed by one blank. A cut that would split a
    // two-byte character is made one byte earlier.
    static QString nameField(const QString &name);
    // "%f" as the receipt prints money: two decimals, "100.00".
    static QString money(double value);

    // Bytes of the text in GBK: a Chinese character counts two, ASCII one.
    // A character GBK cannot hold counts as the one "?" it would print as.
    static int gbkWidth(const QString &text);
};
