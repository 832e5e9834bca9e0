#include "ZodAzerMaskViewNibbler.h"

#include "ZodAzerMaskImages.h"

#include <AppKit/NSButton.h>
#include <CocoaGraphics/NSCGMaskContextFromImageView.h>
#include <CocoaQZ/CIControls/CIImageMouseDragView.h>
#include <CocoaQZ/CoreImage/QCIBorrowChromaFilter.h>
#include <CocoaQZ/CoreImage/QCIInvertGreyAlphaMask.h>
#include <CocoaQZ/CoreImage/QCIMakeGreyAlphaMask.h>
#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSException.h>
#include <Foundation/NSObjCRuntime.h>
#include <NSUIMaskInstanceNibbler/NSUIMaskCompositeLayers.h>
#include <NSUIMaskInstanceNibbler/NSUIMaskController.h>
#include <NSUIMaskInstanceNibbler/NSUIMaskImageViewController.h>
#include <QuartzComposer/QCRenderer.h>

#include <QAbstractButton>

NS_REGISTER_CLASS(ZodAzerMaskViewNibbler);
NS_REGISTER_CLASS(FilterMaskControllerView);
NS_REGISTER_CLASS(ZodAzerMaskInstanceController);
NS_REGISTER_CLASS(ZodAzerMaskInstance);
NS_REGISTER_CLASS(ZodAzerMultiViewPopUpBox);

namespace {

constexpr double kStageWidthPixels = 640;
constexpr double kStageHeightPixels = 480;

// A check box's state: NSButton's, a Qt button's check state, else the "state" property.
int SwitchState(QObject *box) {
    if (box == nullptr) return 0;
    if (auto *button = qobject_cast<NSButton *>(box)) return button->state();
    if (auto *button = qobject_cast<QAbstractButton *>(box)) return button->isChecked() ? 1 : 0;
    return box->property("state").toInt();
}

void SwitchOff(QObject *box) {
    if (box == nullptr) return;
    if (auto *button = qobject_cast<NSButton *>(box))
        button->setState(0);
    else if (auto *button = qobject_cast<QAbstractButton *>(box))
        button->setChecked(false);
    else
        box->setProperty("state", 0);
}

// The filter's output for the inputs; the image itself without a filter (a step whose filter
// is not made yet is off).
CIImageRef Apply(const CIFilterRef &filter, const char *imageKey, const CIImageRef &image, const char *otherKey,
                 const CIImageRef &other) {
    if (filter == nullptr) return image;
    filter->setValue(image, imageKey);
    filter->setValue(other, otherKey);
    return filter->outputImage();
}

}  // namespace

// ---- FilterMaskControllerView ------------------------------------------------------------------

FilterMaskControllerView::FilterMaskControllerView(QWidget *parent) : NSUIMaskControllerView(parent) {}

FilterMaskControllerView::~FilterMaskControllerView() { mMaskCIImage.reset(); }

void FilterMaskControllerView::onMaskChanged(QObject *sender) {
    NSUIMaskControllerView::onMaskChanged(sender);
    updateMaskCIImage();
}

void FilterMaskControllerView::maskContextChanged(QObject *sender) {
    NSUIMaskControllerView::maskContextChanged(sender);
    updateMaskCIImage();
}

void FilterMaskControllerView::updateMaskCIImage() {
    NSUIMaskController *controller = maskController();
    if (controller == nullptr || controller->isPrivateNullContext()) return;
    CoreGraphics::CompositeMask *composite = controller->compositeMask();
    if (composite == nullptr || !NSUIMaskCompositeLayers::IsConstructed(*composite)) return;
    const CGSize size = NSUIMaskCompositeLayers::Dimensions(*composite);
    const std::vector<uint8_t> bytes = NSUIMaskCompositeLayers::Bytes(*composite, NSUIMaskCompositeLayers::Layer::Composite);
    const size_t width = size_t(size.width), height = size_t(size.height);
    if (width == 0 || height == 0 || bytes.size() < width * height) return;
    if (CIImageRef image = ZodAzerMaskImages::imageOfGreyBytes(bytes.data(), width, height, bytes.size() / height))
        mMaskCIImage = std::move(image);
}

// ---- ZodAzerMaskViewNibbler --------------------------------------------------------------------

