#pragma once

#include <QFont>
#include <QString>

// Fonts for paper and PDF. Chinese glyphs must come from a Simplified Chinese
// face: a Japanese fallback prints the same shapes, but copying or searching
// the PDF then yields Kangxi radicals instead of 人日金入.
namespace PrintFont {

// The preferred family when it is installed (it keeps the Latin letters and
// digits it was chosen for), then the installed Simplified Chinese faces of
// the same kind, then the rest.
QFont make(const QString &preferredFamily, qreal pointSize, QFont::StyleHint hint = QFont::SansSerif);

} // namespace PrintFont
