// NSWindow: what the code asks of a window beyond Qt's QWidget: its frame as text, to keep a
// panel's place and size in the user defaults between runs.
//
// The text is "x y width height" in the desktop's device-independent pixels. Reading it back
// takes exactly four whole numbers with a width and a height of 1 to 10000; anything else
// leaves the window where it is.
#pragma once

#include <QString>

class QWidget;

namespace NSWindow {

QString stringWithSavedFrame(const QWidget *window);
// Whether the text was a frame (the window then has it).
bool setFrameFromString(QWidget *window, const QString &text);

}  // namespace NSWindow
