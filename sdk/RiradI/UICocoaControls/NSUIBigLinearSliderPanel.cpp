#include "NSUIBigLinearSliderPanel.h"

#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSKeyValueCoding.h>
#include <Foundation/NSObjCRuntime.h>

#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>

NS_REGISTER_CLASS(NSUIBigLinearSliderPanel);

namespace {

// The last panel set up; weak, so a destroyed one reads nil.
QPointer<NSUIBigLinearSliderPanel> &SharedPanel() {
    static QPointer<NSUIBigLinearSliderPanel> shared;
    return shared;
}

constexpr qreal kCornerRadius = 8.0;

}  // namespace

NSUIBigLinearSliderPanel::NSUIBigLinearSliderPanel(QWidget *parent) : NSAlphaPanelWithShadow({}, 0, 2, false, parent) {
    // The alpha-window set-up runs as the panel is made, so it is shared from the start.
    ensurePolished();
}

NSUIBigLinearSliderPanel::~NSUIBigLinearSliderPanel() = default;

NSUIBigLinearSliderPanel *NSUIBigLinearSliderPanel::sharedPanel() { return SharedPanel().data(); }

bool NSUIBigLinearSliderPanel::canAttachToSlider(QObject *slider) {
    auto *nsSlider = qobject_cast<NSSlider *>(slider);
    return nsSlider != nullptr && !nsSlider->allowsTickMarkValuesOnly();
}

bool NSUIBigLinearSliderPanel::attachSlider(QObject *slider) {
    auto *nsSlider = qobject_cast<NSSlider *>(slider);
    NSUIBigLinearSliderPanel *panel = sharedPanel();
    if (nsSlider == nullptr || panel == nullptr || !canAttachToSlider(nsSlider)) return false;
    panel->setAttachedSlider(nsSlider);
    return panel->isAttachedSlider(nsSlider);
}

void NSUIBigLinearSliderPanel::NSAlphaWindow_initSubclass() {
    SharedPanel() = this;
    _attachedSlider = nullptr;
    _attachedSliderInitialValue = 0.0;
    _recursiveDepth = 0;
    // The floating level: above the application's normal windows.
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    if (visible) show();
}

void NSUIBigLinearSliderPanel::awakeFromNib() { detachFromSlider(false); }

void NSUIBigLinearSliderPanel::setAttachedSlider(NSSlider *slider) {
    if (slider != nullptr && slider == _attachedSlider) {
        reflectAttachedSliderValueToBigSlider();
        return;
    }
    if (hasAttachedSlider()) {
        detachFromSlider(false);
        if (!VERIFY_TEXT(!hasAttachedSlider(), " code : [self hasAttachedSlider]==NO")) return;
    }
    _attachedSlider = slider;
    completeAttachToSlider();
}

void NSUIBigLinearSliderPanel::completeAttachToSlider() {
    NSSlider *slider = _attachedSlider.data();
    if (slider == nullptr) return;
    if (_sliderHelpCaption != nullptr) _sliderHelpCaption->setStringValue(slider->toolTip());
    if (_sliderUI != nullptr) {
        _sliderUI->setMinValue(slider->minValue());
        _sliderUI->setMaxValue(slider->maxValue());
    }
    _attachedSliderInitialValue = slider->doubleValue();
    if (_sliderUI != nullptr) _sliderUI->setDoubleValue(_attachedSliderInitialValue);
    reflectAttachedSliderValueToBigSlider();
    setPanelEnabled(true);
    onSliderAttachComplete(slider);
}

NSSlider *NSUIBigLinearSliderPanel::detachFromSlider(bool restore) {
    QPointer<NSSlider> wasAttached = _attachedSlider;
    if (wasAttached != nullptr) {
        if (restore) setAttachedDoubleValue(_attachedSliderInitialValue, true);
        _attachedSlider = nullptr;
    }
    _recursiveDepth = 0;
    setPanelEnabled(false);
    onSliderAttachComplete(nullptr);
    return wasAttached.data();
}

