#include "NSUIFirstClickApp.h"

#include <QApplication>
#include <QCursor>
#include <QMouseEvent>
#include <QStyleHints>
#include <QWindow>

NSUIFirstClickApp::NSUIFirstClickApp() { QCoreApplication::instance()->installEventFilter(this); }

NSUIFirstClickApp::~NSUIFirstClickApp() {
    if (QCoreApplication *application = QCoreApplication::instance()) application->removeEventFilter(this);
}

bool NSUIFirstClickApp::eventFilter(QObject *watched, QEvent *event) { return sendEvent(watched, event); }

bool NSUIFirstClickApp::viewAcceptsFirstMouse(QWidget *view, QMouseEvent *event) {
    if (view == nullptr) return false;
    const QMetaObject *meta = view->metaObject();
    if (meta->indexOfMethod("acceptsFirstMouse(QMouseEvent*)") < 0) return false;
    bool accepts = false;
    QMetaObject::invokeMethod(view, "acceptsFirstMouse", Qt::DirectConnection, Q_RETURN_ARG(bool, accepts),
                              Q_ARG(QMouseEvent *, event));
    return accepts;
}

bool NSUIFirstClickApp::sendEvent(QObject *receiver, QEvent *event) {
    switch (event->type()) {
    case QEvent::ApplicationActivate:
        if (receiver == QCoreApplication::instance()) firstClick(event);
        // The activation itself still reaches Qt, which keeps its active-window state by it.
        return false;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        // The activating click passed through after a made one: the same click, once.
        if (!mMadeClickWindow || !receiver->isWidgetType() || !event->spontaneous()) return false;
        auto *press = static_cast<QMouseEvent *>(event);
        auto *widget = static_cast<QWidget *>(receiver);
        const bool sameClick = press->button() == Qt::LeftButton && widget->window() == mMadeClickWindow &&
                               mMadeClickTime.elapsed() <= QGuiApplication::styleHints()->mouseDoubleClickInterval();
        mMadeClickWindow = nullptr;
        return sameClick;
    }
    case QEvent::MouseButtonRelease:
        if (event->spontaneous()) mMadeClickWindow = nullptr;
        return false;
    default:
        return false;
    }
}

bool NSUIFirstClickApp::firstClick(QEvent *) {
    mMadeClickWindow = nullptr;
    // Linux has passed the click through already.
    if (QGuiApplication::mouseButtons() & Qt::LeftButton) return false;

    const QPoint global = QCursor::pos();
    QWidget *window = nullptr;
    QWidget *view = nullptr;
    auto hitTest = [&global](QWidget *candidate) -> QWidget * {
        if (candidate == nullptr || !candidate->isVisible()) return nullptr;
        const QPoint local = candidate->mapFromGlobal(global);
        if (!candidate->rect().contains(local)) return nullptr;
        QWidget *child = candidate->childAt(local);
        return child != nullptr ? child : candidate;
    };
    if (QWidget *active = QApplication::activeWindow()) {
        window = active;
        view = hitTest(active);
    } else {
        for (QWidget *candidate : QApplication::topLevelWidgets()) {
            if ((view = hitTest(candidate)) != nullptr) {
                window = candidate;
                break;
            }
        }
    }
    if (window == nullptr || view == nullptr || window->windowHandle() == nullptr) return false;

    const QPointF inWindow = window->mapFromGlobal(QPointF(global));
    QMouseEvent click(QEvent::MouseButtonPress, inWindow, inWindow, QPointF(global), Qt::LeftButton,
                      Qt::LeftButton, QGuiApplication::keyboardModifiers());
    QMouseEvent ask(QEvent::MouseButtonPress, view->mapFromGlobal(QPointF(global)), inWindow, QPointF(global),
                    Qt::LeftButton, Qt::LeftButton, QGuiApplication::keyboardModifiers());
    if (!viewAcceptsFirstMouse(view, &ask)) return false;

    window->raise();
    window->activateWindow();
    QPointer<QWidget> clicked(window);
    QCoreApplication::sendEvent(window->windowHandle(), &click);
    // Armed only now: Qt hands the made press on to the view as a spontaneous event too.
    mMadeClickWindow = clicked;
    mMadeClickTime.start();
    return true;
}

bool import_NSUIFirstClickApp() { return true; }