ZodAzerMaskViewNibbler::ZodAzerMaskViewNibbler(QWidget *parent) : NSUIViewNibbler(parent) {}

ZodAzerMaskViewNibbler::~ZodAzerMaskViewNibbler() {
    if (mQuartzImageFilter != nullptr) mQuartzImageFilter->setDelegate(nullptr);
    mQuartzImageFilter.reset();
    mInputCIImage.reset();
    mStencilCIImage.reset();
    mSampleBlendMultiply.reset();
    mSampleMaskFilter.reset();
    mInvertColorsFilter.reset();
    mTintBlendMultiply.reset();
    mTintMaskFilter.reset();
    mTintImageFilter.reset();
}

QObject *ZodAzerMaskViewNibbler::filterMaskControllerObject() const { return mFilterMaskController.data(); }

void ZodAzerMaskViewNibbler::setFilterMaskController(QObject *controller) {
    mFilterMaskController = qobject_cast<NSUIMaskController *>(controller);
}

void ZodAzerMaskViewNibbler::setSampledMaskController(QObject *controller) {
    mSampledMaskController = qobject_cast<NSUIMaskImageViewController *>(controller);
}

void ZodAzerMaskViewNibbler::setQuartzImageFilter(std::shared_ptr<QTZImageFilterUnit> unit) {
    if (mQuartzImageFilter != nullptr && mQuartzImageFilter != unit) mQuartzImageFilter->setDelegate(nullptr);
    mQuartzImageFilter = std::move(unit);
}

// ---- protocol_QTZTintMaskFilter ----------------------------------------------------------------

void ZodAzerMaskViewNibbler::setInputImage(CIImageRef image) { mInputCIImage = std::move(image); }

void ZodAzerMaskViewNibbler::setInputImage(CGImageRef image) {
    try {
        mInputCIImage = image != nullptr ? CIImage::imageWithCGImage(image) : nullptr;
    } catch (const NSException &exception) {
        NSLog(QStringLiteral("ZodAzerMaskViewNibbler::setInputImage:inputImage:%1\nexception%2\n")
                  .arg(QStringLiteral("CGImage"), exception.description()));
    }
}

CIImageRef ZodAzerMaskViewNibbler::outputImage() {
    CIImageRef result;
    if (mInputCIImage != nullptr) {
        ZodAzerController *tint = tintController();
        result = imageByApplyingTintingOperation(mInputCIImage, tint != nullptr ? tint->selectedTintImage() : nullptr);
        result = imageByApplyingSampleFilterOperation(result, mStencilCIImage);
        result = imageByApplyingMaskFilterOperation(result, filterMaskCIImage());
    }
    if (!VERIFY_TEXT(result != nullptr, " code : outputImage")) return nullptr;
    return result;
}

void ZodAzerMaskViewNibbler::resetDefaultValues(QObject *sender) {
    for (QPointer<QObject> &box : mSwitches) SwitchOff(box.data());
    if (ZodAzerController *tint = tintController()) tint->resetDefaultValues(sender);
    if (mSampledMaskController != nullptr) mSampledMaskController->maskControlsReset(sender);
    if (mFilterMaskController != nullptr) mFilterMaskController->resetAllControls(sender);
}

void ZodAzerMaskViewNibbler::updateNibblerChanged(QObject *) {
    updateCachedStencilMaskImage();
    if (mFilterMaskController != nullptr) mFilterMaskController->updateMaskContext();
    if (mSampledMaskController != nullptr) mSampledMaskController->imageChanged(this);
    if (ZodAzerController *tint = tintController()) tint->updateTintController();
}

QObject *ZodAzerMaskViewNibbler::imageTintController() const {
    QObject *controller = nibblerController();
    VERIFY_TEXT(qobject_cast<ZodAzerController *>(controller) != nullptr, " code : self.nibblerController");
    return controller;
}

QObject *ZodAzerMaskViewNibbler::sampledMaskController() const { return mSampledMaskController.data(); }

NSUIMaskController *ZodAzerMaskViewNibbler::filterMaskController() const { return mFilterMaskController.data(); }

QList<QObject *> ZodAzerMaskViewNibbler::tintGradientPointControls() const {
    ZodAzerController *tint = tintController();
    CIImageMouseDragView *view = tint != nullptr ? tint->gradientDragView() : nullptr;
    if (view == nullptr) return {};
    return {view->sliderX0(), view->sliderY0(), view->sliderX1(), view->sliderY1()};
}

