// Whether the X server the program is shown on has a compositing manager, so that a window
// with an alpha channel is blended with what lies behind it. The answer is the EWMH rule: a
// compositing manager owns the selection "_NET_WM_CM_S<n>" of screen n (the screen of
// DISPLAY). Asked afresh each time over a short-lived xcb connection of its own (a compositor
// may start or stop while the program runs); false without DISPLAY or a server that answers.
#pragma once

bool CGWindowServerIsCompositing();