void NSUIBigLinearSliderPanel::setPanelEnabled(bool enabled) {
    if (_buttonOK != nullptr) _buttonOK->setEnabled(enabled);
    if (_buttonCancel != nullptr) _buttonCancel->setEnabled(enabled);
    if (_sliderUI != nullptr) _sliderUI->setEnabled(enabled);
    if (enabled) return;
    if (_sliderHelpCaption != nullptr) _sliderHelpCaption->setStringValue(QString());
    if (_sliderValueCaption != nullptr) _sliderValueCaption->setStringValue(QString());
    _attachedSliderInitialValue = 0.0;
    if (_sliderUI != nullptr) _sliderUI->resetRangeValue();
}

void NSUIBigLinearSliderPanel::setAttachedDoubleValue(double value, bool performAction) {
    QPointer<NSSlider> slider = _attachedSlider;
    if (slider == nullptr || _recursiveDepth != 0) return;
    QPointer<NSUIBigLinearSliderPanel> self(this);
    ++_recursiveDepth;
    // Lowered however the action ends (also by an exception), unless the panel went with it.
    struct Lower {
        QPointer<NSUIBigLinearSliderPanel> &panel;
        ~Lower() {
            if (panel != nullptr && panel->_recursiveDepth > 0) --panel->_recursiveDepth;
        }
    } lower{self};
    slider->setDoubleValue(value);
    if (!performAction) return;
    QObject *target = slider->target();
    if (!VERIFY_TEXT(target != nullptr, " code : [_attachedSlider target]")) return;
    const QByteArray action = slider->action();
    if (action.isEmpty()) return;
    // On the main thread this runs at once; waiting for the queue there would never end.
    performSelectorOnMainThread(target, action, NSKeyValueCoding::variantFromObject(slider.data()), true);
}

void NSUIBigLinearSliderPanel::reflectAttachedSliderValueToBigSlider() {
    if (_recursiveDepth != 0) return;
    if (_sliderUI != nullptr && _attachedSlider != nullptr) _sliderUI->setDoubleValue(_attachedSlider->doubleValue());
    reflectAttachedSliderValueToCaption();
}

void NSUIBigLinearSliderPanel::reflectAttachedSliderValueToCaption() {
    // Six significant digits, as a number formatter on the caption would show it: the fine
    // slider holds its value at single precision.
    if (_sliderValueCaption != nullptr && _sliderUI != nullptr)
        _sliderValueCaption->setStringValue(QString::number(_sliderUI->doubleValue(), 'g', 6));
}

void NSUIBigLinearSliderPanel::fineSliderChanged(QObject *) {
    if (_sliderUI == nullptr) return;
    setAttachedDoubleValue(_sliderUI->doubleValue(), true);
    reflectAttachedSliderValueToCaption();
}

void NSUIBigLinearSliderPanel::buttonOK(QObject *) {
    detachFromSlider(false);
    orderOut(this);
}

void NSUIBigLinearSliderPanel::buttonCancel(QObject *) {
    detachFromSlider(true);
    orderOut(this);
}

void NSUIBigLinearSliderPanel::orderOut(QObject *) { hide(); }

void NSUIBigLinearSliderPanel::onSliderAttachComplete(QObject *) {}

void NSUIBigLinearSliderPanel::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Escape) {
        orderOut(this);
        event->accept();
        return;
    }
    NSAlphaPanelWithShadow::keyPressEvent(event);
}

// The panel's own face on its clear window: a rounded rectangle in the window colour.
void NSUIBigLinearSliderPanel::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    QPainterPath face;
    face.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), kCornerRadius, kCornerRadius);
    painter.fillPath(face, palette().window());
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawPath(face);
}

bool import_NSUIBigLinearSliderPanel() { return import_NSUIFineSlider(); }