// ---- The stage ---------------------------------------------------------------------------------

ZodAzerController *ZodAzerMaskViewNibbler::tintController() const {
    return qobject_cast<ZodAzerController *>(nibblerController());
}

bool ZodAzerMaskViewNibbler::switchOn(int index) const { return SwitchState(mSwitches[index].data()) != 0; }
bool ZodAzerMaskViewNibbler::applyFilterMaskDuringTintOperation() const { return switchOn(0); }
bool ZodAzerMaskViewNibbler::createAlphaDuringFilterMaskOperation() const { return switchOn(1); }
bool ZodAzerMaskViewNibbler::applySampleMaskOperation() const { return switchOn(2); }
bool ZodAzerMaskViewNibbler::createAlphaDuringSampleMaskOperation() const { return switchOn(3); }
bool ZodAzerMaskViewNibbler::applyChromaTintDuringMaskOperation() const { return switchOn(4); }

CIImageRef ZodAzerMaskViewNibbler::imageByApplyingTintingOperation(const CIImageRef &image,
                                                                   const CIImageRef &tintImage) const {
    if (image == nullptr || mTintImageFilter == nullptr || !applyChromaTintDuringMaskOperation()) return image;
    if (tintImage == nullptr) return image;
    ZodAzerController *tint = tintController();
    mTintImageFilter->setValue(image, kCIInputImageKey);
    mTintImageFilter->setValue(tintImage, "inputMaskImage");
    mTintImageFilter->setValue(tint != nullptr ? tint->tintAmount() : 0.0, "inputAmountNormal");
    return mTintImageFilter->outputImage();
}

CIImageRef ZodAzerMaskViewNibbler::imageByApplyingSampleFilterOperation(const CIImageRef &image,
                                                                        const CIImageRef &maskImage) const {
    if (image == nullptr) return nullptr;
    if (!applySampleMaskOperation() || maskImage == nullptr) return image;
    if (createAlphaDuringSampleMaskOperation())
        return Apply(mSampleMaskFilter, kCIInputImageKey, image, "inputMaskImage", maskImage);
    return Apply(mSampleBlendMultiply, kCIInputImageKey, image, "inputBackgroundImage", maskImage);
}

CIImageRef ZodAzerMaskViewNibbler::imageByApplyingMaskFilterOperation(const CIImageRef &image,
                                                                      const CIImageRef &maskImage) const {
    if (image == nullptr || mTintMaskFilter == nullptr || !applyFilterMaskDuringTintOperation()) return image;
    if (maskImage == nullptr) return image;
    if (createAlphaDuringFilterMaskOperation())
        return Apply(mTintMaskFilter, kCIInputImageKey, image, "inputMaskImage", maskImage);
    if (mInvertColorsFilter == nullptr || mTintBlendMultiply == nullptr) return image;
    mInvertColorsFilter->setValue(maskImage, kCIInputImageKey);
    return Apply(mTintBlendMultiply, kCIInputImageKey, image, "inputBackgroundImage", mInvertColorsFilter->outputImage());
}

CIImageRef ZodAzerMaskViewNibbler::tintMaskWithQuartzComposition(const CIImageRef &image, const CIImageRef &,
                                                                 const CIImageRef &) {
    if (mQuartzImageFilter == nullptr) return image;
    mQuartzImageFilter->setInputImage(image);
    return mQuartzImageFilter->outputImage();
}

bool ZodAzerMaskViewNibbler::qtzImageRenderUnit(QTZImageRenderUnit *, QCRenderer *renderer) {
    try {
        if (renderer == nullptr) return false;
        ZodAzerController *tint = tintController();
        const CIImageRef mask = filterMaskCIImage();
        const CIImageRef tintImage = tint != nullptr ? tint->selectedTintImage() : nullptr;
        if (mask == nullptr || tintImage == nullptr) return false;
        renderer->setValue(mask, "inputMaskImage");
        renderer->setValue(1.0, "inputMaskAmount");
        if (tint != nullptr) {
            renderer->setValue(tintImage, "inputTintImage");
            renderer->setValue(tint->tintAmount(), "inputTintAmount");
            renderer->setValue(applyChromaTintDuringMaskOperation(), "inputTintEnabled");
            renderer->setValue(applyFilterMaskDuringTintOperation(), "inputMaskEnabled");
            return true;
        }
        renderer->setValue(0.0, "inputTintAmount");
        return false;
    } catch (const NSException &exception) {
        NSLog(QStringLiteral("ZodAzerMaskViewNibbler::qtzImageRenderUnit:%1 setRenderInputs:%2\nexception:%3")
                  .arg(QStringLiteral("QTZImageRenderUnit"), QStringLiteral("QCRenderer"), exception.description()));
        return false;
    }
}

