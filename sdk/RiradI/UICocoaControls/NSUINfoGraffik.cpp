#include "NSUINfoGraffik.h"

#include <CocoaGraphics/UFOffscreenBitmapGraphicsContext.h>
#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(NSUINfoGraffik);

// ---- NSUIToolButton(NSUINfoGraffik)

NSUINfoGraffikImageMaker NSUIToolButton_ButtonCellImageClass(const NSUIToolButton *) {
    return &NSUINfoGraffikImage::buttonImageForSizeState;
}

void NSUIToolButton_SetButtonCellImagesForKind(NSUIToolButton *button, const QString &name, int kind) {
    if (button == nullptr || button->cell() == nullptr || name.isEmpty()) return;
    const NSUINfoGraffikImageMaker maker = NSUIToolButton_ButtonCellImageClass(button);
    const NSSize size = NSMakeSize(button->width(), button->height());
    if (std::shared_ptr<NSImage> off = maker(button, name, size, NSControlStateValueOff, kind))
        button->NSButton::setImage(std::move(off));
    if (std::shared_ptr<NSImage> on = maker(button, name, size, NSControlStateValueOn, kind))
        button->NSButton::setAlternateImage(std::move(on));
}

void NSUIToolButton_InitInfoGraffik(NSUIToolButton *button, int kind) {
    if (button != nullptr) NSUIToolButton_SetButtonCellImagesForKind(button, button->NSButton::title(), kind);
}

// ---- NSUINfoGraffik

NSUINfoGraffik::NSUINfoGraffik(QWidget *parent) : NSUINfoGraffik(0, parent) {}

NSUINfoGraffik::NSUINfoGraffik(int kind, QWidget *parent) : NSUIToolButton(parent), mButtonKind(kind) {
    initToolAttributes();
}

NSUINfoGraffik::~NSUINfoGraffik() = default;

bool NSUINfoGraffik::isButtonNamed(const QString &name) const {
    return !mButtonName.isEmpty() && mButtonName.compare(name, Qt::CaseInsensitive) == 0;
}

void NSUINfoGraffik::setButtonImageName(const QString &name) {
    if (isButtonNamed(name)) return;
    mButtonName = name;
    updateButtonImages();
}

void NSUINfoGraffik::updateButtonImages() {
    NSUIToolButton_SetButtonCellImagesForKind(this, mButtonName, mButtonKind);
    update();
}

void NSUINfoGraffik::setImage(std::shared_ptr<NSImage> image) {
    setButtonImageName(image != nullptr ? image->name() : QString());
}

void NSUINfoGraffik::initToolAttributes() {
    mButtonName.clear();
    mButtonName = NSButton::title();
    NSUIToolButton_InitInfoGraffik(this, mButtonKind);
    NSUIToolButton::initToolAttributes();
}

void NSUINfoGraffik::initCellAttributes(NSButtonCell *buttonCell) {
    NSUIToolButton::initCellAttributes(buttonCell);
    if (buttonCell != nullptr) buttonCell->setCellAttribute(NSCellLightsByContents, 1);
}

void NSUINfoGraffik::awakeFromNib() {
    // Not the tool button's initToolAttributes: the nib's title has become the name already.
    initCellAttributes(cell());
    if (delegate() != nullptr && !mButtonName.isEmpty()) updateButtonImages();
}

bool import_NSUINfoGraffik() {
    import_UFOffscreenBitmapGraphicsContext();
    return import_NSUIToolButton();
}
