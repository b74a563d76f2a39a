// SPDX-License-Identifier: MIT
#include "ui/Contrast.h"

#include <algorithm>
#include <cmath>

namespace lexwick {

namespace {

double linear(double channel)
{
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

double lowest(const QColor& colour, const QList<QColor>& backgrounds)
{
    double least = 21.0;
    for (const QColor& background : backgrounds)
        least = std::min(least, Contrast::ratio(colour, background));
    return least;
}

// The colour moved towards `target` by the fraction t, channel by channel.
QColor mixed(const QColor& colour, const QColor& target, double t)
{
    return QColor::fromRgbF(
        static_cast<float>(colour.redF() + (target.redF() - colour.redF()) * t),
        static_cast<float>(colour.greenF() + (target.greenF() - colour.greenF()) * t),
        static_cast<float>(colour.blueF() + (target.blueF() - colour.blueF()) * t));
}

} // namespace

double Contrast::luminance(const QColor& colour)
{
    const QColor rgb = colour.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) +
           0.0722 * linear(rgb.blueF());
}

double Contrast::ratio(const QColor& a, const QColor& b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor Contrast::over(const QColor& top, const QColor& bottom)
{
    return mixed(bottom.toRgb(), top.toRgb(), top.alphaF());
}

QColor Contrast::readable(const QColor& colour, const QList<QColor>& backgrounds, double minimum)
{
    const QColor opaque(colour.toRgb().rgb()); // composing a colour's alpha is the caller's
    if (backgrounds.isEmpty() || lowest(opaque, backgrounds) >= minimum)
        return opaque;
    const QColor target =
        lowest(Qt::black, backgrounds) >= lowest(Qt::white, backgrounds) ? Qt::black : Qt::white;
    if (lowest(target, backgrounds) < minimum)
        return target;
    // Against backgrounds on one side of the colour, the contrast grows steadily on the way to
    // black (or white): the least step that reaches the minimum keeps most of the colour.
    double low = 0.0;
    double high = 1.0;
    for (int i = 0; i < 20; ++i) {
        const double middle = (low + high) / 2;
        (lowest(mixed(opaque, target, middle), backgrounds) >= minimum ? high : low) = middle;
    }
    const QColor found = mixed(opaque, target, high);
    return lowest(found, backgrounds) >= minimum ? found : target;
}

double ContrastFunctions::ratio(const QColor& a, const QColor& b) const
{
    return Contrast::ratio(a, b);
}

QColor ContrastFunctions::over(const QColor& top, const QColor& bottom) const
{
    return Contrast::over(top, bottom);
}

QColor ContrastFunctions::readable(const QColor& colour, const QVariantList& backgrounds,
                                   double minimum) const
{
    QList<QColor> colours;
    for (const QVariant& background : backgrounds)
        colours.append(background.value<QColor>());
    return Contrast::readable(colour, colours, minimum);
}

} // namespace lexwick