CIImageRef ZodAzerMaskViewNibbler::filterMaskCIImage() const {
    return mFilterMaskControllerView != nullptr ? mFilterMaskControllerView->maskCIImage() : nullptr;
}

void ZodAzerMaskViewNibbler::updateCachedStencilMaskImage() {
    if (mSampledMaskController == nullptr) return;
    if (CIImageRef image = ZodAzerMaskImages::imageOfMaskContext(mSampledMaskController->maskContext()))
        mStencilCIImage = std::move(image);
}

void ZodAzerMaskViewNibbler::awakeFromNibbler() {
    NSUIViewNibbler::awakeFromNibbler();
    if (mFilterMaskController != nullptr) {
        const color_4D clear = {0, 0, 0, 0.001f};
        mFilterMaskController->setBoxBorderColor(clear);
        mFilterMaskController->setBoxFillColor(clear);
    }
    if (mSampledMaskController != nullptr) updateCachedStencilMaskImage();
}

bool ZodAzerMaskViewNibbler::installNibblerSubView() {
    const bool installed = NSUIViewNibbler::installNibblerSubView();
    if (!installed) return installed;
    try {
        if (mMultiViewBox != nullptr) {
            mMultiViewBox->setHidden(false);
            mMultiViewBox->selectDefaultPanel(this);
            mMultiViewBox->update();
        }
        if (mSampledMaskController != nullptr)
            mSampledMaskController->setMaskSizePixels(NSMakeSize(kStageWidthPixels, kStageHeightPixels));
        if (mFilterMaskController != nullptr) {
            mFilterMaskController->setMaskDimensions(CGSizeMake(kStageWidthPixels, kStageHeightPixels));
            mFilterMaskController->setQuickDrawMaskDefaults();
            mFilterMaskController->resetBoxControls(this);
        }
        if (mFilterMaskControllerView != nullptr) mFilterMaskControllerView->onMaskChanged(this);
    } catch (const NSException &exception) {
        NSLog(QStringLiteral("ZodAzerMaskViewNibbler::installNibblerSubView:exception:%1\n").arg(exception.description()));
    }
    makeStageFilters();
    return installed;
}

void ZodAzerMaskViewNibbler::makeStageFilters() {
    try {
        QCIMakeGreyAlphaMask::dynamicFilterRegisterClass();
        QCIInvertGreyAlphaMask::dynamicFilterRegisterClass();
        QCIBorrowChromaFilter::dynamicFilterRegisterClass();
        mInvertColorsFilter = CIFilter::filterWithName("CIColorInvert");
        mSampleBlendMultiply = CIFilter::filterWithName("CIMultiplyBlendMode");
        mTintBlendMultiply = CIFilter::filterWithName("CIMultiplyBlendMode");
        mSampleMaskFilter = QCIMakeGreyAlphaMask::filterWithDefaults();
        mTintMaskFilter = QCIInvertGreyAlphaMask::filterWithDefaults();
        mTintImageFilter = QCIBorrowChromaFilter::filterWithDefaults();
        auto unit = QTZImageRenderUnit::imageFilterUnitWithCompositionID<QTZImageFilterUnit>(kTintMaskCompositionID);
        unit->setDelegate(this);
        setQuartzImageFilter(std::move(unit));
    } catch (const NSException &exception) {
        NSLog(QStringLiteral("ZodAzerMaskViewNibbler::installNibblerSubView:exception:%1\n").arg(exception.description()));
    }
}

bool import_ZodAzerMaskViewNibbler() {
    return import_ZodAzerController() && import_ZodAzerMaskImages() && import_QCIBorrowChromaFilter() &&
           import_QCIInvertGreyAlphaMask() && import_QCIMakeGreyAlphaMask() && import_QTZImageFilterUnit();
}
