#include "PinyinInitials.h"

#include "RareInitialTable.h"

#include <QStringEncoder>
#include <QVarLengthArray>
#include <QtGlobal>

#include <algorithm>
#include <array>
#include <string_view>

namespace {

constexpr std::array<bool, 256> kKeptBytes = [] {
    std::array<bool, 256> kept{};
    constexpr std::string_view keptCharacters = "0123456789abcdefghijklmnopqrstuvwxyz"
                                                "ABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                                "!.#$%()*+-,/[\\|^~`@{}_";
    for (const char c : keptCharacters)
        kept[static_cast<quint8>(c)] = true;
    return kept;
}();

struct Gb2312Range
{
    quint16 last;
    char letter;
};

// Level 1 of GB2312 is ordered by pinyin, so each initial owns one contiguous
// block of codes; the blocks follow each other without gaps from B0A1.
constexpr quint16 kLevel1First = 0xB0A1;
constexpr Gb2312Range kLevel1Ranges[] = {
    {0xB0C4, 'a'}, {0xB2C0, 'b'}, {0xB4ED, 'c'}, {0xB6E9, 'd'}, {0xB7A1, 'e'}, {0xB8C0, 'f'},
    {0xB9FD, 'g'}, {0xBBF6, 'h'}, {0xBFA5, 'j'}, {0xC0AB, 'k'}, {0xC2E7, 'l'}, {0xC4C2, 'm'},
    {0xC5B5, 'n'}, {0xC5BD, 'o'}, {0xC6D9, 'p'}, {0xC8BA, 'q'}, {0xC8F5, 'r'}, {0xCBF9, 's'},
    {0xCDD9, 't'}, {0xCEF3, 'w'}, {0xD1B8, 'x'}, {0xD4D0, 'y'}, {0xD7F9, 'z'},
};

char initialOfCode(quint8 first, quint8 second)
{
    if (const std::optional<char> letter = GB2312Initial(first, second))
        return *letter;
    return RareInitialTable::initialOf(static_cast<quint16>(first * 256 + second));
}

// Writes the initials of `in` to `out`, which has room for in.size() characters
// (the result is never longer than the input), and returns the end.
template <typename Char> Char *convert(QByteArrayView in, Char *out)
{
    const auto *bytes = reinterpret_cast<const quint8 *>(in.data());
    const qsizetype size = in.size();
    qsizetype i = 0;
    while (i < size) {
        const quint8 first = bytes[i];
        if (kKeptBytes[first]) {
            *out++ = static_cast<Char>(first);
            ++i;
            continue;
        }
        const quint8 second = i + 1 < size ? bytes[i + 1] : 0;
        *out++ = static_cast<Char>(initialOfCode(first, second));
        i += 2;
    }
    return out;
}

} // namespace

std::optional<char> GB2312Initial(quint8 first, quint8 second)
{
    const auto code = static_cast<quint16>(first * 256 + second);
    if (code < kLevel1First || code > std::end(kLevel1Ranges)[-1].last)
        return std::nullopt;
    const auto range = std::lower_bound(std::begin(kLevel1Ranges), std::end(kLevel1Ranges), code,
                                        [](const Gb2312Range &r, quint16 c) { return r.last < c; });
    return range->letter;
}

QByteArray PinyinInitials(QByteArrayView gbkText)
{
    // Never null, so an empty name is stored as an empty text rather than NULL.
    QByteArray result(gbkText.size(), Qt::Uninitialized);
    char *end = convert(gbkText, result.data());
    result.truncate(end - result.constData());
    return result;
}

QString PinyinInitials(const QString &text)
{
    // Opening an ICU converter costs more than converting a typical name, and a
    // converter must not be shared between threads: one per thread, built in
    // place (moving an ICU-backed encoder leaves its error callback pointing at
    // the old object).
    thread_local QStringEncoder gbk("GBK", QStringConverter::Flag::Stateless);
    if (!gbk.isValid()) {
        qCritical("PinyinInitials: no GBK codec available (Qt built without ICU)");
        return QString(0, Qt::Uninitialized);
    }

    // Characters GBK cannot hold come out as '?', as the shop's Windows code
    // page gave them, and then pair with the next byte like any other.
    // ICU allows itself the room of ten more characters than it is given.
    QVarLengthArray<char, 256> encoded(gbk.requiredSpace(text.size() + 10));
    const char *encodedEnd = gbk.appendToBuffer(encoded.data(), text);
    const QByteArrayView gbkText(encoded.constData(), encodedEnd - encoded.constData());

    QString result(gbkText.size(), Qt::Uninitialized);
    char16_t *begin = reinterpret_cast<char16_t *>(result.data());
    result.truncate(convert(gbkText, begin) - begin);
    return result;
}
