#include "Contrast.h"

#include <cmath>

namespace {

double channel(double value)
{
    return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

double luminance(const QColor &colour)
{
    const QColor rgb = colour.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) + 0.0722 * channel(rgb.blueF());
}

} // namespace

namespace Contrast {

double ratio(const QColor &a, const QColor &b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor readable(const QColor &text, const QColor &background, double minimum)
{
    if (!text.isValid() || !background.isValid() || ratio(text, background) >= minimum)
        return text;
    // Black on a light background, white on a dark one, whichever can reach
    // the minimum; the text is mixed towards it in small steps.
    const QColor target =
        ratio(Qt::black, background) >= ratio(Qt::white, background) ? QColor(Qt::black) : QColor(Qt::white);
    const QColor from = text.toRgb();
    // A grey or white text becomes plain black or white; only a colour that
    // carries a meaning (the alarm red) keeps its hue.
    if (from.hsvSaturation() < 40)
        return target;
    for (int step = 1; step <= 20; ++step) {
        const double t = step / 20.0;
        const QColor mixed = QColor::fromRgbF(float(from.redF() + (target.redF() - from.redF()) * t),
                                              float(from.greenF() + (target.greenF() - from.greenF()) * t),
                                              float(from.blueF() + (target.blueF() - from.blueF()) * t));
        if (ratio(mixed, background) >= minimum)
            return mixed;
    }
    return target;
}

} // namespace Contrast
