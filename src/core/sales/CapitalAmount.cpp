#include "CapitalAmount.h"

#include <array>

namespace {

// The most fen digits the unit table reaches: 9999 亿亿亿 and below.
constexpr qsizetype MaxFenDigits = 30;

QString unitOf(qsizetype position)
{
    // Indexed by the digit's position counted from the fen (1).
    static const std::array<const char16_t *, MaxFenDigits + 1> units = {
        u"",   u"分",     u"角", u"",   u"拾",   u"佰",     u"仟", u"万", u"拾",   u"佰", u"仟",
        u"亿", u"拾",     u"佰", u"仟", u"万亿", u"拾",     u"佰", u"仟", u"亿亿", u"拾", u"佰",
        u"仟", u"万亿亿", u"拾", u"佰", u"仟",   u"亿亿亿", u"拾", u"佰", u"仟"};
    return QString::fromUtf16(units.at(std::size_t(position)));
}

QChar digitWord(QChar digit)
{
    static const char16_t words[] = u"零壹贰叁肆伍陆柒捌玖";
    return QChar(words[digit.unicode() - u'0']);
}

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// Positions 7, 11, 15 ... start a section of four digits (万, 亿, 万亿 ...).
bool isSectionPosition(qsizetype position)
{
    return position > 4 && (position + 1) % 4 == 0;
}

} // namespace

QStringList CapitalAmountResult::messages() const
{
    switch (status) {
    case Status::Converted:
        break;
    case Status::BadCharacter:
        return {QString::number(quint32(badCharacter)), QStringLiteral("读取错误，应为数字")};
    case Status::TooLarge:
        return {QStringLiteral("金额过大，无法写成大写金额")};
    }
    return {};
}

CapitalAmountResult CapitalAmountChecked(const QString &amount)
{
    CapitalAmountResult result;

    // Validation first: the first character that is neither a digit nor the
    // one decimal point is reported, whole code points (not UTF-16 halves).
    qsizetype point = -1;
    for (qsizetype i = 0; i < amount.size(); ++i) {
        const QChar c = amount.at(i);
        if (isAsciiDigit(c))
            continue;
        if (c == u'.' && point < 0) {
            point = i;
            continue;
        }
        result.status = CapitalAmountResult::Status::BadCharacter;
        if (c.isHighSurrogate() && i + 1 < amount.size() && amount.at(i + 1).isLowSurrogate())
            result.badCharacter = QChar::surrogateToUcs4(c, amount.at(i + 1));
        else
            result.badCharacter = c.unicode();
        return result;
    }

    // The amount in fen as decimal digits: the yuan digits, then exactly two
    // decimals, leading zeros removed.
    const QString yuan = point < 0 ? amount : amount.left(point);
    const QString decimals = point < 0 ? QString() : amount.mid(point + 1);
    QString fen = yuan + decimals.left(2).leftJustified(2, u'0');
    qsizetype firstSignificant = 0;
    while (firstSignificant < fen.size() - 1 && fen.at(firstSignificant) == u'0')
        ++firstSignificant;
    fen.remove(0, firstSignificant);
    if (fen.size() > MaxFenDigits) {
        result.status = CapitalAmountResult::Status::TooLarge;
        return result;
    }
    if (fen == QLatin1String("0"))
        return result;

    QString text;
    bool zeroPending = false;
    bool sectionOpen = true;
    for (qsizetype i = 0; i < fen.size(); ++i) {
        const QChar digit = fen.at(i);
        const qsizetype position = fen.size() - i;
        if (digit != u'0') {
            if (zeroPending)
                text += u'零';
            text += digitWord(digit);
            text += unitOf(position);
            zeroPending = false;
            sectionOpen = !isSectionPosition(position);
        } else {
            zeroPending = true;
            // A section whose own digit is zero still names its unit once
            // (壹佰万零壹佰元), unless a higher section already closed it.
            if (isSectionPosition(position) && sectionOpen) {
                text += unitOf(position);
                zeroPending = false;
                sectionOpen = false;
            }
        }
        if (position == 3) {
            text += u'元';
            zeroPending = false;
        }
    }
    if (fen.endsWith(QLatin1String("00")))
        text += u'整';
    result.text = text;
    return result;
}

QString CapitalAmount(const QString &amount)
{
    return CapitalAmountChecked(amount).text;
}
