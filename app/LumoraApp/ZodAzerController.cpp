#include "ZodAzerController.h"

#include "TheOffscreenRenderer.h"

#include <AppKit/NSImageView.h>
#include <AppKit/NSSegmentedControl.h>
#include <CocoaQZ/CIControls/CIImageMouseDragView.h>
#include <Foundation/NSException.h>
#include <Foundation/NSObjCRuntime.h>
#include <UICocoaColor/NSColorWellWithAlpha.h>
#include <UICocoaColor/UFColorSchemeController.h>
#include <UICocoaControls/NSSlider.h>

#include <QAction>
#include <QComboBox>
#include <QMenu>

NS_REGISTER_CLASS(ZodAzerController);

namespace {

CGRect TintBounds() {
    return CGRectMake(0, 0, ZodAzerController::kTintWidthPixels, ZodAzerController::kTintHeightPixels);
}

std::optional<CIColor> CIColorOf(const QColor &color) {
    if (!color.isValid()) return std::nullopt;
    const QColor rgb = color.toRgb();
    return CIColor::colorWithRed(rgb.redF(), rgb.greenF(), rgb.blueF(), rgb.alphaF());
}

}  // namespace

ZodAzerController::ZodAzerController(QWidget *parent) : NSUITargetActionView(parent) {}

ZodAzerController::~ZodAzerController() {
    disconnect(mDominantObserver);
    disconnect(mSecondaryObserver);
    mCachedTintImage.reset();
    mCachedColorImage.reset();
    mCachedGradientImage.reset();
    mCachedDefaultImage.reset();
    if (mGradientRenderer != nullptr) mGradientRenderer->setDelegate(nullptr);
    mGradientRenderer.reset();
}

// ---- Outlets -----------------------------------------------------------------------------------

QObject *ZodAzerController::colorSchemeController() const { return mColorSchemeController.data(); }

void ZodAzerController::setColorSchemeController(QObject *controller) {
    disconnect(mDominantObserver);
    disconnect(mSecondaryObserver);
    mColorSchemeController = qobject_cast<UFColorSchemeController *>(controller);
    if (mColorSchemeController == nullptr) return;
    mDominantObserver = connect(mColorSchemeController.data(), &UFColorSchemeController::dominantColorChanged, this,
                                [this] {
                                    emit colorOneChanged();
                                    gradientColorsDidChange();
                                });
    mSecondaryObserver = connect(mColorSchemeController.data(), &UFColorSchemeController::secondaryColorChanged, this,
                                 [this] {
                                     emit colorTwoChanged();
                                     gradientColorsDidChange();
                                 });
}

QObject *ZodAzerController::imageView() const { return mImageView.data(); }

QObject *ZodAzerController::gradientView() const { return mGradientView.data(); }

CIImageMouseDragView *ZodAzerController::gradientDragView() const {
    return qobject_cast<CIImageMouseDragView *>(mGradientView.data());
}

void ZodAzerController::setSwapGradientColors(bool swap) {
    if (swap == mSwapGradientColors) return;
    mSwapGradientColors = swap;
    emit gradientColorsChanged();
}

void ZodAzerController::gradientColorsDidChange() {
    emit gradientColorsChanged();
    // Observed from awakeFromNib on: a new colour rebuilds the tint of the present type.
    if (mObservingColors) zodAzerControllerChanged(tintType());
}

// ---- Settings ----------------------------------------------------------------------------------

int ZodAzerController::tintType() const {
    if (auto *segments = qobject_cast<NSSegmentedControl *>(mTintTypeSelected.data())) return segments->selectedSegment();
    if (mTintTypeSelected != nullptr) return mTintTypeSelected->property("selectedSegment").toInt();
    return 0;
}

void ZodAzerController::setTintType(int type) {
    if (auto *segments = qobject_cast<NSSegmentedControl *>(mTintTypeSelected.data()))
        segments->setSelectedSegment(type);
    else if (mTintTypeSelected != nullptr)
        mTintTypeSelected->setProperty("selectedSegment", type);
    updateViewsDependentOnTintType();
}

int ZodAzerController::gradientType() const {
    if (auto *popUp = qobject_cast<QComboBox *>(mGradientType.data())) return popUp->currentIndex();
    return 0;
}

void ZodAzerController::setGradientType(int type) {
    if (auto *popUp = qobject_cast<QComboBox *>(mGradientType.data())) popUp->setCurrentIndex(type);
}

QColor ZodAzerController::colorOne() const {
    return mColorSchemeController != nullptr ? mColorSchemeController->dominantColor() : QColor();
}

