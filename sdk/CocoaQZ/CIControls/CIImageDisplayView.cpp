#include "CIImageDisplayView.h"

#include "NUCICoreImage.h"

#include <Foundation/NSObjCRuntime.h>
#include <UICocoaViews/NSViewQuartzPainting.h>

#include <QMetaObject>
#include <QPainter>

NS_REGISTER_CLASS(CIImageDisplayView);

CIImageDisplayView::CIImageDisplayView(QWidget *parent) : QWidget(parent) {}
CIImageDisplayView::~CIImageDisplayView() = default;

void CIImageDisplayView::setImage(CIImageRef image) {
    if (!NSIsMainThread()) {
        QMetaObject::invokeMethod(this, [this, image] { setImage(image); }, Qt::QueuedConnection);
        return;
    }
    mImage = std::move(image);
    update();
}

void CIImageDisplayView::paintEvent(QPaintEvent *) {
    if (mImage == nullptr) return;
    NSViewQuartzPainting painting(this);
    if (painting.context() == nullptr) return;
    NUCIDrawCIImageInContext(painting.context(), false, mImage, CGRectMake(0, 0, width(), height()));
    QPainter(this).drawImage(QPointF(0, 0), painting.image());
}

bool import_CIImageDisplayView() { return true; }
