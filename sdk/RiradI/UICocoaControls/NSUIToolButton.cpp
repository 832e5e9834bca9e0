#include "NSUIToolButton.h"

#include <CocoaGraphics/CGContextCurrentSaveGState.h>

#include <CoreX/CoreMachDebugLog.h>

#include <QApplication>
#include <QPalette>

namespace {

constexpr const char *kFile = "/Code/sdk/RiradI/UICocoaControls/NSUIToolButton";

QColor Grey(double grey, double alpha) { return QColor::fromRgbF(float(grey), float(grey), float(grey), float(alpha)); }

}  // namespace

// ---- NSUIToolButtonDelegate: nothing answered unless overridden

std::optional<QColor> NSUIToolButtonDelegate::toolButtonFillColorForState(NSUIToolButton *, int) {
    return std::nullopt;
}

std::optional<QColor> NSUIToolButtonDelegate::toolButtonStrokeColorForState(NSUIToolButton *, int) {
    return std::nullopt;
}

std::optional<double> NSUIToolButtonDelegate::toolButtonImageOpacityForState(NSUIToolButton *, int) {
    return std::nullopt;
}

// ---- NSUIToolButton

NSUIToolButton::NSUIToolButton(QWidget *parent) : NSButton(parent) { initToolAttributes(); }

NSUIToolButton::~NSUIToolButton() = default;

void NSUIToolButton::awakeFromNib() { initToolAttributes(); }

void NSUIToolButton::initToolAttributes() {
    NSButtonCell *buttonCell = cell();
    if (buttonCell == nullptr) {
        _CoreMachDebugVerifyBody("-[NSUIToolButton initToolAttributes]", kFile, __LINE__, " code : buttonCell");
        return;
    }
    // Virtual: a subclass's settings apply from its own constructor (which calls this again).
    initCellAttributes(buttonCell);
}

void NSUIToolButton::initCellAttributes(NSButtonCell *buttonCell) {
    if (!setDefaultCellAttributes(buttonCell))
        _CoreMachDebugVerifyBody("-[NSUIToolButton initCellAttributes:]", kFile, __LINE__,
                                 " code : [NSUIToolButton setDefaultCellAttributes:buttonCell]");
}

bool NSUIToolButton::setDefaultCellAttributes(NSButtonCell *buttonCell) {
    if (buttonCell == nullptr) {
        _CoreMachDebugVerifyBody("+[NSUIToolButton setDefaultCellAttributes:]", kFile, __LINE__, " code : buttonCell");
        return false;
    }
    buttonCell->setBezelStyle(NSBezelStyleShadowlessSquare);
    buttonCell->setImagePosition(NSImageOnly);
    buttonCell->setBezeled(false);
    buttonCell->setBordered(false);
    buttonCell->setTitle(QString());
    buttonCell->setHighlightsBy(NSNoCellMask);
    buttonCell->setShowsStateBy(NSNoCellMask);
    buttonCell->setCellAttribute(NSCellLightsByBackground, 0);
    buttonCell->setCellAttribute(NSCellLightsByGray, 0);
    buttonCell->setCellAttribute(NSCellLightsByContents, 0);
    return true;
}

NSUIToolButtonDelegate *NSUIToolButton::toolDelegate() const {
    return dynamic_cast<NSUIToolButtonDelegate *>(mDelegate.data());
}

QColor NSUIToolButton::buttonFillColorForState(int state) {
    if (auto *delegate = toolDelegate()) {
        const std::optional<QColor> color = delegate->toolButtonFillColorForState(this, state);
        if (color && color->isValid()) return *color;
    }
    return defaultButtonFillColorForState(state);
}

QColor NSUIToolButton::buttonStrokeColorForState(int state) {
    if (auto *delegate = toolDelegate()) {
        const std::optional<QColor> color = delegate->toolButtonStrokeColorForState(this, state);
        if (color && color->isValid()) return *color;
    }
    return defaultButtonStrokeColorForState(state);
}

double NSUIToolButton::buttonImageOpacityForState(int state) {
    if (auto *delegate = toolDelegate()) {
        if (const std::optional<double> opacity = delegate->toolButtonImageOpacityForState(this, state)) return *opacity;
    }
    return defaultButtonImageOpacityForState(state);
}

QColor NSUIToolButton::defaultButtonFillColorForState(int state) const {
    return state == NSControlStateValueOn ? defaultButtonHighlightColor() : Grey(0.75, 0.25);
}

QColor NSUIToolButton::defaultButtonStrokeColorForState(int) const { return Grey(0.1, 0.8); }

double NSUIToolButton::defaultButtonImageOpacityForState(int) const { return 1.0; }

QColor NSUIToolButton::defaultButtonHighlightColor() const {
    return palette().color(QPalette::Active, QPalette::Highlight).toRgb();
}

void NSUIToolButton::setButtonKind(int) {}

int NSUIToolButton::buttonKind() const { return 0; }

// ---- NSUIToggleButton

NSUIToggleButton::NSUIToggleButton(QWidget *parent) : NSUIToolButton(parent) { initToolAttributes(); }

void NSUIToggleButton::initCellAttributes(NSButtonCell *buttonCell) {
    NSUIToolButton::initCellAttributes(buttonCell);
    if (buttonCell == nullptr) return;
    buttonCell->setCellAttribute(NSCellLightsByContents, 1);
    buttonCell->setCellAttribute(NSCellChangesContents, 1);
}

// ---- NSUIOvalToolButton

NSUIOvalToolButton::NSUIOvalToolButton(QWidget *parent) : NSUIToolButton(parent) {}

void NSUIOvalToolButton::drawRect(CGRect dirtyRect) {
    if (hasOnlyOneImage()) drawBackground(dirtyRect, state());
    NSUIToolButton::drawRect(dirtyRect);
}

void NSUIOvalToolButton::drawBackground(CGRect, int state) {
    CGContextCurrentSaveGState context;
    if (context.context() == nullptr) return;
    const QColor color = state != NSControlStateValueOff ? defaultButtonHighlightColor() : Grey(0.1, 1.0);
    CGContextSetRGBFillColor(context, color.redF(), color.greenF(), color.blueF(), 0.8);
    CGContextFillEllipseInRect(context, bounds());
}

bool import_NSUIToolButton() { return import_CGContextCurrentSaveGState(); }
