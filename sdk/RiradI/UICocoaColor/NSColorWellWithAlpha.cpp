#include "NSColorWellWithAlpha.h"

#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSKeyValueCoding.h>
#include <Foundation/NSObjCRuntime.h>

#include <QColorDialog>
#include <QPainter>
#include <QPaintEvent>

#include <algorithm>
#include <vector>

namespace {

// The wells that take the panel's colours, in activation order.
std::vector<QPointer<NSColorWell>> &ActiveWells() {
    static std::vector<QPointer<NSColorWell>> wells;
    return wells;
}

void ForgetWell(NSColorWell *well) {
    auto &wells = ActiveWells();
    wells.erase(std::remove_if(wells.begin(), wells.end(),
                               [well](const QPointer<NSColorWell> &w) { return w.isNull() || w == well; }),
                wells.end());
}

// The colour's components in RGB; false when the colour is not valid.
bool RGBComponents(const QColor &color, color_4D *components) {
    if (!color.isValid()) return false;
    const QColor rgb = color.toRgb();
    float red = 0, green = 0, blue = 0, alpha = 1;
    rgb.getRgbF(&red, &green, &blue, &alpha);
    *components = {red, green, blue, alpha};
    return true;
}

float Clamp(float value) { return std::clamp(value, 0.0f, 1.0f); }

QColor ColorOf(color_4D c) { return QColor::fromRgbF(Clamp(c.red), Clamp(c.green), Clamp(c.blue), Clamp(c.alpha)); }

}  // namespace

// ---- NSColorWell ----------------------------------------------------------------------------

NSColorWell::NSColorWell(QWidget *parent) : QPushButton(parent), mColor(Qt::white) {
    setMinimumSize(44, 23);
    connect(this, &QPushButton::clicked, this, &NSColorWell::clickedWell);
}

NSColorWell::~NSColorWell() { ForgetWell(this); }

void NSColorWell::setColor(const QColor &color) {
    if (color == mColor) return;
    mColor = color;
    update();
    emit colorChanged(mColor);
}

void NSColorWell::activate(bool exclusive) {
    if (exclusive) {
        for (const QPointer<NSColorWell> &well : std::vector<QPointer<NSColorWell>>(ActiveWells()))
            if (well && well != this) well->deactivate();
    }
    ForgetWell(this);
    ActiveWells().push_back(this);
    mActive = true;
    update();
}

void NSColorWell::deactivate() {
    ForgetWell(this);
    mActive = false;
    update();
}

void NSColorWell::clickedWell() {
    activate(true);
    NSColorPanel::orderFrontForWell(this);
}

void NSColorWell::paintEvent(QPaintEvent *event) {
    QPushButton::paintEvent(event);
    QPainter painter(this);
    const QRect swatch = rect().adjusted(6, 5, -6, -5);
    painter.fillRect(swatch, Qt::white);
    painter.fillRect(swatch, mColor);
    painter.setPen(mActive ? palette().color(QPalette::Highlight) : palette().color(QPalette::Mid));
    painter.drawRect(swatch.adjusted(0, 0, -1, -1));
}

color_4D NSColorWell::getColor4D() const {
    color_4D components = CoreGraphics::kColorBlackOpaque;
    const bool currentRGB = RGBComponents(mColor, &components);
    if (!VERIFY(currentRGB)) return CoreGraphics::kColorBlackOpaque;
    return components;
}

color_4D NSColorWell::getDeviceColor4D() const {
    color_4D components = CoreGraphics::kColorBlackOpaque;
    if (!RGBComponents(mColor, &components)) return CoreGraphics::kColorBlackOpaque;
    return components;
}

color_3D NSColorWell::getColor3DOpaque() const {
    const color_4D c = getColor4D();
    return {c.red, c.green, c.blue};
}

float NSColorWell::getColorAlpha() const { return getColor4D().alpha; }

QColor NSColorWell::colorWithAlpha() const { return ColorOf(getColor4D()); }

QColor NSColorWell::colorWithoutAlpha() const {
    color_4D c = getColor4D();
    c.alpha = 1.0f;
    return ColorOf(c);
}

void NSColorWell::setCoreGeometryColor(const QColor &color) { setColor(color); }

void NSColorWell::setColor4D(color_4D color) { setCoreGeometryColor(ColorOf(color)); }

void NSColorWell::setColor3D(color_3D color) { setColor3DOpaque(color); }

void NSColorWell::setColor3DOpaque(color_3D color) { setColor4D({color.red, color.green, color.blue, 1.0f}); }

bool NSColorWell::setColorRedBlueGreenAlpha(float red, float blue, float green, float alpha) {
    setColor4D({red, green, blue, alpha});
    return true;
}

void NSColorWell::setColor3DPreserveAlpha(color_3D color) {
    setColor4D({color.red, color.green, color.blue, getColorAlpha()});
}

