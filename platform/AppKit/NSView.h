// NSView: views are QWidgets; this holds what AppKit's view does that a plain widget does not.
//
// Autoresizing. A view installed into a container follows the container's size the way an
// AppKit view follows its superview: its size policy stands for the autoresizing mask. A
// direction whose policy can grow or shrink (every policy but Fixed) is sizable: the view's
// size in it changes by as much as the container's; a Fixed direction keeps the view's size.
// The view's position (its top and left margins) never changes.
#pragma once

#include <QSize>
#include <QWidget>

// Posted (object: the view) when the view's place or size on the screen changes.
inline constexpr char NSViewGlobalFrameDidChangeNotification[] = "NSViewGlobalFrameDidChangeNotification";

namespace NSView {

// Changes the view's size by the difference between its container's size now and the old size
// of the container, in the directions that its size policy makes sizable. A view without a
// container, or a null view, is left alone.
void resizeWithOldSuperviewSize(QWidget *view, const QSize &oldSuperviewSize);

// resizeWithOldSuperviewSize for every child widget of the container (not windows).
void resizeSubviewsWithOldSize(QWidget *container, const QSize &oldSize);

// Makes the view a child of the container, shown unless it was hidden on purpose
// (QWidget::hide or setVisible(false) before), at the position it had (in its old parent, or
// its geometry when it had none). Nothing is resized, but Qt gives a parentless widget that
// was never resized the default size of a child: read the view's size after adding it.
void addSubview(QWidget *container, QWidget *view);

// From now on the view posts NSViewGlobalFrameDidChangeNotification through the default
// notification centre, on the main thread, when it or its window moves, is resized or goes to
// another screen. The changes of one turn of the event loop make one notification. Calling it
// again for the same view changes nothing; null is ignored.
void postGlobalFrameChangedNotifications(QWidget *view);

}  // namespace NSView
