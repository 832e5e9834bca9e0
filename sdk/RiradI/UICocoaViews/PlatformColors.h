// The platform's named colours that the views kit draws with, as AppKit defines them: greys by
// their white level, the primaries and the shadow colour (opaque black).
#pragma once

#include <QColor>

namespace PlatformColors {

inline QColor white(double level) { return QColor::fromRgbF(float(level), float(level), float(level)); }

inline QColor black() { return white(0); }
inline QColor darkGray() { return white(1.0 / 3.0); }
inline QColor gray() { return white(0.5); }
inline QColor lightGray() { return white(2.0 / 3.0); }
inline QColor blue() { return QColor::fromRgbF(0, 0, 1); }
inline QColor yellow() { return QColor::fromRgbF(1, 1, 0); }
inline QColor magenta() { return QColor::fromRgbF(1, 0, 1); }
inline QColor shadow() { return black(); }

}  // namespace PlatformColors
