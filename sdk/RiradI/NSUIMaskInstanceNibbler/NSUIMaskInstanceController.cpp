#include "NSUIMaskInstanceController.h"

#include "NSUIContextMaskScreenTypeSlider.h"
#include "NSUIContextMaskShapeTypeSlider.h"
#include "NSUIMaskInstance.h"

#include <Foundation/NSObjCRuntime.h>

#include <QTimer>

#include <optional>

NS_REGISTER_CLASS(NSUIMaskInstanceController);

namespace {

// The integer of a number or of a string that reads as one.
std::optional<int> TypeNumber(const QVariant &value) {
    bool ok = false;
    const int number = value.toInt(&ok);
    if (!ok) return std::nullopt;
    return number;
}

}  // namespace

NSUIMaskInstanceController::NSUIMaskInstanceController(QObject *parent) : NSObject(parent) {}

NSUIMaskInstanceController::~NSUIMaskInstanceController() { endRefreshing(); }

NSUIContextMaskShapeTypeSlider *NSUIMaskInstanceController::shapeTypeSlider() const {
    return mMaskInstance != nullptr ? mMaskInstance->shapeTypeSlider() : nullptr;
}

NSUIContextMaskScreenTypeSlider *NSUIMaskInstanceController::screenTypeSlider() const {
    return mMaskInstance != nullptr ? mMaskInstance->screenTypeSlider() : nullptr;
}

QVariant NSUIMaskInstanceController::shapeType() const {
    return shapeTypeSlider() != nullptr ? QVariant(shapeTypeSlider()->intValue()) : QVariant();
}

QVariant NSUIMaskInstanceController::screenType() const {
    return screenTypeSlider() != nullptr ? QVariant(screenTypeSlider()->intValue()) : QVariant();
}

void NSUIMaskInstanceController::setShapeType(const QVariant &type) {
    NSUIContextMaskShapeTypeSlider *slider = shapeTypeSlider();
    const std::optional<int> number = TypeNumber(type);
    if (slider == nullptr || !number) return;
    slider->setIntValue(*number);
    mMaskInstance->maskShapeChanged(slider);
}

void NSUIMaskInstanceController::setScreenType(const QVariant &type) {
    NSUIContextMaskScreenTypeSlider *slider = screenTypeSlider();
    const std::optional<int> number = TypeNumber(type);
    if (slider == nullptr || !number) return;
    slider->setIntValue(*number);
    mMaskInstance->maskScreenChanged(slider);
}

QStringList NSUIMaskInstanceController::shapeTypeNames() {
    return {QStringLiteral("None"),
            QStringLiteral("Radial Gaussian"),
            QStringLiteral("Concentric Circles"),
            QStringLiteral("Circular"),
            QStringLiteral("Elliptical"),
            QStringLiteral("Concentric Ellipses"),
            QStringLiteral("Square"),
            QStringLiteral("Square(Rounded)"),
            QStringLiteral("Rectangle"),
            QStringLiteral("Rectangle(Rounded)"),
            QStringLiteral("Equilateral"),
            QStringLiteral("Heart"),
            QStringLiteral("Star"),
            QStringLiteral("Flower"),
            QStringLiteral("Pinwheel"),
            QStringLiteral("Clip Art"),
            QStringLiteral("Sunflower"),
            QStringLiteral("Clovertye"),
            QStringLiteral("Celtique")};
}

QStringList NSUIMaskInstanceController::screenTypeNames() {
    return {QStringLiteral("None"),
            QStringLiteral("Rays Center Out"),
            QStringLiteral("Rays Corner Out"),
            QStringLiteral("Spiral"),
            QStringLiteral("Parabola"),
            QStringLiteral("Perlin Blocks"),
            QStringLiteral("Perlin Dots"),
            QStringLiteral("Perlin Bars Horizontal"),
            QStringLiteral("Perlin Bars Vertical"),
            QStringLiteral("Waveform f(x)"),
            QStringLiteral("Horizontal f(x) Filter"),
            QStringLiteral("Vertical f(y) Filter"),
            QStringLiteral("Radial f(t) Filter"),
            QStringLiteral("Radial sin(t) Filter"),
            QStringLiteral("Radial n^2 Filter"),
            QStringLiteral("Radial Polar Filter"),
            QStringLiteral("Horizontal Screen"),
            QStringLiteral("Vertical Screen"),
            QStringLiteral("Square Screen"),
            QStringLiteral("Square Blocks")};
}

void NSUIMaskInstanceController::awakeFromNib() {
    performSelectorOnMainThread("beginRefreshing", QVariant(), false);
}

void NSUIMaskInstanceController::beginRefreshing() {
    if (mBindingsRefresher != nullptr) return;
    mBindingsRefresher = new QTimer(this);
    mBindingsRefresher->setInterval(kRefreshIntervalMilliseconds);
    connect(mBindingsRefresher, &QTimer::timeout, this, [this] { bindingsRefreshTimer(mBindingsRefresher); });
    mBindingsRefresher->start();
}

void NSUIMaskInstanceController::bindingsRefreshTimer(QObject *) {
    willChangeValueForKey(QStringLiteral("shapeType"));
    willChangeValueForKey(QStringLiteral("screenType"));
    didChangeValueForKey(QStringLiteral("shapeType"));
    didChangeValueForKey(QStringLiteral("screenType"));
}

void NSUIMaskInstanceController::endRefreshing() {
    delete mBindingsRefresher;
    mBindingsRefresher = nullptr;
}

bool import_NSUIMaskInstanceController() { return import_NSUIMaskInstance(); }
