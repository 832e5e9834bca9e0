#include "NSUIColorMenuViewController.h"

#include "NSUIColorMenuViewNibbler.h"
#include "NSUIColorWheelViewNibbler.h"

#include <AppKit/NSImage.h>
#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSObjCRuntime.h>

#include <QBuffer>
#include <QImage>
#include <QImageWriter>

NS_REGISTER_CLASS(NSUIColorMenuViewController);

namespace {

// The image's first bitmap as TIFF; empty when there is none or the writer fails.
QByteArray TIFFRepresentation(const NSImage &image) {
    if (image.representations().empty()) return {};
    const QImage pixels = image.representations().front()->toQImage();
    if (pixels.isNull()) return {};
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "tiff");
    if (!writer.write(pixels)) {
        NSLog(QStringLiteral("NSUIColorMenuViewController: the preview cannot be written as TIFF: %1")
                  .arg(writer.errorString()));
        return {};
    }
    return data;
}

}  // namespace

NSUIColorMenuViewController::NSUIColorMenuViewController(QObject *parent) : NSObject(parent) {}

NSUIColorMenuViewController::~NSUIColorMenuViewController() {
    disconnect(mPreviewConnection);
    disconnect(mFlagConnection);
}

NSUIColorWheelViewNibbler *NSUIColorMenuViewController::outletColorWheelViewNibbler() const {
    return mColorWheelViewNibbler.data();
}

void NSUIColorMenuViewController::setOutletColorWheelViewNibbler(NSUIColorWheelViewNibbler *nibbler) {
    if (mColorWheelViewNibbler == nibbler) return;
    disconnect(mPreviewConnection);
    mColorWheelViewNibbler = nibbler;
    if (nibbler != nullptr)
        mPreviewConnection = connect(nibbler, &NSUIColorWheelViewNibbler::colorWheelPreviewImageChanged, this,
                                     &NSUIColorMenuViewController::colorWheelPreviewImageDataChanged);
    emit colorWheelPreviewImageDataChanged();
}

NSUIColorMenuViewNibbler *NSUIColorMenuViewController::outletColorMenuViewNibbler() const {
    return mColorMenuViewNibbler.data();
}

void NSUIColorMenuViewController::setOutletColorMenuViewNibbler(NSUIColorMenuViewNibbler *nibbler) {
    if (mColorMenuViewNibbler == nibbler) return;
    disconnect(mFlagConnection);
    mColorMenuViewNibbler = nibbler;
    if (nibbler != nullptr)
        mFlagConnection = connect(nibbler, &NSUIColorMenuViewNibbler::showPreviewThumbnailImageChanged, this, [this] {
            emit showPreviewThumbnailImageChanged();
            emit colorWheelPreviewImageDataChanged();
        });
    emit showPreviewThumbnailImageChanged();
    emit colorWheelPreviewImageDataChanged();
}

void NSUIColorMenuViewController::awakeFromNib() {
    QWidget *view = mViewHostedInMenuItem.data();
    QWidgetAction *item = mMenuItemHostsView.data();
    if (view == nullptr || item == nullptr) return;
    if (item->defaultWidget() == view) return;
    item->setDefaultWidget(view);
    if (item->defaultWidget() != view) return;  // the present view is in use
    // A menu asks an action for its widget when the action is added; a menu (or any widget)
    // that holds the item already takes it again, at the same place, so that it shows the view.
    for (QObject *holder : item->associatedObjects()) {
        auto *widget = qobject_cast<QWidget *>(holder);
        if (widget == nullptr) continue;
        const QList<QAction *> actions = widget->actions();
        const qsizetype index = actions.indexOf(item);
        if (index < 0) continue;
        QAction *before = index + 1 < actions.size() ? actions[index + 1] : nullptr;
        widget->removeAction(item);
        widget->insertAction(before, item);
    }
}

bool NSUIColorMenuViewController::showPreviewThumbnailImage() const {
    return mColorMenuViewNibbler != nullptr && mColorMenuViewNibbler->showPreviewThumbnailImage();
}

QByteArray NSUIColorMenuViewController::colorWheelPreviewImageData() const {
    if (!showPreviewThumbnailImage() || mColorWheelViewNibbler == nullptr) return {};
    const std::shared_ptr<NSImage> preview = mColorWheelViewNibbler->colorWheelPreviewImage();
    if (preview == nullptr) return {};
    return TIFFRepresentation(*preview);
}

bool import_NSUIColorMenuViewController() { return true; }