void ZodAzerController::setColorOne(const QColor &color) {
    if (mColorSchemeController != nullptr) mColorSchemeController->setDominantColor(color);
    updateViewsDependentOnTintType();
}

QColor ZodAzerController::colorTwo() const {
    return mColorSchemeController != nullptr ? mColorSchemeController->secondaryColor() : QColor();
}

void ZodAzerController::setColorTwo(const QColor &color) {
    if (mColorSchemeController != nullptr) mColorSchemeController->setSecondaryColor(color);
    updateViewsDependentOnTintType();
}

QColor ZodAzerController::gradientColorOne() const { return mSwapGradientColors ? colorTwo() : colorOne(); }

QColor ZodAzerController::gradientColorTwo() const { return mSwapGradientColors ? colorOne() : colorTwo(); }

CIColor ZodAzerController::tintColor() const {
    auto *well = qobject_cast<NSColorWell *>(mColorWellOne.data());
    if (well == nullptr) return CIColor::colorWithRed(0, 0, 0, 0);
    const color_4D color = well->getColor4D();
    return CIColor::colorWithRed(color.red, color.green, color.blue, color.alpha);
}

double ZodAzerController::tintAmount() const {
    if (auto *slider = qobject_cast<NSSlider *>(mTintAmountSlider.data())) return slider->doubleValue();
    if (mTintAmountSlider != nullptr) return mTintAmountSlider->property("doubleValue").toDouble();
    return 0;
}

// ---- Tint images -------------------------------------------------------------------------------

CIImageRef ZodAzerController::tintColorImageSizedToConfiguration() const {
    return CIImage::imageWithColor(tintColor())->imageByCroppingToRect(TintBounds());
}

CIImageRef ZodAzerController::tintDefaultImageSizedToConfiguration() {
    return CIImage::imageWithColor(CIColor::colorWithRed(0.01, 0.01, 0.01, 0.01))->imageByCroppingToRect(TintBounds());
}

CIImageRef ZodAzerController::imageWellImageSizedToConfiguration() const {
    auto *view = qobject_cast<NSImageView *>(mImageView.data());
    if (view == nullptr) return nullptr;
    return NSImageView_CIImage::imageWithSizePixels(*view, float(kTintWidthPixels), float(kTintHeightPixels));
}

CIImageRef ZodAzerController::renderGradientImage() {
    CIImageRef image;
    try {
        if (mGradientRenderer != nullptr) {
            QTZImageGradientUnit &unit = *mGradientRenderer;
            unit.setInputGradientType(gradientType());
            unit.setInputColor1(CIColorOf(gradientColorOne()));
            unit.setInputColor2(CIColorOf(gradientColorTwo()));
            if (CIImageMouseDragView *view = gradientDragView()) {
                const QPointF p0 = view->p0(), p1 = view->p1();
                unit.setInput_x0_normal(float(p0.x()));
                unit.setInput_y0_normal(float(p0.y()));
                unit.setInput_x1_normal(float(p1.x()));
                unit.setInput_y1_normal(float(p1.y()));
            }
            unit.renderOutputImage();
            image = unit.cachedOutputImage();
        }
    } catch (const NSException &exception) {
        NSLog(QStringLiteral("ZodAzerController::renderGradientImage:exception:%1\n").arg(exception.description()));
    }
    if (image == nullptr) image = tintColorImageSizedToConfiguration();
    return image;
}

CIImageRef ZodAzerController::currentGradientViewImage() {
    if (!isTintGradient()) return tintColorImageSizedToConfiguration();
    if (mCachedGradientImage == nullptr) mCachedGradientImage = renderGradientImage();
    return mCachedGradientImage;
}

CIImageRef ZodAzerController::selectedTintImage() const {
    CIImageRef image;
    switch (tintType()) {
        case 0: image = mCachedGradientImage; break;
        case 1: image = mCachedColorImage; break;
        case 2: image = mCachedTintImage; break;
        default: break;
    }
    return image != nullptr ? image : mCachedDefaultImage;
}

CIImageRef ZodAzerController::tintImage() const {
    return mCachedTintImage != nullptr ? mCachedTintImage : mCachedDefaultImage;
}

void ZodAzerController::zodAzerControllerChanged(int type) {
    switch (type) {
        case 2:
            mCachedTintImage = imageWellImageSizedToConfiguration();
            if (auto *view = qobject_cast<QWidget *>(mImageView.data())) view->update();
            break;
        case 1:
            mCachedColorImage = tintColorImageSizedToConfiguration();
            if (auto *view = qobject_cast<QWidget *>(mGradientView.data())) view->update();
            break;
        case 0:
            mCachedGradientImage = renderGradientImage();
            if (auto *view = qobject_cast<QWidget *>(mGradientView.data())) view->update();
            break;
        default: break;
    }
    updateViewsDependentOnTintType();
    performTargetActionWithObject(static_cast<QObject *>(this));
}

