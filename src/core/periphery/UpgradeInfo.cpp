#include "UpgradeInfo.h"

#include <QHash>
#include <QStringDecoder>

namespace {

// Keys are ASCII; longer candidates can never be one of ours.
constexpr qsizetype kLongestKey = 16;

QChar asciiLower(QChar c)
{
    return (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ? QChar(c.unicode() + 32) : c;
}

// Every "#key=" in the text by its lower-cased key, each at its first
// position. One pass, so a hostile file cannot make the lookups slow.
class KeyIndex
{
public:
    explicit KeyIndex(const QString &text) : m_text(text)
    {
        qsizetype nextEquals = -1;
        QList<qsizetype> equalsAfter(text.size(), -1);
        for (qsizetype i = text.size() - 1; i >= 0; --i) {
            equalsAfter[i] = nextEquals;
            if (text.at(i) == QLatin1Char('='))
                nextEquals = i;
        }
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text.at(i) != QLatin1Char('#'))
                continue;
            const qsizetype equals = equalsAfter.at(i);
            if (equals < 0)
                break;
            if (equals - i - 1 > kLongestKey)
                continue;
            QString key;
            key.reserve(equals - i - 1);
            for (qsizetype k = i + 1; k < equals; ++k)
                key.append(asciiLower(text.at(k)));
            if (!m_valueStart.contains(key))
                m_valueStart.insert(key, equals + 1);
        }
    }

    bool contains(const QString &key) const { return m_valueStart.contains(key); }

    QString value(const QString &key) const
    {
        const auto found = m_valueStart.constFind(key);
        if (found == m_valueStart.cend())
            return QString();
        const qsizetype start = *found;
        if (start < m_text.size() && m_text.at(start) == QLatin1Char('{')) {
            const qsizetype close = m_text.indexOf(QLatin1Char('}'), start + 1);
            // An unclosed brace runs to the end of the file.
            const qsizetype end = close < 0 ? m_text.size() : close;
            return m_text.mid(start + 1, end - start - 1);
        }
        qsizetype end = start;
        while (end < m_text.size() && m_text.at(end).unicode() >= 32)
            ++end;
        // Present but empty is an empty, not a null, string.
        return end == start ? QStringLiteral("") : m_text.mid(start, end - start);
    }

private:
    const QString &m_text;
    QHash<QString, qsizetype> m_valueStart;
};

bool allDigits(const QString &text)
{
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return !text.isEmpty();
}

} // namespace

QUrl UpgradeInfo::File::url() const
{
    return QUrl(address.trimmed(), QUrl::StrictMode);
}

QString UpgradeInfo::File::fileName() const
{
    const QUrl u = url();
    if (!u.isValid() || u.host().isEmpty() ||
        (u.scheme() != QLatin1String("http") && u.scheme() != QLatin1String("https")))
        return QString();
    const QString name = u.fileName(QUrl::FullyDecoded);
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") ||
        name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) ||
        name.contains(QLatin1Char(':')))
        return QString();
    for (QChar c : name) {
        if (c.unicode() < 32)
            return QString();
    }
    return name;
}

UpgradeInfo UpgradeInfo::parse(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError()) {
        QStringDecoder gbk("GBK");
        if (gbk.isValid())
            text = gbk.decode(bytes);
    }
    return parse(text);
}

QString UpgradeInfo::value(const QString &text, const QString &key)
{
    QString lower;
    for (QChar c : key)
        lower.append(asciiLower(c));
    return KeyIndex(text).value(lower);
}

QDate UpgradeInfo::parseDate(const QString &text)
{
    const QStringList parts = text.trimmed().split(QLatin1Char('/'));
    if (parts.size() != 3 || !allDigits(parts.at(0)) || !allDigits(parts.at(1)) || parts.at(2).size() != 4 ||
        !allDigits(parts.at(2)) || parts.at(0).size() > 2 || parts.at(1).size() > 2)
        return QDate();
    return QDate(parts.at(2).toInt(), parts.at(0).toInt(), parts.at(1).toInt());
}

UpgradeInfo UpgradeInfo::parse(const QString &text)
{
    const KeyIndex index(text);
    UpgradeInfo info;
    info.dateText = index.value(QStringLiteral("date"));
    info.date = parseDate(info.dateText);
    info.message = index.value(QStringLiteral("message"));
    const QString method = index.value(QStringLiteral("method"));
    if (method == QLatin1String("1"))
        info.method = Method::Replace1;
    else if (method == QLatin1String("2"))
        info.method = Method::Browser;

    auto take = [&](const QString &suffix) {
        const QString address = index.value(QStringLiteral("url") + suffix);
        if (!address.isEmpty())
            info.files.append({address, index.value(QStringLiteral("sig") + suffix)});
    };
    int found = 0;
    for (const QString &suffix : {QString(), QStringLiteral("0")}) {
        if (index.contains(QStringLiteral("url") + suffix)) {
            ++found;
            take(suffix);
        }
    }
    // The numbered addresses continue after the unnumbered ones: with "url"
    // present the next is "url2", and the first gap ends the list.
    for (int n = found + 1; n <= MaxNumberedFiles; ++n) {
        const QString suffix = QString::number(n);
        if (!index.contains(QStringLiteral("url") + suffix))
            break;
        take(suffix);
    }
    return info;
}

bool UpgradeInfo::isNewerThan(QDate releaseDate) const
{
    return date.isValid() && releaseDate.isValid() && date > releaseDate;
}
