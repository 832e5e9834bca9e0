#include "NSUIBigControlsView.h"

#include "NSUITextFieldForwarder.h"

#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(NSUIBigControlsView);

namespace {

// The last instance woken from a nib; weak, so a destroyed one reads nil.
QPointer<NSUIBigControlsView> &SharedInstance() {
    static QPointer<NSUIBigControlsView> shared;
    return shared;
}

}  // namespace

NSUIBigControlsView::NSUIBigControlsView(QWidget *parent) : NSUITransparentWindowView(parent) {}

NSUIBigControlsView::~NSUIBigControlsView() = default;

NSUIBigControlsView *NSUIBigControlsView::sharedBigControlsView() {
    VERIFY(import_NSUISliderRotationView());
    NSUIBigControlsView *sSingleton = SharedInstance().data();
    VERIFY(sSingleton);
    return sSingleton;
}

bool NSUIBigControlsView::attachRadial(QObject *slider) {
    NSUIBigControlsView *shared = sharedBigControlsView();
    if (shared == nullptr || qobject_cast<NSSlider *>(slider) == nullptr) return false;
    shared->ensureOverlayVisible(slider);
    shared->attachRadialSlider(slider);
    return shared->mSliderView != nullptr && shared->mSliderView->synchronizedSlider() == slider;
}

void NSUIBigControlsView::awakeFromNib() {
    NSUITransparentWindowView::awakeFromNib();
    VERIFY(import_NSUITextFieldForwarder());
    SharedInstance() = this;
    VERIFY(mSliderView);
    VERIFY(mExactAngleTextView);
    VERIFY(mVerticalSlider);
    VERIFY(mHorizontalSlider);
    VERIFY(mAngleButtonSet);
    VERIFY(mAngleButton_90);
    VERIFY(mAngleButton_45);
    VERIFY(mAngleButton0);
    VERIFY(mAngleButton45);
    VERIFY(mAngleButton90);
    VERIFY(mAngleButton180);
    for (QAbstractButton *button : {mAngleButtonSet.data(), mAngleButton_90.data(), mAngleButton_45.data(),
                                    mAngleButton0.data(), mAngleButton45.data(), mAngleButton90.data(),
                                    mAngleButton180.data()})
        if (button != nullptr) connectButtonAction(button);
    mAttachedLinearSlider = nullptr;
    mSyncLinearSlider = nullptr;
}

// A button of the angle row with the nib property "angle" puts that angle into the exact-angle
// field; every button then turns the rotation view to the field's angle. Woken twice, a button
// is connected once.
void NSUIBigControlsView::connectButtonAction(QAbstractButton *button) {
    disconnect(button, &QAbstractButton::clicked, this, nullptr);
    connect(button, &QAbstractButton::clicked, this, [this, button = QPointer<QAbstractButton>(button)] {
        if (button == nullptr) return;
        const QVariant angle = button->property("angle");
        if (angle.isValid() && mExactAngleTextView != nullptr) mExactAngleTextView->setDoubleValue(angle.toDouble());
        onExactAngleClick(button);
    });
}

bool NSUIBigControlsView::acceptsFirstMouse(QMouseEvent *) const { return true; }

void NSUIBigControlsView::attachRadialSlider(QObject *slider) {
    if (!VERIFY(mSliderView)) return;
    // One kind at a time: a linear slider left attached behind the radial controls would make its
    // next attach a mere refresh, with its large slider still hidden.
    detachLinearSlider();
    showRadialControls(true);
    if (qobject_cast<NSSlider *>(slider) != nullptr)
        mSliderView->attachSlider(slider);
    else
        mSliderView->detachSliderControl(false);
}

void NSUIBigControlsView::applyRadialAttach(QObject *) {
    if (mSliderView != nullptr) mSliderView->detachSliderControl(false);
}

void NSUIBigControlsView::cancelRadialAttach(QObject *) {
    if (mSliderView != nullptr) mSliderView->detachSliderControl(true);
}

void NSUIBigControlsView::detachRadialSlider(QObject *) {
    if (!VERIFY(mSliderView)) return;
    showRadialControls(false);
    mSliderView->detachSliderControl(false);
}

void NSUIBigControlsView::onExactAngleClick(QObject *) {
    if (!VERIFY(mSliderView)) return;
    if (!VERIFY(mExactAngleTextView)) return;
    mSliderView->takeFloatValueFrom(mExactAngleTextView);
}

