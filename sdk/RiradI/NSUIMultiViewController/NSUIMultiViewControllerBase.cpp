#include <NSUIMultiViewController/NSUIMultiViewControllerBase.h>

#include <NSUIMultiViewController/NSUIMultiViewClientViewHolder.h>
#include <NSUIMultiViewController/NSUIMultiViewPopUpButton.h>
#include <NSUIMultiViewController/NSUIMultiViewSegmentedControl.h>
#include <NSUIMultiViewController/NSView_protocol_NSUIMultiViewBox.h>

#include <UILocalLanguage/UILocalLanguageController.h>

#include <Foundation/NSKeyValueCoding.h>
#include <Foundation/NSObjCRuntime.h>
#include <dispatch/dispatch.h>

#include <algorithm>

NS_REGISTER_CLASS(NSUIMultiViewControllerBase);

namespace {

QString TitleOf(const QWidget *view) { return protocol_NSUIMultiViewBox::multiViewTitle(view); }

}  // namespace

NSUIMultiViewControllerBase::NSUIMultiViewControllerBase(QObject *parent) : NSObject(parent) {}

NSUIMultiViewControllerBase::~NSUIMultiViewControllerBase() {
    if (mObservingLanguage) NSNotificationCenter::defaultCenter().removeObserver(this);
}

std::optional<NSUIMultiViewControllerBase::Dictionary> NSUIMultiViewControllerBase::multiViewsByTitle() const {
    if (!mViewsByTitle) return std::nullopt;
    Dictionary live;
    for (auto it = mViewsByTitle->cbegin(); it != mViewsByTitle->cend(); ++it)
        if (!it.value().isNull()) live.insert(it.key(), it.value());
    return live;
}

void NSUIMultiViewControllerBase::setMultiViewsByTitle(std::optional<Dictionary> dictionary) {
    mViewsByTitle = std::move(dictionary);
    emit multiViewsByTitleChanged();
}

QVariantMap NSUIMultiViewControllerBase::multiViewsByTitleMap() const {
    QVariantMap map;
    if (const auto dictionary = multiViewsByTitle())
        for (auto it = dictionary->cbegin(); it != dictionary->cend(); ++it)
            map.insert(it.key(), NSKeyValueCoding::variantFromObject(it.value().data()));
    return map;
}

void NSUIMultiViewControllerBase::setSelectedMultiView(QWidget *view) {
    if (mSelected.data() == view) return;
    mSelected = view;
    emit selectedMultiViewChanged();
}

void NSUIMultiViewControllerBase::awakeFromNib() {
    createViewDictionaryOnce(true);
    QPointer<NSUIMultiViewControllerBase> self(this);
    dispatch_async(dispatch_get_main_queue(), [self] {
        if (!self.isNull()) self->awakeFromNibCompleted();
    });
}

void NSUIMultiViewControllerBase::createViewDictionaryOnce(bool installInitial) {
    if (mViewsByTitle) return;
    if (installInitial) {
        installAndSelectInitialView();
    } else {
        setMultiViewsByTitle(Dictionary());
        setSelectedMultiView(nullptr);
    }
    if (!mObservingLanguage) {
        NSNotificationCenter::defaultCenter().addObserver(this, "languageSettingsChangedRefreshTitles",
                                                         UILocalLanguageControllerDidChangeLanguage, nullptr);
        mObservingLanguage = true;
    }
}

void NSUIMultiViewControllerBase::installAndSelectInitialView() {
    QWidget *initial = mPlaceholder.isNull() ? nullptr : mPlaceholder->initialView();
    if (initial == nullptr) return;
    if (!mViewsByTitle) setMultiViewsByTitle(Dictionary{{TitleOf(initial), initial}});
    setSelectedMultiView(initial);
}

void NSUIMultiViewControllerBase::awakeFromNibCompleted() {
    willChangeValueForKey(QStringLiteral("multiViewsByTitle"));
    willChangeValueForKey(QStringLiteral("selectedMultiView"));
    multiViewClientListChanged(selectedMultiViewTitle());
    delegateNotifyMultiViewControllerSelectionChanged();
    didChangeValueForKey(QStringLiteral("selectedMultiView"));
    didChangeValueForKey(QStringLiteral("multiViewsByTitle"));
}

QString NSUIMultiViewControllerBase::addMultiView(QWidget *view) {
    createViewDictionaryOnce(false);
    if (!mViewsByTitle || view == nullptr) return QString();
    const QString title = TitleOf(view);
    if (title.isNull()) return QString();
    const auto existing = mViewsByTitle->constFind(title);
    if (existing != mViewsByTitle->cend() && !existing.value().isNull()) return QString();
    mViewsByTitle->insert(title, view);
    if (!mPlaceholder.isNull()) mPlaceholder->installView(view);
    view->hide();
    return title;
}

bool NSUIMultiViewControllerBase::addMultiView(QWidget *view, bool selectView) {
    const QString title = addMultiView(view);
    if (title.isNull()) return false;
    if (selectView) {
        multiViewClientListChanged(title);
        if (selectedMultiView() == nullptr) selectMultiView(view);
    }
    if (view != selectedMultiView()) view->hide();
    return true;
}

void NSUIMultiViewControllerBase::registerMultiViewClient(QWidget *view) { addMultiView(view, false); }

bool NSUIMultiViewControllerBase::selectMultiView(QWidget *view) {
    if (view == nullptr) return false;
    const QString key = keyOfView(view);
    if (!key.isNull()) return selectViewWithMultiViewTitle(key);
    return addMultiView(view, true);
}

