#include "PointelCellSlider.h"

#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSObjCRuntime.h>

#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionSlider>

#include <cmath>

NS_REGISTER_CLASS(PointelCellSlider);

namespace {

constexpr const char *kFile = "/Code/sdk/RiradI/NSUIMaskInstanceNibbler/PointelBaseControls";

NSSize CellSize(const NSViewCellAttachments::Pair &pair) { return pair.cell ? pair.cell->cellSize() : NSSize{0, 0}; }

}  // namespace

PointelCellSlider::PointelCellSlider(QWidget *parent) : PointelBaseSlider(parent) {}

PointelCellSlider::~PointelCellSlider() = default;

CGPoint PointelCellSlider::origin() const {
    CGPoint room = CGPointMake(0, 0);
    for (const auto &pair : _attachments.pairs) {
        if (isVerticalSlider())
            room.y += CellSize(pair).height;
        else
            room.x += CellSize(pair).width;
    }
    return room;
}

CGRect PointelCellSlider::sliderCellRect(CGRect rect) const {
    const CGPoint room = origin();
    if (isVerticalSlider()) {
        rect.size.height -= room.y;
    } else {
        rect.origin.x += room.x + 2;
        rect.size.width -= room.x + 2;
    }
    return rect;
}

CGRect PointelCellSlider::sliderCellBounds() const { return sliderCellRect(CGRectMake(0, 0, width(), height())); }

CGRect PointelCellSlider::sliderCellFrame() const { return sliderCellRect(CGRectMake(x(), y(), width(), height())); }

CGRect PointelCellSlider::buttonCellBounds() const {
    CGRect rect = CGRectMake(0, 0, width(), height());
    if (isVerticalSlider()) {
        rect.size.height = origin().y;
        rect.origin.x -= 1;
        rect.origin.y -= 1;
    }
    return rect;
}

std::shared_ptr<NSCell> PointelCellSlider::addButtonCell(std::shared_ptr<NSCell> cell) {
    if (cell == nullptr) {
        _CoreMachDebugVerifyBody("-[PointelCellSlider addButtonCell:]", kFile, __LINE__, " code : cell");
        return nullptr;
    }
    if (auto *button = qobject_cast<NSButtonCell *>(cell.get())) button->setControlView(this);
    cellAttachmentsAdd(this, _attachments, cell, origin());
    recalculateSliderCell();
    return cell;
}

std::shared_ptr<NSCell> PointelCellSlider::addPushButton(std::shared_ptr<NSImage> upImage,
                                                         std::shared_ptr<NSImage> downImage,
                                                         const QByteArray &action) {
    return addButtonCell(buttonCellType(NSMomentaryPushInButton, std::move(upImage), std::move(downImage), action, this));
}

std::shared_ptr<NSCell> PointelCellSlider::addPushButton(std::shared_ptr<NSImage> upImage, const QByteArray &action) {
    return addPushButton(std::move(upImage), nullptr, action);
}

void PointelCellSlider::layoutButtonCells() {
    CGFloat along = 0;
    for (auto &pair : _attachments.pairs) {
        const NSSize size = CellSize(pair);
        pair.frame = isVerticalSlider() ? CGRectMake(0, along, size.width, size.height)
                                        : CGRectMake(along, 0, size.width, size.height);
        along += isVerticalSlider() ? size.height : size.width;
    }
}

void PointelCellSlider::recalculateSliderCell() {
    layoutButtonCells();
    updateGeometry();
    update();
}

void PointelCellSlider::initStyleOption(QStyleOptionSlider *option) const {
    PointelBaseSlider::initStyleOption(option);
    if (option == nullptr) return;
    const CGRect track = sliderCellBounds();
    option->rect = QRect(int(std::lround(track.origin.x)), int(std::lround(track.origin.y)),
                         int(std::lround(std::max<CGFloat>(0, track.size.width))),
                         int(std::lround(std::max<CGFloat>(0, track.size.height))));
}

void PointelCellSlider::paintEvent(QPaintEvent *event) {
    layoutButtonCells();
    {
        QPainter painter(this);
        cellAttachmentsDraw(this, _attachments, CGRectMake(0, 0, width(), height()), painter);
    }
    PointelBaseSlider::paintEvent(event);
}

void PointelCellSlider::mousePressEvent(QMouseEvent *event) {
    layoutButtonCells();
    if (event != nullptr && event->button() == Qt::LeftButton &&
        cellAttachmentsMouseDown(this, _attachments, event)) {
        event->accept();
        return;
    }
    PointelBaseSlider::mousePressEvent(event);
}

void PointelCellSlider::mouseMoveEvent(QMouseEvent *event) {
    if (cellAttachmentsMouseDragged(this, _attachments, event)) {
        event->accept();
        return;
    }
    PointelBaseSlider::mouseMoveEvent(event);
}

void PointelCellSlider::mouseReleaseEvent(QMouseEvent *event) {
    if (cellAttachmentsMouseUp(this, _attachments, event)) {
        event->accept();
        return;
    }
    PointelBaseSlider::mouseReleaseEvent(event);
}

bool import_PointelCellSlider() { return import_NSViewCellAttachments() && import_PointelBaseSlider(); }