bool NSColorWell::setColorAlpha(float alpha) {
    color_4D components;
    const bool currentRGB = RGBComponents(mColor, &components);
    if (!VERIFY(currentRGB)) return false;
    components.alpha = alpha;
    setColor4D(components);
    return true;
}

void NSColorWell::setColorPreserveAlpha(const QColor &color) {
    color_4D current;
    const bool currentRGB = RGBComponents(mColor, &current);
    if (!VERIFY(currentRGB)) return;
    color_4D given;
    if (!RGBComponents(color, &given)) return;
    setColor4D({given.red, given.green, given.blue, current.alpha});
}

void NSColorWell::performTargetActionWithObject(QObject *object) {
    if (mTarget.isNull() || mAction.isEmpty()) return;
    ::performSelector(mTarget.data(), mAction, NSKeyValueCoding::variantFromObject(object));
}

// ---- NSColorPanel ---------------------------------------------------------------------------

QColorDialog *NSColorPanel::sharedColorPanel() {
    static QPointer<QColorDialog> panel;
    if (panel.isNull()) {
        panel = new QColorDialog();
        panel->setOption(QColorDialog::NoButtons, true);
        panel->setAttribute(Qt::WA_DeleteOnClose, false);
        QObject::connect(panel.data(), &QColorDialog::currentColorChanged, [](const QColor &color) {
            for (const QPointer<NSColorWell> &well : std::vector<QPointer<NSColorWell>>(ActiveWells()))
                if (well) well->setCoreGeometryColor(color);
        });
    }
    return panel.data();
}

bool NSColorPanel::showsAlpha() { return sharedColorPanel()->testOption(QColorDialog::ShowAlphaChannel); }

void NSColorPanel::setShowsAlpha(bool showsAlpha) {
    sharedColorPanel()->setOption(QColorDialog::ShowAlphaChannel, showsAlpha);
}

void NSColorPanel::orderFrontForWell(NSColorWell *well) {
    QColorDialog *panel = sharedColorPanel();
    if (well != nullptr) {
        const QSignalBlocker blocker(panel);
        panel->setCurrentColor(well->color());
    }
    panel->show();
    panel->raise();
}

// ---- NSUIColorWellBase and the four wells ----------------------------------------------------

NSUIColorWellBase::NSUIColorWellBase(QWidget *parent) : NSColorWell(parent) {}

NSUIColorWellBase::~NSUIColorWellBase() { unbind(QStringLiteral("value")); }

bool NSUIColorWellBase::bind(const QString &binding, QObject *controller, const QString &keyPath,
                             const QVariantMap &) {
    if (binding != QLatin1String("value") || controller == nullptr || keyPath.isEmpty()) return false;
    unbind(binding);
    mBoundValueController = controller;
    mBoundValueKeyPath = keyPath;
    NSKeyValueCoding::addObserver(controller, this, keyPath, NSKeyValueObservingOptionNew);
    showBoundValue();
    return true;
}

void NSUIColorWellBase::unbind(const QString &binding) {
    if (binding != QLatin1String("value")) return;
    if (!mBoundValueController.isNull())
        NSKeyValueCoding::removeObserver(mBoundValueController.data(), this, mBoundValueKeyPath);
    mBoundValueController = nullptr;
    mBoundValueKeyPath.clear();
}

void NSUIColorWellBase::observeValueForKeyPath(const QString &, QObject *object, const QVariantMap &, void *) {
    if (object == mBoundValueController.data()) showBoundValue();
}

void NSUIColorWellBase::showBoundValue() {
    if (mBoundValueController.isNull()) return;
    const QVariant value = NSKeyValueCoding::valueForKeyPath(mBoundValueController.data(), mBoundValueKeyPath);
    const QColor color = value.value<QColor>();
    if (color.isValid()) setColor(color);
}

void NSUIColorWellBase::setCoreGeometryColor(const QColor &color) { setBoundControllerKeyPathValue(color); }

void NSUIColorWellBase::setBoundControllerKeyPathValue(const QColor &color) {
    if (mBoundValueController.isNull()) {
        setColor(color);
        return;
    }
    NSKeyValueCoding::setValueForKeyPath(mBoundValueController.data(), QVariant(color), mBoundValueKeyPath);
    performTargetActionWithObject(this);
}

void NSColorWellWithAlpha::activate(bool exclusive) {
    NSColorPanel::setShowsAlpha(true);
    NSUIColorWellBase::activate(exclusive);
}

void NSColorWellWithAlphaExclusive::activate(bool) { NSUIColorWellBase::activate(true); }

void NSColorWellWithoutAlpha::activate(bool exclusive) {
    NSUIColorWellBase::activate(exclusive);
    NSColorPanel::setShowsAlpha(false);
}

void NSColorWellWithoutAlphaExclusive::activate(bool) { NSUIColorWellBase::activate(true); }

bool import_NSColorWellWithAlpha() { return import_CoreMachDebugLog(); }
