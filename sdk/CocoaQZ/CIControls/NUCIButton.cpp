#include "NUCIButton.h"

#include "NUCICoreImage.h"

#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSObjCRuntime.h>

#include <QMetaObject>
#include <QResizeEvent>

NS_REGISTER_CLASS(NUCIButton);
NS_REGISTER_CLASS(NUCIRoundButton);
NS_REGISTER_CLASS(NUCIRoundRectButton);
NS_REGISTER_CLASS(NUCIRoundGradientButton);
NS_REGISTER_CLASS(NUCIRoundRectGradientButton);
NS_REGISTER_CLASS(NU70sHardwareSquareButton);
NS_REGISTER_CLASS(NU70sHardwareSquareButtonWithGreenLED);
NS_REGISTER_CLASS(NU70sHardwareRoundButton);
NS_REGISTER_CLASS(NU70sHardwareRecordButton);
NS_REGISTER_CLASS(NU70sHardwareRecordButtonWithSquareLight);

NUCIButton::NUCIButton(QWidget *parent) : NUCISquishyButton(parent) {
    setFocusPolicy(Qt::TabFocus);  // no focus ring on a click
    clearButtonCellAttributes(cell());
    NUCIButton::setButtonCellAttributes();
}

NUCIButton::~NUCIButton() = default;

CIFilterRef NUCIButton::filterWithDefaultsForState(int state) const {
    const NUCIButtonImageClass cls = buttonImageClass();
    const std::shared_ptr<NUCIButtonImage> face = cls != nullptr ? cls() : nullptr;
    return face != nullptr ? face->filterWithDefaultsForState(state) : nullptr;
}

bool NUCIButton::isButtonNamed(const QString &name) const {
    return !mButtonName.isEmpty() && mButtonName.compare(name, Qt::CaseInsensitive) == 0;
}

void NUCIButton::setButtonImageName(const QString &name) {
    if (!NSIsMainThread()) {
        QMetaObject::invokeMethod(this, [this, name] { setButtonImageName(name); }, Qt::QueuedConnection);
        return;
    }
    if (isButtonNamed(name)) return;
    setButtonCellImages(name);
    mButtonName = name;
    update();
}

void NUCIButton::setImage(const std::shared_ptr<NSImage> &image) {
    if (image == nullptr || image->name().isEmpty()) return;
    setButtonImageName(image->name());
}

bool NUCIButton::clearButtonCellAttributes(NSButtonCell *cell) {
    if (!VERIFY_TEXT(cell != nullptr, "buttonCell")) return false;
    cell->setBezelStyle(NSShadowlessSquareBezelStyle);
    cell->setImagePosition(NSImageOnly);
    cell->setBezeled(false);
    cell->setBordered(false);
    cell->setTitle(QString());
    cell->setHighlightsBy(NSNoCellMask);
    cell->setShowsStateBy(NSNoCellMask);
    cell->setCellAttribute(NSCellLightsByBackground, 0);
    cell->setCellAttribute(NSCellLightsByGray, 0);
    cell->setCellAttribute(NSCellLightsByContents, 0);
    return true;
}

void NUCIButton::setButtonCellAttributes() {
    cell()->setCellAttribute(NSCellLightsByContents, 1);
    cell()->setCellAttribute(NSCellChangesContents, 1);
}

void NUCIButton::setButtonCellImages(const QString &name) {
    if (!VERIFY_TEXT(!name.isEmpty(), "imageName")) return;
    const NSSize frame{CGFloat(width()), CGFloat(height())};
    const NUCIButtonImageClass cls = buttonImageClass();
    mButtonOffImage = NUCIButtonImage::imageNamed(cls, name, frame, 0);
    cell()->setImage(mButtonOffImage);
    mButtonOffStateFilter = filterWithDefaultsForState(0);
    mButtonOnImage = NUCIButtonImage::imageNamed(cls, name, frame, 1);
    cell()->setAlternateImage(mButtonOnImage);
    mButtonOnStateFilter = filterWithDefaultsForState(1);
    mButtonCropFilter = cropFilterForSize(CGSizeMake(frame.width, frame.height));
    const std::shared_ptr<NUCIButtonImage> face = cls != nullptr ? cls() : nullptr;
    if (face != nullptr) setSquishyAmountNormal(float(face->recommendedSquishiness()));
}

CIImageRef NUCIButton::coreImageWithNSImage(const NSImage &image) { return NUCICoreImageWithNSImage(image); }

CIImageRef NUCIButton::buttonImageForState(int state) const {
    const std::shared_ptr<NUCIButtonImage> &face = state == 1 ? mButtonOnImage : mButtonOffImage;
    return face != nullptr ? coreImageWithNSImage(*face) : nullptr;
}

CIImageRef NUCIButton::filteredButtonImageForState(int state) const {
    CIImageRef image = buttonImageForState(state);
    const CIFilterRef &filter = state == 1 ? mButtonOnStateFilter : mButtonOffStateFilter;
    if (image == nullptr || filter == nullptr) return image;
    filter->setValue(image, kCIInputImageKey);
    CIImageRef filtered = filter->outputImage();
    if (filtered == nullptr || mButtonCropFilter == nullptr) return filtered;
    mButtonCropFilter->setValue(filtered, kCIInputImageKey);
    return mButtonCropFilter->outputImage();
}

CIFilterRef NUCIButton::cropFilterForSize(CGSize size) {
    CIFilterRef crop = CIFilter::filterWithName("CICrop");
    if (crop == nullptr) return nullptr;
    crop->setDefaults();
    crop->setValue(CIVector::vectorWithX(0, 0, size.width, size.height), "inputRectangle");
    return crop;
}

void NUCIButton::makeMissingFaces() {
    // A button named before it had any area could make no face then.
    if (!mButtonName.isEmpty() && mButtonOffImage == nullptr && width() >= 1 && height() >= 1)
        setButtonCellImages(mButtonName);
}

void NUCIButton::drawRect(CGRect dirtyRect) {
    makeMissingFaces();
    // The face through Core Image; the cell's own picture when Core Image cannot draw it.
    if (!NUCIDrawCIImageInRect(filteredButtonImageForState(state() == 1 ? 1 : 0), bounds())) drawCell();
    if (buttonDownImage() != nullptr) drawSquishyImageInRect(bounds());
    (void)dirtyRect;
}

void NUCIButton::resizeEvent(QResizeEvent *event) {
    NUCISquishyButton::resizeEvent(event);
    makeMissingFaces();
    setButtonDownFilterInputValues(buttonDownFilter());
}

NU70sHardwareSquareButton::NU70sHardwareSquareButton(QWidget *parent) : NUCIButton(parent) {
    NU70sHardwareSquareButton::setButtonCellAttributes();
}

void NU70sHardwareSquareButton::setButtonCellAttributes() {
    // A momentary change button: the alternate image while pressed, no state shown.
    cell()->setButtonType(NSMomentaryChangeButton);
    cell()->setHighlightsBy(NSContentsCellMask);
    cell()->setShowsStateBy(NSNoCellMask);
}

bool import_NUCIButton() { return import_NUCISquishyButton() && import_NUCIButtonImage(); }