bool NSUIMultiViewControllerBase::selectViewWithMultiViewTitle(const QString &title) {
    if (!mViewsByTitle) return false;
    QWidget *next = multiViewWithTitle(title);
    QWidget *old = selectedMultiView();
    const bool changed = next != old;
    if (changed) {
        if (old != nullptr) {
            old->hide();
            old->update();
        }
        setSelectedMultiView(next);
    }
    if (QWidget *shown = selectedMultiView()) {
        shown->show();
        shown->update();
    }
    if (changed) {
        if (!mPlaceholder.isNull() && mPlaceholder->parentWidget() != nullptr) mPlaceholder->parentWidget()->update();
        delegateNotifyMultiViewControllerSelectionChanged();
    }
    return true;
}

void NSUIMultiViewControllerBase::setSelectedMultiViewTitle(const QString &title) {
    selectViewWithMultiViewTitle(title);
}

QString NSUIMultiViewControllerBase::selectedMultiViewTitle() const {
    QWidget *selected = selectedMultiView();
    return selected == nullptr ? QString() : TitleOf(selected);
}

QWidget *NSUIMultiViewControllerBase::multiViewWithTitle(const QString &title) const {
    if (title.isNull() || !mViewsByTitle) return nullptr;
    return mViewsByTitle->value(title).data();
}

QString NSUIMultiViewControllerBase::keyOfView(const QWidget *view) const {
    if (view == nullptr || !mViewsByTitle) return QString();
    for (auto it = mViewsByTitle->cbegin(); it != mViewsByTitle->cend(); ++it)
        if (it.value().data() == view) return it.key();
    return QString();
}

bool NSUIMultiViewControllerBase::isViewMember(const QWidget *view) const { return !keyOfView(view).isNull(); }

QWidget *NSUIMultiViewControllerBase::defaultMultiView() const {
    QWidget *initial = mPlaceholder.isNull() ? nullptr : mPlaceholder->initialView();
    return dynamic_cast<NSUIMultiViewClientProtocol *>(initial) != nullptr ? initial : nullptr;
}

bool NSUIMultiViewControllerBase::selectDefaultMultiView() { return selectMultiView(defaultMultiView()); }

QList<QWidget *> NSUIMultiViewControllerBase::switchingMultiViewList() const {
    QList<QWidget *> views;
    if (const auto dictionary = multiViewsByTitle())
        for (const QPointer<QWidget> &view : *dictionary) views.append(view.data());
    return views;
}

QVariantList NSUIMultiViewControllerBase::switchingMultiViewVariantList() const {
    QVariantList list;
    for (QWidget *view : switchingMultiViewList()) list.append(NSKeyValueCoding::variantFromObject(view));
    return list;
}

QStringList NSUIMultiViewControllerBase::switchingMultiViewTitleList() const {
    QStringList titles;
    if (const auto dictionary = multiViewsByTitle()) titles = dictionary->keys();
    if (mSortTitles)
        std::stable_sort(titles.begin(), titles.end(), [](const QString &a, const QString &b) {
            return QString::compare(a, b, Qt::CaseInsensitive) < 0;
        });
    return titles;
}

void NSUIMultiViewControllerBase::refreshSelectedMultiView() {
    QWidget *selected = selectedMultiView();
    if (selected == nullptr) return;
    selected->hide();
    selected->show();
    selected->update();
}

void NSUIMultiViewControllerBase::languageSettingsChangedRefreshTitles(const NSNotification &) {
    refreshViewDictionaryForLocalization();
    const QString title = selectedMultiViewTitle();
    if (!title.isNull()) multiViewClientListChanged(title);
}

void NSUIMultiViewControllerBase::refreshViewDictionaryForLocalization() {
    if (!mViewsByTitle) return;
    Dictionary renamed;
    for (const QPointer<QWidget> &view : *mViewsByTitle) {
        if (view.isNull()) continue;
        const QString title = TitleOf(view.data());
        if (!title.isNull()) renamed.insert(title, view);
    }
    setMultiViewsByTitle(std::move(renamed));
}

void NSUIMultiViewControllerBase::delegateNotifyMultiViewControllerSelectionChanged() {
    if (dynamic_cast<NSUIMultiViewControllerDelegate *>(mDelegate.data()) != nullptr) {
        QPointer<NSUIMultiViewControllerBase> self(this);
        QPointer<QObject> delegate(mDelegate);
        dispatch_async(dispatch_get_main_queue(), [self, delegate] {
            if (self.isNull()) return;
            if (auto *receiver = dynamic_cast<NSUIMultiViewControllerDelegate *>(delegate.data()))
                receiver->multiViewController(self.data(), self->selectedMultiView());
        });
    }
    setSwitchingControlSelectedMultiViewTitle(selectedMultiViewTitle());
}

void NSUIMultiViewControllerBase::multiViewClientListChanged(const QString &) {}

void NSUIMultiViewControllerBase::setSwitchingControlSelectedMultiViewTitle(const QString &) {}

QString NSUIMultiViewControllerBase::switchingControlSelectedMultiViewTitle() const { return QString(); }

QSet<QString> NSUIMultiViewControllerBase::keyPathsForValuesAffectingValueForKey(const QString &key) const {
    if (key == QLatin1String("switchingMultiViewList") || key == QLatin1String("switchingMultiViewTitleList"))
        return {QStringLiteral("multiViewsByTitle")};
    if (key == QLatin1String("selectedMultiViewTitle"))
        return {QStringLiteral("selectedMultiView"), QStringLiteral("multiViewsByTitle")};
    return NSObject::keyPathsForValuesAffectingValueForKey(key);
}

bool import_NSUIMultiViewControllerBase() {
    return import_NSUIViewPlaceholder() && import_NSUIMultiViewClientViewHolder() &&
           import_NSUIMultiViewSegmentedControl() && import_NSUIMultiViewPopUpButton();
}
