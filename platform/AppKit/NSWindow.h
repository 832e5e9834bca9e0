// NSWindow: what the code asks of a window beyond Qt's QWidget: its frame as text, to keep a
// panel's place and size in the user defaults between runs.
//
// The text is "x y width height" in the desktop's device-independent pixels. Reading it back
// takes exactly four whole numbers with a width and a height of 1 to 10000; anything else
// leaves the window where it is.
#pragma once

#include <QRect>
#include <QString>

class QWidget;

namespace NSWindow {

QString stringWithSavedFrame(const QWidget *window);
// The frame the text gives; an empty rectangle for text that is not a frame.
QRect frameFromString(const QString &text);
// Whether the text was a frame (the window then has it).
bool setFrameFromString(QWidget *window, const QString &text);

// The frame kept as text in the standard user defaults under the key. A window that was never
// shown is not saved: it has no place of its own yet (the window manager gives it one).
void saveFrameUsingName(const QWidget *window, const QString &key);
bool setFrameUsingName(QWidget *window, const QString &key);

}  // namespace NSWindow
