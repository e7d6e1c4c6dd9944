#include "PrintFont.h"

#include <QFontDatabase>
#include <QRawFont>
#include <QStringList>

namespace PrintFont {

namespace {

// Faces that also map the Kangxi radicals (U+2F00...) onto their ideographs'
// glyphs make the PDF's text read ⼈⽇⾦⼊ instead of 人日金入: the PDF maps
// each glyph back to the lowest character that uses it. Such a face is
// taken only when there is no other.
bool sharesGlyphsWithRadicals(const QString &family)
{
    const QRawFont raw = QRawFont::fromFont(QFont(family));
    // 人 and ⼈, 日 and ⽇, 金 and ⾦.
    for (const auto &[ideograph, radical] : {std::pair{0x4EBA, 0x2F08}, {0x65E5, 0x2F47}, {0x91D1, 0x2FA6}}) {
        const QList<quint32> a = raw.glyphIndexesForString(QString(QChar(ideograph)));
        const QList<quint32> b = raw.glyphIndexesForString(QString(QChar(radical)));
        if (!a.isEmpty() && a.first() != 0 && a == b)
            return true;
    }
    return false;
}

bool writesSimplifiedChinese(const QString &family)
{
    return QFontDatabase::writingSystems(family).contains(QFontDatabase::SimplifiedChinese);
}

} // namespace

QFont make(const QString &preferredFamily, qreal pointSize, QFont::StyleHint hint)
{
    const QStringList sans = {QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("WenQuanYi Zen Hei"),
                              QStringLiteral("Microsoft YaHei"),     QStringLiteral("SimHei"),
                              QStringLiteral("Droid Sans Fallback"), QStringLiteral("Source Han Sans SC"),
                              QStringLiteral("Noto Sans CJK SC")};
    const QStringList serif = {QStringLiteral("AR PL UMing CN"),
                               QStringLiteral("SimSun"),
                               QStringLiteral("宋体"),
                               QStringLiteral("NSimSun"),
                               QStringLiteral("Source Han Serif SC"),
                               QStringLiteral("Noto Serif CJK SC")};
    const QStringList installed = QFontDatabase::families();
    QStringList chinese;
    QStringList lastResort;
    const bool serifFirst = hint == QFont::Serif;
    QStringList candidates{preferredFamily};
    candidates << (serifFirst ? serif : sans) << (serifFirst ? sans : serif);
    for (const QString &family : std::as_const(candidates)) {
        if (!installed.contains(family) || chinese.contains(family) || lastResort.contains(family) ||
            !writesSimplifiedChinese(family))
            continue;
        (sharesGlyphsWithRadicals(family) ? lastResort : chinese) << family;
    }
    QStringList families = chinese;
    if (families.isEmpty()) {
        // Latin letters and digits from a Latin face: a radical-sharing CJK
        // face also loses the digits after letters in the PDF's text.
        for (const QString &latin :
             {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans"), QStringLiteral("Arial")}) {
            if (installed.contains(latin)) {
                families << latin;
                break;
            }
        }
    }
    families << lastResort;
    if (!families.contains(preferredFamily))
        families << preferredFamily;
    QFont font;
    font.setFamilies(families);
    font.setStyleHint(hint);
    font.setPointSizeF(pointSize);
    return font;
}

} // namespace PrintFont
