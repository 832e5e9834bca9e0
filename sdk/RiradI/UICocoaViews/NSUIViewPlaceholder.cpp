#include <UICocoaViews/NSUIViewPlaceholder.h>

#include <UICocoaViews/NSUIViewHolder.h>

#include <AppKit/NSView.h>
#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSObjCRuntime.h>

#include <QResizeEvent>

NS_REGISTER_CLASS(NSUIViewPlaceholder);

NSUIViewPlaceholder::NSUIViewPlaceholder(QWidget *parent) : QWidget(parent), mFittedSize(size()) {
    NSUIViewPlaceholder::initViewAttributes();
}

NSUIViewPlaceholder::~NSUIViewPlaceholder() = default;

void NSUIViewPlaceholder::initViewAttributes() {}

void NSUIViewPlaceholder::awakeFromNib() {
    if (QWidget *view = installThisView()) installView(view);
}

void NSUIViewPlaceholder::installView(QWidget *view) {
    if (view == nullptr || view == this) return;
    followSize();
    NSView::addSubview(this, view);
    const QSize own = view->size();  // its size as laid out before
    NSView::resizeWithOldSuperviewSize(view, own);
    update();
}

void NSUIViewPlaceholder::installSender(QObject *sender) {
    if (auto *view = qobject_cast<QWidget *>(sender)) {
        installView(view);
        return;
    }
    _CoreMachDebugVerifyBody("-[NSUIViewPlaceholder installSender:]", "/Code/sdk/RiradI/UICocoaViews/NSUIViewPlaceholder",
                             54, " code : sender");
}

bool NSUIViewPlaceholder::acceptsFirstMouse(QEvent *) const { return true; }

void NSUIViewPlaceholder::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    followSize();
}

void NSUIViewPlaceholder::followSize() {
    if (mFittedSize == size()) return;
    NSView::resizeSubviewsWithOldSize(this, mFittedSize);
    mFittedSize = size();
}

bool import_NSUIViewPlaceholder() { return import_NSUIViewHolder(); }