void ZodAzerController::updateViewsDependentOnTintType() {
    const int type = tintType();
    auto *imageWell = qobject_cast<QWidget *>(mImageView.data());
    CIImageMouseDragView *gradient = gradientDragView();
    if (type == 0 || type == 1) {
        if (gradient != nullptr) {
            gradient->setSlidersHidden(type != 0);
            gradient->setImage(currentGradientViewImage());
            gradient->setHidden(false);
            for (QWidget *slider : {static_cast<QWidget *>(gradient->sliderX0()), static_cast<QWidget *>(gradient->sliderY0()),
                                    static_cast<QWidget *>(gradient->sliderX1()), static_cast<QWidget *>(gradient->sliderY1())})
                if (slider != nullptr) slider->setHidden(type != 0);
        }
        if (imageWell != nullptr) imageWell->setHidden(true);
    } else if (type == 2) {
        if (gradient != nullptr) {
            gradient->setHidden(true);
            for (QWidget *slider : {static_cast<QWidget *>(gradient->sliderX0()), static_cast<QWidget *>(gradient->sliderY0()),
                                    static_cast<QWidget *>(gradient->sliderX1()), static_cast<QWidget *>(gradient->sliderY1())})
                if (slider != nullptr) slider->setHidden(true);
        }
        if (imageWell != nullptr) imageWell->setHidden(false);
    }
    emit tintTypeChanged();
}

void ZodAzerController::setDefaultValues() {
    try {
        setSwapGradientColors(false);
        if (mGradientRenderer != nullptr) mGradientRenderer->setDelegate(nullptr);
        mGradientRenderer = QTZImageRenderUnit::defaultImageRenderUnitWithDelegate<QTZImageGradientUnit>(this);
        setColorOne(QColor(Qt::blue));
        setColorTwo(QColor(Qt::green));
        if (CIImageMouseDragView *view = gradientDragView()) {
            view->setP0(QPointF(0.25, 0.25));
            view->setP1(QPointF(0.75, 0.75));
        }
        if (mGradientRenderer != nullptr) {
            mCachedDefaultImage = tintDefaultImageSizedToConfiguration();
            mCachedColorImage = tintColorImageSizedToConfiguration();
            mCachedTintImage = imageWellImageSizedToConfiguration();
            mCachedGradientImage = renderGradientImage();
            controllerChanged(this);
        }
    } catch (const NSException &exception) {
        NSLog(QStringLiteral("ZodAzerController::awakeFromNib:exception:%1\n").arg(exception.description()));
    }
}

bool ZodAzerController::qtzImageRenderUnit(QTZImageRenderUnit *, QCRenderer *) { return true; }

// ---- Actions -----------------------------------------------------------------------------------

void ZodAzerController::awakeFromNib() {
    setDefaultValues();
    mObservingColors = true;
}

void ZodAzerController::controllerChanged(QObject *) { zodAzerControllerChanged(tintType()); }

void ZodAzerController::controllerColorChanged(QObject *) { zodAzerControllerChanged(tintType()); }

void ZodAzerController::controllerImageChanged(QObject *) { zodAzerControllerChanged(tintType()); }

void ZodAzerController::controllerGradientChanged(QObject *) { zodAzerControllerChanged(0); }

void ZodAzerController::setGradientTypeBySelectedIndexOfSender(QObject *sender) {
    auto *item = qobject_cast<QAction *>(sender);
    if (item == nullptr) return;
    int index = -1;
    const QList<QObject *> holders = item->associatedObjects();
    for (QObject *holder : holders) {
        if (auto *menu = qobject_cast<QMenu *>(holder)) {
            index = int(menu->actions().indexOf(item));
            break;
        }
    }
    if (index < 0) return;
    if (mGradientRenderer != nullptr) mGradientRenderer->setInputGradientType(index);
    controllerGradientChanged(sender);
}

void ZodAzerController::updateTintController() {
    if (CIImageMouseDragView *view = gradientDragView()) view->viewControlsWereUpdated();
    zodAzerControllerChanged(tintType());
}

void ZodAzerController::resetDefaultValues(QObject *) { setDefaultValues(); }

bool import_ZodAzerController() { return import_TheOffscreenRenderer(); }
