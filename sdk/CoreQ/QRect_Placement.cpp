#include <CoreQ/QRect_Placement.h>

namespace {

// Width-first size, 16-bit as QuickDraw's.
Rect MakeRect(int top, int left, short width, short height) {
    const short t = short(top), l = short(left);
    return Rect{t, l, short(t + height), short(l + width)};
}

Rect CenterSize(const Rect &container, short w, short h) {
    const short containerWidth = short(container.right - container.left);
    const short containerHeight = short(container.bottom - container.top);
    return MakeRect(container.top + short(containerHeight - h) / 2, container.left + short(containerWidth - w) / 2,
                    w, h);
}

}  // namespace

Rect QRect_CenterWithin(const Rect &container, const Rect &r) {
    return CenterSize(container, short(r.right - r.left), short(r.bottom - r.top));
}

Rect QRect_PositionWithin(const Rect &container, const Rect &r, long position, short inset) {
    return QRect_PositionWithin(container, short(r.right - r.left), short(r.bottom - r.top), position, inset);
}

Rect QRect_PositionWithin(const Rect &container, short w, short h, long position, short inset) {
    const Rect centred = CenterSize(container, w, h);
    // Every edge is measured from the container's own edges, whatever its origin.
    const int top = container.top + inset;
    const int left = container.left + inset;
    const int bottom = container.bottom - h - inset;
    const int right = container.right - w - inset;
    switch (position) {
    case kQRectPosition_TopLeft: return MakeRect(top, left, w, h);
    case kQRectPosition_TopRight: return MakeRect(top, right, w, h);
    case kQRectPosition_BottomLeft: return MakeRect(bottom, left, w, h);
    case kQRectPosition_BottomRight: return MakeRect(bottom, right, w, h);
    case kQRectPosition_TopCenter: return MakeRect(top, centred.left, w, h);
    case kQRectPosition_LeftCenter: return MakeRect(centred.top, left, w, h);
    case kQRectPosition_RightCenter: return MakeRect(centred.top, right, w, h);
    case kQRectPosition_BottomCenter: return MakeRect(bottom, centred.left, w, h);
    default: return MakeRect(top, left, w, h);
    }
}
