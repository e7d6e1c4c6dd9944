#include "FieldLimits.h"

namespace {

struct ColumnLimit
{
    char16_t column;
    int length;
};

// Name, spec, code and category are indexed together: 100 + 100 + 60 + 40
// units are at most 900 bytes of UTF-8. e and f hold the initials of a and b,
// one per character, so they never outgrow them.
constexpr ColumnLimit limits[] = {
    {u'a', 100}, // name
    {u'b', 100}, // spec
    {u'c', 60},  // code, barcode
    {u'd', 40},  // category
    {u'e', 100}, // initials of a
    {u'f', 100}, // initials of b
    {u'g', 100}, // supplier (data), customer (data1)
    {u'h', 200}, // address
    {u'i', 100}, // contact
    {u'j', 200}, // customer remark
    {u'z', 200}, // remark (data), order number (data1)
};

constexpr int defaultLength = 200;

} // namespace

int FieldLimits::maxLength(QStringView column)
{
    if (column.size() == 1) {
        const char16_t letter = column.front().toLower().unicode();
        for (const ColumnLimit &limit : limits) {
            if (limit.column == letter)
                return limit.length;
        }
    }
    return defaultLength;
}

QString FieldLimits::problem(QStringView column, const QString &text, const QString &caption)
{
    const int limit = maxLength(column);
    if (text.size() > limit)
        return QStringLiteral("%1最多%2个字符，现在是%3个，请缩短后再保存。")
            .arg(caption)
            .arg(limit)
            .arg(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        if (ch.category() == QChar::Other_Control)
            return QStringLiteral("%1含有不可见的控制字符，请删除后再保存。").arg(caption);
        // A surrogate must pair up; a lone one cannot be stored as UTF-8.
        if (ch.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            ++i;
            continue;
        }
        if (ch.isSurrogate())
            return QStringLiteral("%1含有无法保存的字符，请删除后再保存。").arg(caption);
    }
    return {};
}