void NSUIBigControlsView::radialSliderValueChanged(const QVariant &) {}

void NSUIBigControlsView::radialSliderViewChanged(const QVariant &) {}

void NSUIBigControlsView::attachLinearSlider(QObject *slider) {
    if (!VERIFY(mVerticalSlider)) return;
    if (!VERIFY(mHorizontalSlider)) return;
    detachRadialSlider(this);
    auto *smallSlider = qobject_cast<NSSlider *>(slider);
    if (smallSlider == nullptr) {
        detachLinearSlider();
        return;
    }
    NSSlider *large = smallSlider->height() > smallSlider->width() ? mVerticalSlider.data() : mHorizontalSlider.data();
    attachLinearSliderControl(smallSlider, large);
}

void NSUIBigControlsView::attachLinearSliderControl(NSSlider *slider, NSSlider *syncLinearSlider) {
    if (slider != nullptr && slider == mAttachedLinearSlider) {
        takeLinearSliderValueFromAttached();
        return;
    }
    detachLinearSlider();
    showRadialControls(false);
    mAttachedLinearSlider = slider;
    if (!VERIFY_TEXT(slider != nullptr, " code : mAttachedLinearSlider = inSlider")) return;
    mSyncLinearSlider = syncLinearSlider;
    showLinearControl(syncLinearSlider);
    if (syncLinearSlider != nullptr) {
        syncLinearSlider->setNumberOfTickMarks(slider->numberOfTickMarks());
        syncLinearSlider->setAllowsTickMarkValuesOnly(slider->allowsTickMarkValuesOnly());
        syncLinearSlider->setMinValue(slider->minValue());
        syncLinearSlider->setMaxValue(slider->maxValue());
    }
    takeLinearSliderValueFromAttached();
}

void NSUIBigControlsView::takeLinearSliderValueFromAttached() {
    if (!VERIFY(mAttachedLinearSlider)) return;
    if (!VERIFY(mSyncLinearSlider)) return;
    mSyncLinearSlider->setDoubleValue(mAttachedLinearSlider->doubleValue());
}

void NSUIBigControlsView::linearSliderValueChanged(QObject *sender) {
    NSSlider *smallSlider = mAttachedLinearSlider.data();
    auto *large = qobject_cast<NSSlider *>(sender);
    if (smallSlider == nullptr || large == nullptr) return;
    if (mSyncLinearSlider != nullptr) {
        if (smallSlider->allowsTickMarkValuesOnly())
            mSyncLinearSlider->setIntValue(large->intValue());
        else
            mSyncLinearSlider->setDoubleValue(large->doubleValue());
    }
    smallSlider->setDoubleValue(large->doubleValue());
    smallSlider->sendAction();
}

void NSUIBigControlsView::detachLinearSlider() {
    mAttachedLinearSlider = nullptr;
    mSyncLinearSlider = nullptr;
    showLinearControls(false);
}

void NSUIBigControlsView::showLinearControl(QObject *largeSlider) {
    const bool vertical = largeSlider != nullptr && largeSlider == mVerticalSlider;
    const bool horizontal = largeSlider != nullptr && largeSlider == mHorizontalSlider;
    if (mVerticalSlider != nullptr) mVerticalSlider->setVisible(vertical);
    if (mHorizontalSlider != nullptr) mHorizontalSlider->setVisible(horizontal);
}

void NSUIBigControlsView::showLinearControls(bool show) {
    if (mVerticalSlider != nullptr) mVerticalSlider->setVisible(show);
    if (mHorizontalSlider != nullptr) mHorizontalSlider->setVisible(show);
}

void NSUIBigControlsView::showRadialControls(bool show) {
    for (QWidget *control :
         {static_cast<QWidget *>(mSliderView.data()), static_cast<QWidget *>(mExactAngleTextView.data()),
          static_cast<QWidget *>(mAngleButtonSet.data()), static_cast<QWidget *>(mAngleButton_90.data()),
          static_cast<QWidget *>(mAngleButton_45.data()), static_cast<QWidget *>(mAngleButton0.data()),
          static_cast<QWidget *>(mAngleButton45.data()), static_cast<QWidget *>(mAngleButton90.data()),
          static_cast<QWidget *>(mAngleButton180.data())})
        if (control != nullptr) control->setVisible(show);
}

bool import_NSUIBigControlsView() {
    VERIFY(import_NSUISliderRotationView());
    VERIFY(import_NSUITextFieldForwarder());
    return true;
}
