#include "PointelDefaultSlider.h"

#include <Foundation/NSObjCRuntime.h>

#include <QImage>
#include <QPainter>

NS_REGISTER_CLASS(PointelDefaultSlider);

namespace {

constexpr const char *kMiniResetName = "PLSliderMiniReset";

// A 12-point grey disc with a light ring: the reset picture when the application has none.
std::shared_ptr<NSImage> DrawnMiniReset() {
    QImage picture(12, 12, QImage::Format_RGBA8888);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(96, 96, 96));
    painter.drawEllipse(QRectF(0.5, 0.5, 11, 11));
    painter.setPen(QPen(QColor(235, 235, 235), 1.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QRectF(3.25, 3.25, 5.5, 5.5));
    painter.end();
    return NSImage::imageWithQImage(picture);
}

}  // namespace

PointelDefaultSlider::PointelDefaultSlider(QWidget *parent) : PointelCellSlider(parent) {
    addPushButton(miniResetImage(), "resetDefaultValue:");
    connect(this, &NSSlider::doubleValueChanged, this, &PointelDefaultSlider::updateCellTint);
    updateCellTint();
}

PointelDefaultSlider::~PointelDefaultSlider() = default;

std::shared_ptr<NSImage> PointelDefaultSlider::miniResetImage() {
    if (std::shared_ptr<NSImage> image = NSImage::imageNamed(kMiniResetName)) return image;
    std::shared_ptr<NSImage> drawn = DrawnMiniReset();
    if (drawn != nullptr) drawn->setName(kMiniResetName);
    return drawn;
}

void PointelDefaultSlider::setObjectValue(const QVariant &value) {
    setDoubleValue(value.toDouble());
    updateCellTint();
}

void PointelDefaultSlider::resetDefaultValue(QObject *sender) {
    setObjectValue(defaultObjectValue());
    performTargetActionWithObject(sender);
}

bool PointelDefaultSlider::hasDefaultValue() const { return doubleValue() == defaultObjectValue().toDouble(); }

void PointelDefaultSlider::updateCellTint() {
    setControlTint(hasDefaultValue() ? NSGraphiteControlTint : NSBlueControlTint);
}

bool import_PointelDefaultSlider() { return import_PointelCellSlider(); }
