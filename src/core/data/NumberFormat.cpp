#include "NumberFormat.h"

#include <QDate>

#include <algorithm>
#include <cmath>
#include <limits>

namespace NumberFormat {

namespace {

struct Pattern
{
    int minDecimals = 0;
    int maxDecimals = 0;
};

Pattern parsePattern(const QString &pattern)
{
    Pattern p;
    const qsizetype point = pattern.indexOf(u'.');
    if (point < 0)
        return p;
    for (qsizetype i = point + 1; i < pattern.size(); ++i) {
        if (pattern.at(i) == u'0') {
            ++p.minDecimals;
            ++p.maxDecimals;
        } else if (pattern.at(i) == u'#') {
            ++p.maxDecimals;
        } else {
            break;
        }
    }
    return p;
}

// The value's magnitude at 15 significant digits as integer and fraction
// digit strings ("123", "45" for 123.45).
void decimalDigits(double magnitude, QString &integerPart, QString &fraction)
{
    // "d.ddddddddddddddde+XX": 15 significant digits.
    const QString e = QString::number(magnitude, 'e', 14);
    const qsizetype ePos = e.indexOf(u'e');
    QString digits = e.left(ePos);
    digits.remove(u'.');
    const int exponent = e.mid(ePos + 1).toInt();
    if (exponent >= 0) {
        const int integerDigits = exponent + 1;
        if (digits.size() <= integerDigits) {
            integerPart = digits + QString(integerDigits - digits.size(), u'0');
            fraction.clear();
        } else {
            integerPart = digits.left(integerDigits);
            fraction = digits.mid(integerDigits);
        }
    } else {
        integerPart = QStringLiteral("0");
        fraction = QString(-exponent - 1, u'0') + digits;
    }
}

// Adds one to the last digit of a digit string; returns true on a carry out.
bool incrementDigits(QString &digits)
{
    for (qsizetype i = digits.size() - 1; i >= 0; --i) {
        if (digits[i] == u'9') {
            digits[i] = u'0';
        } else {
            digits[i] = QChar(digits[i].unicode() + 1);
            return false;
        }
    }
    return true;
}

} // namespace

QString format(double value, const QString &pattern)
{
    if (!std::isfinite(value))
        return QString();
    if (pattern.isEmpty())
        return general(value);
    const Pattern p = parsePattern(pattern);
    QString integerPart;
    QString fraction;
    if (value == 0.0) {
        integerPart = QStringLiteral("0");
    } else {
        decimalDigits(std::fabs(value), integerPart, fraction);
    }
    if (fraction.size() > p.maxDecimals) {
        const bool roundUp = fraction.at(p.maxDecimals) >= u'5';
        fraction.truncate(p.maxDecimals);
        // An empty fraction "carries" at once into the integer part.
        if (roundUp && incrementDigits(fraction) && incrementDigits(integerPart))
            integerPart.prepend(u'1');
    }
    while (fraction.size() > p.minDecimals && fraction.endsWith(u'0'))
        fraction.chop(1);
    while (fraction.size() < p.minDecimals)
        fraction += u'0';
    // "007" cannot arise, but "0" must stay.
    while (integerPart.size() > 1 && integerPart.startsWith(u'0'))
        integerPart.remove(0, 1);
    QString text = fraction.isEmpty() ? integerPart : integerPart + u'.' + fraction;
    const bool isZero =
        !std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c != u'0' && c != u'.'; });
    if (value < 0 && !isZero)
        text.prepend(u'-');
    return text;
}

QString general(double value)
{
    if (!std::isfinite(value))
        return QString();
    if (value == 0.0)
        return QStringLiteral("0");
    QString text = QString::number(value, 'g', 15);
    const qsizetype ePos = text.indexOf(u'e');
    if (ePos < 0)
        return text;
    // "1.5e+20" -> "1.5E20", "1e-05" -> "1E-5".
    const QString mantissa = text.left(ePos);
    const int exponent = text.mid(ePos + 1).toInt();
    return mantissa + u'E' + QString::number(exponent);
}

QString formatValue(const QVariant &value, const QString &pattern)
{
    if (!value.isValid() || value.isNull())
        return QString();
    switch (value.metaType().id()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return format(value.toDouble(), pattern);
    default:
        break;
    }
    if (value.metaType() == QMetaType::fromType<QDate>())
        return value.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    return value.toString();
}

double roundHalfEven(double value)
{
    // The default floating-point rounding mode is to nearest, ties to even.
    return std::nearbyint(value);
}

int alarmQuantity(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return 0;
    bool ok = false;
    const qlonglong n = t.toLongLong(&ok);
    if (ok) {
        if (n > std::numeric_limits<int>::max())
            return std::numeric_limits<int>::max();
        if (n < std::numeric_limits<int>::min())
            return std::numeric_limits<int>::min();
        return static_cast<int>(n);
    }
    const bool negative = t.startsWith(u'-');
    const QString digits = negative ? t.mid(1) : t;
    const bool allDigits =
        !digits.isEmpty() && std::all_of(digits.cbegin(), digits.cend(), [](QChar c) { return c.isDigit(); });
    if (!allDigits)
        return 0;
    return negative ? std::numeric_limits<int>::min() : std::numeric_limits<int>::max();
}

bool isAtOrBelowAlarm(const QVariant &quantity, int alarm)
{
    const double q = quantity.isNull() ? 0.0 : quantity.toDouble();
    return roundHalfEven(q) <= static_cast<double>(alarm);
}

} // namespace NumberFormat
