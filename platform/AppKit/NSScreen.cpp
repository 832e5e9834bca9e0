#include <AppKit/NSScreen.h>

#include <QRect>
#include <QScreen>

#include <vector>

namespace NSScreen {

namespace {

QRect AreaOf(CGDirectDisplayID display) {
    CGDisplayPixelArea area;
    if (!CGDisplayGetPixelArea(display, &area)) return {};
    return QRect(area.x, area.y, int(area.width), int(area.height));
}

CGDirectDisplayID DisplayOf(const QScreen &screen) {
    const qreal ratio = screen.devicePixelRatio();
    const QRect logical = screen.geometry();
    const QRect device(QPoint(qRound(logical.x() * ratio), qRound(logical.y() * ratio)),
                       QSize(qRound(logical.width() * ratio), qRound(logical.height() * ratio)));
    uint32_t count = 0;
    if (CGGetActiveDisplayList(0, nullptr, &count) != kCGErrorSuccess || count == 0) return 0;
    std::vector<CGDirectDisplayID> displays(count);
    if (CGGetActiveDisplayList(count, displays.data(), &count) != kCGErrorSuccess) return 0;
    std::vector<QRect> areas;
    for (uint32_t index = 0; index < count; ++index) areas.push_back(AreaOf(displays[index]));
    for (uint32_t index = 0; index < count; ++index) {
        if (areas[index] == device) return displays[index];
    }
    for (uint32_t index = 0; index < count; ++index) {
        if (areas[index].contains(device.center())) return displays[index];
    }
    return 0;
}

}  // namespace

QVariantMap deviceDescription(const QScreen *screen) {
    QVariantMap description;
    if (screen == nullptr) return description;
    if (const CGDirectDisplayID display = DisplayOf(*screen)) description.insert(NSScreenNumber, uint(display));
    return description;
}

}  // namespace NSScreen
