#pragma once

#include <QColor>

// Contrast of text against its background as the WCAG formula measures it,
// so that a skin or a fixed grid colour never leaves text unreadable.
namespace Contrast {

// The contrast ratio of two colours, 1 (same) to 21 (black on white).
double ratio(const QColor &a, const QColor &b);

// The text colour itself when it stands out from the background by at least
// minimum; otherwise the same hue taken towards black (or towards white on a
// dark background) until it does, and a grey plain black (or white).
QColor readable(const QColor &text, const QColor &background, double minimum = 4.5);

} // namespace Contrast
