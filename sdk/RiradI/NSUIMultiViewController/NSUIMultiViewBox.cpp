#include <NSUIMultiViewController/NSUIMultiViewBox.h>

#include <NSUIMultiViewController/NSUIMultiViewHolder.h>
#include <NSUIMultiViewController/NSView_protocol_NSUIMultiViewBox.h>

#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSObjCRuntime.h>

#include <QAction>

#include <algorithm>

NS_REGISTER_CLASS(NSUIMultiViewBox);

namespace {

constexpr char kFile[] = "/Code/sdk/RiradI/NSUIMultiViewController/NSUIMultiViewBox";

void Report(const char *function, int line, const char *text) { _CoreMachDebugVerifyBody(function, kFile, line, text); }

QString TitleOf(const QWidget *view) { return protocol_NSUIMultiViewBox::multiViewTitle(view); }

}  // namespace

NSUIMultiViewBox::NSUIMultiViewBox(QWidget *parent) : NSUIResetLockBox(parent) { createViewDictionary(); }

NSUIMultiViewBox::~NSUIMultiViewBox() = default;

QMap<QString, QWidget *> NSUIMultiViewBox::viewsByTitle() const {
    QMap<QString, QWidget *> live;
    if (mViewsByTitle)
        for (auto it = mViewsByTitle->cbegin(); it != mViewsByTitle->cend(); ++it)
            if (!it.value().isNull()) live.insert(it.key(), it.value().data());
    return live;
}

void NSUIMultiViewBox::createViewDictionary() {
    if (mViewsByTitle) return;
    mViewsByTitle.emplace();
    if (mViewPlaceholder.isNull()) return;
    QWidget *initial = mViewPlaceholder->initialView();
    if (initial == nullptr)
        Report("-[NSUIMultiViewBox createViewDictionary]", 39, " code : initialView");
    else
        mViewsByTitle->insert(TitleOf(initial), initial);
}

void NSUIMultiViewBox::awakeFromNib() {
    NSUIResetLockBox::awakeFromNib();
    if (!mViewsByTitle) Report("-[NSUIMultiViewBox awakeFromNib]", 70, " code : _viewsByTitle");
    refreshControllerList();
}

bool NSUIMultiViewBox::addView(QWidget *view, bool selectView) {
    static const char kFunction[] = "-[NSUIMultiViewBox addView:selectView:]";
    if (qobject_cast<NSUIMultiViewHolder *>(view) == nullptr) {
        Report(kFunction, 98, " code : view");
        return false;
    }
    createViewDictionary();
    const QString title = TitleOf(view);
    if (viewsByTitle().contains(title)) {
        Report(kFunction, 104, " code : nil==[_viewsByTitle objectForKey:viewKey]");
        return false;
    }
    mViewsByTitle->insert(title, view);
    if (!mViewPlaceholder.isNull()) mViewPlaceholder->installView(view);
    refreshControllerList();
    if (selectView && selectedView() == nullptr) this->selectView(view);
    if (view != selectedView()) view->hide();
    return true;
}

void NSUIMultiViewBox::addSenderToViewList(QObject *sender) { addView(qobject_cast<QWidget *>(sender)); }

bool NSUIMultiViewBox::selectView(QWidget *view) {
    if (view == nullptr) return false;
    if (isViewMember(view)) return selectViewByMultiViewTitle(TitleOf(view));
    return addView(view, true);
}

bool NSUIMultiViewBox::selectViewByMultiViewTitle(const QString &title) {
    QWidget *next = viewsByTitle().value(title, nullptr);
    if (next == nullptr) {
        Report("-[NSUIMultiViewBox selectViewByMultiViewTitle:]", 175, " code : newSelectedVisisbleView");
        return false;
    }
    setControllerSelection(title);
    if (next != selectedView()) {
        if (QWidget *old = selectedView()) {
            old->hide();
            old->update();
        }
        mSelectedVisibleView = next;
    }
    next->show();
    next->update();
    update();
    return true;
}

bool NSUIMultiViewBox::isViewMember(const QWidget *view) const {
    if (view == nullptr) return false;
    const QMap<QString, QWidget *> views = viewsByTitle();
    return std::find(views.cbegin(), views.cend(), view) != views.cend();
}

QWidget *NSUIMultiViewBox::defaultView() const {
    static const char kFunction[] = "-[NSUIMultiViewBox defaultView]";
    if (mViewPlaceholder.isNull()) {
        Report(kFunction, 78, " code : _viewPlaceholder");
        return nullptr;
    }
    QWidget *initial = mViewPlaceholder->initialView();
    if (initial == nullptr) Report(kFunction, 78, " code : [_viewPlaceholder initialView]");
    return initial;
}

bool NSUIMultiViewBox::selectViewDefault() { return selectView(defaultView()); }

void NSUIMultiViewBox::selectDefaultPanel(QObject *) {
    if (!selectViewDefault()) Report("-[NSUIMultiViewBox selectDefaultPanel:]", 90, " code : [self selectViewDefault]");
}

void NSUIMultiViewBox::selectedViewChanged(QObject *) {
    if (!selectViewByMultiViewTitle(controllerSelection()))
        Report("-[NSUIMultiViewBox selectedViewChanged:]", 207,
               " code : [self selectViewByMultiViewTitle:[self controllerSelection]]");
}

void NSUIMultiViewBox::selectedViewByMenuItem(QObject *sender) {
    const auto *item = qobject_cast<QAction *>(sender);
    selectViewByItemTitle(item == nullptr ? QString() : item->text());
}

void NSUIMultiViewBox::selectViewByItemTitle(const QString &title) {
    if (!selectViewByMultiViewTitle(title))
        Report("-[NSUIMultiViewBox selectedViewByMenuItem:]", 212,
               " code : [self selectViewByMultiViewTitle:[sender title]]");
}

void NSUIMultiViewBox::refreshSelectedView() {
    QWidget *shown = selectedView();
    if (shown == nullptr) return;
    shown->hide();
    shown->show();
    shown->update();
}

QString NSUIMultiViewBox::controllerSelection() const {
    QWidget *initial = mViewPlaceholder.isNull() ? nullptr : mViewPlaceholder->initialView();
    return initial == nullptr ? QString() : TitleOf(initial);
}

bool NSUIMultiViewBox::setControllerSelection(const QString &) { return false; }

void NSUIMultiViewBox::refreshControllerList() {}

bool import_NSUIMultiViewBox() {
    if (!import_NSUIViewPlaceholder()) {
        _CoreMachDebugVerifyBody("import_NSUIMultiViewBox", kFile, 6, " code : import_NSUIViewPlaceholder()");
        return false;
    }
    return import_NSView_protocol_NSUIMultiViewBox();
}
