#include "LumoraMainWindow.h"

#include <LumoraApp/AppController.h>
#include <Foundation/NSObjCRuntime.h>

#include <QChildEvent>
#include <QCloseEvent>
#include <QDynamicPropertyChangeEvent>

NS_REGISTER_CLASS(LumoraAspectFrame);
NS_REGISTER_CLASS(LumoraMainWindow);

LumoraAspectFrame::LumoraAspectFrame(QWidget *parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setMinimumSize(160, 120);
}

void LumoraAspectFrame::setAspectRatio(const QSizeF &ratio) {
    if (!(ratio.width() > 0 && ratio.height() > 0)) return;
    mAspectRatio = ratio;
    layoutView();
}

QRect LumoraAspectFrame::fittedRect(const QSize &size, const QSizeF &ratio) {
    if (size.isEmpty() || !(ratio.width() > 0 && ratio.height() > 0)) return QRect(QPoint(0, 0), size);
    const double scale = std::min(size.width() / ratio.width(), size.height() / ratio.height());
    const int w = std::max(1, int(ratio.width() * scale)), h = std::max(1, int(ratio.height() * scale));
    return {(size.width() - w) / 2, (size.height() - h) / 2, w, h};
}

void LumoraAspectFrame::layoutView() {
    const QRect rect = fittedRect(size(), mAspectRatio);
    for (QObject *child : children())
        if (auto *view = qobject_cast<QWidget *>(child); view != nullptr && !view->isWindow() && !view->isHidden())
            view->setGeometry(rect);
}

void LumoraAspectFrame::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    layoutView();
}

void LumoraAspectFrame::childEvent(QChildEvent *event) {
    QWidget::childEvent(event);
    if (event->type() == QEvent::ChildAdded || event->type() == QEvent::ChildPolished) layoutView();
}

LumoraMainWindow::LumoraMainWindow(QWidget *parent) : QMainWindow(parent) {}

void LumoraMainWindow::closeEvent(QCloseEvent *event) {
    event->accept();
    if (mDelegate) mDelegate->windowShouldClose(this);
}

bool LumoraMainWindow::event(QEvent *event) {
    // The delegate's aspect ratio goes to the frame of the view.
    if (event->type() == QEvent::DynamicPropertyChange &&
        static_cast<QDynamicPropertyChangeEvent *>(event)->propertyName() == "aspectRatio") {
        const QSizeF ratio = property("aspectRatio").toSizeF();
        for (LumoraAspectFrame *frame : findChildren<LumoraAspectFrame *>()) frame->setAspectRatio(ratio);
    }
    return QMainWindow::event(event);
}
