// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>
#include <QList>
#include <QObject>
#include <QtQml/qqmlregistration.h>
#include <QVariantList>

namespace lexwick {

// Contrast between colours as WCAG 2 measures it, and the colour nearest to a given one that
// reaches a contrast: the theme derives its text, fill and border colours from the desktop's
// palette with it, so that every palette stays readable.
namespace Contrast {

// Relative luminance of the colour, ignoring its alpha.
double luminance(const QColor& colour);
// From 1 (the same luminance) to 21 (black on white); the order of the colours does not matter.
double ratio(const QColor& a, const QColor& b);
// The colour seen when `top`, with its alpha, is drawn over the opaque `bottom`.
QColor over(const QColor& top, const QColor& bottom);
// The colour, made darker or lighter (whichever reaches further from the backgrounds) just
// enough to have at least `minimum` contrast with each background; the colour itself when it
// already has. Black or white when no shade of it does.
QColor readable(const QColor& colour, const QList<QColor>& backgrounds, double minimum);

} // namespace Contrast

// The functions as QML sees them: `Contrast.readable(palette.highlight, [window], 4.5)`.
class ContrastFunctions : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(Contrast)
    QML_SINGLETON

public:
    explicit ContrastFunctions(QObject* parent = nullptr)
        : QObject(parent)
    {
    }

    Q_INVOKABLE double ratio(const QColor& a, const QColor& b) const;
    Q_INVOKABLE QColor over(const QColor& top, const QColor& bottom) const;
    Q_INVOKABLE QColor readable(const QColor& colour, const QVariantList& backgrounds,
                                double minimum) const;
};

} // namespace lexwick
