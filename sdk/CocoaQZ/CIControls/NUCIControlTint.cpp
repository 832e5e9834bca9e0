// The control tint from Qt's palette, apart from the faces' drawing (which keeps QtGui out).
#include "NUCIButtonImage.h"

#include <QColor>
#include <QGuiApplication>
#include <QPalette>

NUCIRGBA NUCIControlTintColor() {
    // Graphite-blue when there is no application (and so no palette) to ask.
    QColor tint = QColor::fromRgbF(0.2f, 0.45f, 0.85f);
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr)
        tint = QGuiApplication::palette().color(QPalette::Active, QPalette::Highlight);
    return {tint.redF(), tint.greenF(), tint.blueF(), 1.0};
}
