#include <UICocoaViews/NSUIViewNibbler.h>

#include <AppKit/NSNib.h>
#include <AppKit/NSView.h>
#include <Foundation/NSException.h>
#include <Foundation/NSKeyValueCoding.h>
#include <Foundation/NSObjCRuntime.h>

#include <QResizeEvent>

NS_REGISTER_CLASS(NSUIViewNibbler);

NSUIViewNibbler::NSUIViewNibbler(QWidget *parent) : QWidget(parent), mFittedSize(size()) {}

NSUIViewNibbler::~NSUIViewNibbler() {
    setTopLevelObjects({});
    mNibblerModel.clear();
    mNibblerView.clear();
    mNibblerController.clear();
    mDefaultNibName.reset();
}

QString NSUIViewNibbler::classNibName() const { return NSStringFromClass(metaObject()); }

bool NSUIViewNibbler::shouldInstantiateOnThisVersionOfOSX() const { return true; }

QString NSUIViewNibbler::defaultNibName() const { return mDefaultNibName ? *mDefaultNibName : classDefaultNibName(); }

void NSUIViewNibbler::awakeFromNib() {
    if (mConstructed == 0)
        constructWithDefaultNibName();
    else
        awakeFromNibbler();
}

void NSUIViewNibbler::awakeFromNibbler() {}

void NSUIViewNibbler::constructWithDefaultNibName() {
    const QString name = defaultNibName();
    if (name.isEmpty()) return;
    if (!instantiateObjectGraphWithNibName(name)) return;
    if (nibblerSubView() == nullptr) return;
    installNibblerSubView();
}

bool NSUIViewNibbler::instantiateObjectGraphWithNibName(const QString &name) {
    bool result = false;
    if (!shouldInstantiateOnThisVersionOfOSX()) return result;
    ++mConstructed;
    try {
        const std::unique_ptr<NSNib> nib = NSNib::initWithNibNamed(name);
        if (nib == nullptr) return result;
        QList<QObject *> objects;
        if (!nib->instantiateNibWithOwner(this, &objects)) return result;
        setTopLevelObjects(objects);
        result = nibblerView() != nullptr;
    } catch (const NSException &exception) {
        NSLog(QStringLiteral("NSUIViewNibbler::instantiateObjectGraphWithNibName:%1 exception:%2\n")
                  .arg(name, exception.description()));
    }
    return result;
}

bool NSUIViewNibbler::installNibblerSubView() {
    QWidget *view = nibblerSubView();
    if (view == nullptr || view == this) return false;
    followSize();
    NSView::addSubview(this, view);
    const QSize own = view->size();  // its size as laid out before
    NSView::resizeWithOldSuperviewSize(view, own);
    view->update();
    return true;
}

void NSUIViewNibbler::setDelegate(QObject *delegate) {
    if (mDelegate == delegate) return;
    mDelegate = delegate;
    emit delegateChanged();
}

void NSUIViewNibbler::setNibblerModel(QObject *model) {
    if (mNibblerModel == model) return;
    mNibblerModel = model;
    emit nibblerModelChanged();
}

void NSUIViewNibbler::setNibblerView(QWidget *view) {
    if (mNibblerView == view) return;
    mNibblerView = view;
    emit nibblerViewChanged();
}

void NSUIViewNibbler::setNibblerController(QObject *controller) {
    if (mNibblerController == controller) return;
    mNibblerController = controller;
    emit nibblerControllerChanged();
}

QList<QObject *> NSUIViewNibbler::topLevelObjects() const {
    QList<QObject *> objects;
    for (const QPointer<QObject> &object : mTopLevelObjects)
        if (!object.isNull()) objects.append(object.data());
    return objects;
}

void NSUIViewNibbler::setTopLevelObjects(const QList<QObject *> &objects) {
    QList<QPointer<QObject>> old;
    old.swap(mTopLevelObjects);
    for (QObject *object : objects)
        if (object != nullptr) mTopLevelObjects.append(object);
    for (const QPointer<QObject> &object : old)
        if (!object.isNull() && !objects.contains(object.data())) delete object.data();
}

void NSUIViewNibbler::actionNibblerModelUpdated(QObject *object) {
    QObject *target = delegate();
    if (target != nullptr && respondsToSelector(target, "actionNibblerModelUpdated"))
        performSelector(target, "actionNibblerModelUpdated", NSKeyValueCoding::variantFromObject(object));
}

QString NSUIViewNibbler::multiViewTitle() const { return NSStringFromClass(metaObject()); }

bool NSUIViewNibbler::acceptsFirstMouse(QEvent *) const { return true; }

void NSUIViewNibbler::alignWindowTopLeft(QWidget *window, QWidget *directlyBelowView) {
    if (window == nullptr || directlyBelowView == nullptr) return;
    window->move(directlyBelowView->mapToGlobal(QPoint(0, directlyBelowView->height())));
}

void NSUIViewNibbler::centerWindow(QWidget *window, QWidget *horizontallyPositionedAboveView) {
    if (window == nullptr || horizontallyPositionedAboveView == nullptr) return;
    const int viewLeft = horizontallyPositionedAboveView->mapToGlobal(QPoint(0, 0)).x();
    const double x = viewLeft - 0.5 * (window->frameGeometry().width() - horizontallyPositionedAboveView->width());
    window->move(static_cast<int>(x), window->frameGeometry().y());
}

void NSUIViewNibbler::centerWindowAboveNibblerSubView(QWidget *window) { centerWindow(window, nibblerSubView()); }

void NSUIViewNibbler::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    followSize();
    update();
}

void NSUIViewNibbler::followSize() {
    if (mFittedSize == size()) return;
    NSView::resizeSubviewsWithOldSize(this, mFittedSize);
    mFittedSize = size();
}

bool import_NSUIViewNibbler() { return true; }
