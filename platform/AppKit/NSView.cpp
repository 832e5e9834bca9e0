#include <AppKit/NSView.h>

#include <Foundation/NSNotification.h>

#include <QEvent>
#include <QPointer>
#include <QScreen>
#include <QSizePolicy>
#include <QTimer>
#include <QWindow>

namespace NSView {

namespace {

bool Sizable(QSizePolicy::Policy policy) { return policy != QSizePolicy::Fixed; }

constexpr char kPosterName[] = "NSViewGlobalFramePoster";

// Watches a view and its window (whichever window it is in now) and posts one notification per
// turn of the event loop in which either changed place, size or screen.
class GlobalFramePoster final : public QObject {
public:
    explicit GlobalFramePoster(QWidget *view) : QObject(view), mView(view) {
        setObjectName(kPosterName);
        view->installEventFilter(this);
        watchWindow();
    }

    bool eventFilter(QObject *watched, QEvent *event) override {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize: schedule(); break;
        case QEvent::ParentChange:
        case QEvent::Show:
        case QEvent::WinIdChange:
            if (watched == mView) watchWindow();
            break;
        default: break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void watchWindow() {
        QWidget *window = mView->window();
        if (window != mWindow) {
            if (mWindow) mWindow->removeEventFilter(this);
            mWindow = window;
            if (window != mView) window->installEventFilter(this);
        }
        QWindow *handle = window->windowHandle();
        if (handle != mHandle) {
            QObject::disconnect(mScreenConnection);
            mHandle = handle;
            if (handle)
                mScreenConnection = QObject::connect(handle, &QWindow::screenChanged, this, [this] { schedule(); });
        }
    }

    void schedule() {
        if (mPending) return;
        mPending = true;
        QTimer::singleShot(0, this, [this] {
            mPending = false;
            NSNotificationCenter::defaultCenter().postNotificationName(NSViewGlobalFrameDidChangeNotification, mView);
        });
    }

    QWidget *mView;
    QPointer<QWidget> mWindow;
    QPointer<QWindow> mHandle;
    QMetaObject::Connection mScreenConnection;
    bool mPending = false;
};

}  // namespace

void resizeWithOldSuperviewSize(QWidget *view, const QSize &oldSuperviewSize) {
    if (view == nullptr || view->parentWidget() == nullptr) return;
    const QSize now = view->parentWidget()->size();
    const QSizePolicy policy = view->sizePolicy();
    QSize size = view->size();
    if (Sizable(policy.horizontalPolicy())) size.setWidth(std::max(0, size.width() + now.width() - oldSuperviewSize.width()));
    if (Sizable(policy.verticalPolicy()))
        size.setHeight(std::max(0, size.height() + now.height() - oldSuperviewSize.height()));
    if (size != view->size()) view->resize(size);
}

void resizeSubviewsWithOldSize(QWidget *container, const QSize &oldSize) {
    if (container == nullptr) return;
    for (QWidget *child : container->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        if (!child->isWindow()) resizeWithOldSuperviewSize(child, oldSize);
}

void addSubview(QWidget *container, QWidget *view) {
    if (container == nullptr || view == nullptr || view == container) return;
    const bool hiddenOnPurpose = view->isHidden() && view->testAttribute(Qt::WA_WState_ExplicitShowHide);
    const QPoint position = view->pos();
    view->setParent(container);
    view->move(position);
    if (!hiddenOnPurpose) view->show();
}

void postGlobalFrameChangedNotifications(QWidget *view) {
    if (view == nullptr) return;
    if (view->findChild<QObject *>(kPosterName, Qt::FindDirectChildrenOnly) != nullptr) return;
    new GlobalFramePoster(view);
}

}  // namespace NSView
