#include <AppKit/NSView.h>

#include <QSizePolicy>

namespace NSView {

namespace {

bool Sizable(QSizePolicy::Policy policy) { return policy != QSizePolicy::Fixed; }

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

}  // namespace NSView
