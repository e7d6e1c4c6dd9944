#include "ReceiptLayout.h"

#include "data/NumberFormat.h"

#include <QStringEncoder>

#include <algorithm>
#include <cmath>

namespace {

// GBK bytes of one character (a surrogate pair counts as one character).
int characterWidth(QStringView character)
{
    // GBK is a double-byte code: ASCII takes one byte, every other character
    // it holds two. Characters outside it become one "?".
    if (character.size() == 1 && character.front().unicode() < 0x80)
        return 1;
    QStringEncoder encoder("GBK", QStringConverter::Flag::Stateless);
    if (!encoder.isValid())
        return 2;
    const QByteArray bytes = encoder.encode(character);
    if (encoder.hasError() || bytes.isEmpty())
        return 1;
    return int(bytes.size());
}

// Splits the text into characters, keeping surrogate pairs together.
QList<QStringView> characters(const QString &text)
{
    QList<QStringView> result;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype length =
            (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) ? 2 : 1;
        result.append(QStringView(text).mid(i, length));
        i += length;
    }
    return result;
}

} // namespace

int ReceiptLayout::gbkWidth(const QString &text)
{
    int width = 0;
    for (QStringView character : characters(text))
        width += characterWidth(character);
    return width;
}

QString ReceiptLayout::rule()
{
    return QString(31, u'-');
}

QString ReceiptLayout::columnTitles()
{
    return QStringLiteral("商品名称         数量     金额 ");
}

QString ReceiptLayout::nameField(const QString &name)
{
    const int width = gbkWidth(name);
    if (width <= NameWidth - 1)
        return name + QString(NameWidth - width, u' ');
    // Keep whole characters up to 18 bytes: when the 18th byte would be the
    // first half of a Chinese character, that character goes and the cut
    // falls one byte earlier.
    QString kept;
    int keptWidth = 0;
    for (QStringView character : characters(name)) {
        const int w = characterWidth(character);
        if (keptWidth + w > NameWidth)
            break;
        kept += character;
        keptWidth += w;
    }
    return kept + u' ';
}

QString ReceiptLayout::lineText(const TicketLine &line)
{
    return nameField(line.name) + u' ' + NumberFormat::general(line.quantity) + QStringLiteral("      ") +
           NumberFormat::general(line.amount);
}

QString ReceiptLayout::money(double value)
{
    return NumberFormat::format(value, QStringLiteral("0.00"));
}

QList<ReceiptLine> ReceiptLayout::lines(const ReceiptData &data)
{
    using Font = ReceiptLine::Font;
    QList<ReceiptLine> result;
    result.append({0, Font::Title, QStringLiteral("   ") + data.title});
    result.append({40, Font::Body, rule()});
    result.append({60, Font::Body, QStringLiteral("销售单号：") + data.orderNumber});
    result.append({90, Font::Body, QStringLiteral("收银员：") + data.cashier});
    result.append({120, Font::Body,
                   QStringLiteral("打印时间：") +
                       data.printedAt.date().toString(QStringLiteral("yyyy-MM-dd")) + u' ' +
                       data.printedAt.time().toString(QStringLiteral("HH:mm:ss")) + u' '});
    result.append({150, Font::Body, rule()});
    result.append({180, Font::Body, columnTitles()});
    int y = 210;
    for (const TicketLine &line : data.lines) {
        result.append({y, Font::Body, lineText(line)});
        y += 30;
    }
    result.append({y, Font::Body, rule()});
    result.append({y + 30, Font::Body, QStringLiteral("合计:") + data.totalText + QStringLiteral("元  ")});
    result.append({y + 60, Font::Body,
                   QStringLiteral("现金:") + money(data.cash) + QStringLiteral("元  找零:") +
                       money(data.change) + u'元'});
    result.append({y + 90, Font::Body, rule()});
    result.append({y + 120, Font::Body, data.slogan1});
    result.append({y + 150, Font::Body, data.slogan2});
    result.append({y + 180, Font::Body, rule()});
    result.append({y + 210, Font::Body, QStringLiteral("      ") + data.closing});
    result.append({y + 240, Font::Body, rule()});
    return result;
}

int ReceiptLayout::paperLengthMm(const QList<ReceiptLine> &lines)
{
    int lastY = 0;
    for (const ReceiptLine &line : lines)
        lastY = std::max(lastY, line.y);
    // The last line's own height below its top, then dots to millimetres.
    const int neededMm = int(std::ceil((lastY + 30) * 25.4 / DotsPerInch));
    return std::max(PaperLengthMm, neededMm);
}
