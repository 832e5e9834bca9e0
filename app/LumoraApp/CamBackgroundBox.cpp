#include "CamBackgroundBox.h"

#include <AppKit/NSImageView.h>
#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSException.h>
#include <Foundation/NSObjCRuntime.h>
#include <UICocoaMenus/mutex_NSMenu.h>

NS_REGISTER_CLASS(CamBackgroundBox);

CamBackgroundBox::CamBackgroundBox(QWidget *parent) : NSUIRetroBox(parent) {}

CamBackgroundBox::~CamBackgroundBox() = default;

void CamBackgroundBox::setImageView(QObject *view) { mImageView = qobject_cast<NSImageView *>(view); }

bool CamBackgroundBox::setImageNamed(const QString &name) {
    if (!VERIFY_TEXT(!name.isNull(), " code : imageName")) return false;
    const std::shared_ptr<NSImage> image = NSImage::imageNamed(name);
    if (!VERIFY_TEXT(image != nullptr, " code : imageNamed")) return false;
    auto *view = qobject_cast<NSImageView *>(mImageView.data());
    if (!VERIFY_TEXT(view != nullptr, " code : _imageView")) return false;
    view->setImage(image);
    return true;
}

void CamBackgroundBox::imageChanged(QObject *) {
    QObject *view = mImageView.data();
    if (!VERIFY_TEXT(view != nullptr, " code : _imageView")) return;
    QObject *target = view->property("target").value<QObject *>();
    const QByteArray action = view->property("action").toByteArray();
    if (target == nullptr || action.isEmpty()) return;
    try {
        performSelector(target, action, QVariant::fromValue<QObject *>(view));
    } catch (const NSException &exception) {
        NSLog(QStringLiteral("CamBackgroundBox::imageChanged exception:%1").arg(exception.reason()));
    }
}

void CamBackgroundBox::setImageNamedBySenderTitle(QObject *sender) {
    auto *item = qobject_cast<QAction *>(sender);
    if (item == nullptr) return;
    if (setImageNamed(item->text()))
        imageChanged(item);
    else
        VERIFY_TEXT(false, " code : [self setImageNamed:[sender title]]");
    mutex_NSMenu::selectExclusive(item);
}

bool import_CamBackgroundBox() { return import_NSUIRetroBox() && import_mutex_NSMenu(); }
