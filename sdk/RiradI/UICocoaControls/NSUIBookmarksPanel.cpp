#include "NSUIBookmarksPanel.h"

#include "NSUITextViewTakesStringValue.h"

#include <AppKit/NSNib.h>
#include <Foundation/NSException.h>
#include <Foundation/NSUserDefaults.h>

#include <QAbstractButton>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QVBoxLayout>

NS_REGISTER_CLASS(NSUIBookmarksPanel);

NSUIBookmarksPanel::NSUIBookmarksPanel(QWidget *parent) : QWidget(parent, Qt::Tool) {
    setWindowTitle(QStringLiteral("Bookmarks"));
    setObjectName(QStringLiteral("NSUIBookmarksPanel"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    mArrayController = new NSArrayController(this);
    // The nib sends awakeFromNib to its owner when it is loaded; the panel wakes only when its
    // own owner says so, once the contents are in place.
    mLoadingNib = true;
    QList<QObject *> topLevel;
    const std::unique_ptr<NSNib> nib = NSNib::initWithNibNamed(QStringLiteral("NSUIBookmarksPanel"));
    if (nib && nib->instantiateNibWithOwner(this, &topLevel) && !topLevel.isEmpty()) {
        if (auto *contents = qobject_cast<QWidget *>(topLevel.first())) {
            layout->addWidget(contents);
            resize(contents->size());
        }
    }
    mLoadingNib = false;
    connect(qApp, &QCoreApplication::aboutToQuit, this, &NSUIBookmarksPanel::savePanelState);
}

NSUIBookmarksPanel::~NSUIBookmarksPanel() = default;

QTableView *NSUIBookmarksPanel::mBookmarkTableView() const { return mController ? mController->outletTableView() : nullptr; }
void NSUIBookmarksPanel::setmBookmarkTableView(QTableView *tableView) {
    if (mController) mController->setOutletTableView(tableView);
}
NSTextView *NSUIBookmarksPanel::mBookmarkSettingsText() const { return mController ? mController->outletTextView() : nullptr; }
void NSUIBookmarksPanel::setmBookmarkSettingsText(NSTextView *textView) {
    if (mController) mController->setoutletTextView(textView);
}
QObject *NSUIBookmarksPanel::mBookmarkTargetObject() const { return mController ? mController->outletTarget() : nullptr; }
void NSUIBookmarksPanel::setmBookmarkTargetObject(QObject *target) {
    if (mController) mController->setOutletTarget(target);
}
NSArrayController *NSUIBookmarksPanel::presetsArrayController() const {
    return mController ? mController->outletArrayController() : nullptr;
}
void NSUIBookmarksPanel::setpresetsArrayController(NSArrayController *controller) {
    if (mController) mController->setOutletArrayController(controller);
}

void NSUIBookmarksPanel::connectButton(const char *name, void (NSUIBookmarksPanel::*forward)(QObject *)) {
    auto *button = findChild<QAbstractButton *>(QString::fromLatin1(name));
    if (button == nullptr) {
        NSLog(QStringLiteral("NSUIBookmarksPanel: the nib has no button %1").arg(QString::fromLatin1(name)));
        return;
    }
    connect(button, &QAbstractButton::clicked, this, [this, forward, button] { (this->*forward)(button); });
}

void NSUIBookmarksPanel::connectControllerButton(const char *name,
                                                 void (NSUIBookmarksController::*action)(QObject *)) {
    auto *button = findChild<QAbstractButton *>(QString::fromLatin1(name));
    if (button == nullptr) {
        NSLog(QStringLiteral("NSUIBookmarksPanel: the nib has no button %1").arg(QString::fromLatin1(name)));
        return;
    }
    connect(button, &QAbstractButton::clicked, this, [this, action, button] {
        if (mController) (mController->*action)(button);
    });
}

void NSUIBookmarksPanel::awakeFromNib() {
    if (mAwake || mLoadingNib) return;
    mAwake = true;
    if (!mController) mController = new NSUIBookmarksController(this);
    mController->setOutletArrayController(mArrayController);
    mController->setOutletTableView(mTableView);
    mController->setoutletTextView(mTextView);
    connectButton("outletAddCurrentButton", &NSUIBookmarksPanel::addNewPresetForCurrentDesign);
    connectButton("outletAddEmptyButton", &NSUIBookmarksPanel::addNewPresetForEmptyDesign);
    connectButton("outletDuplicateButton", &NSUIBookmarksPanel::duplicateCurrentPreset);
    connectButton("outletRemoveButton", &NSUIBookmarksPanel::removeCurrentPreset);
    connectButton("outletReadButton", &NSUIBookmarksPanel::settingsScriptRead);
    connectButton("outletApplyButton", &NSUIBookmarksPanel::settingsScriptApply);
    connectControllerButton("outletCopyButton", &NSUIBookmarksController::actionCopyToPasteboardAsText);
    connectControllerButton("outletPasteButton", &NSUIBookmarksController::actionPasteFromPasteboardAsText);
    connectControllerButton("outletImportButton", &NSUIBookmarksController::actionImportXML);
    connectControllerButton("outletExportButton", &NSUIBookmarksController::actionExportXML);
    mController->awakeFromNib();
    restoreFrame();
}

void NSUIBookmarksPanel::addNewPresetForCurrentDesign(QObject *sender) {
    if (mController) mController->actionAddNewPresetForCurrentPreset(sender);
}
void NSUIBookmarksPanel::addNewPresetForEmptyDesign(QObject *sender) {
    if (mController) mController->actionAddNewPresetForEmptyPreset(sender);
}
void NSUIBookmarksPanel::removeCurrentPreset(QObject *sender) {
    if (mController) mController->actionDeleteCurrentPreset(sender);
}
void NSUIBookmarksPanel::duplicateCurrentPreset(QObject *sender) {
    if (mController) mController->actionDuplicateCurrentPreset(sender);
}
void NSUIBookmarksPanel::settingsScriptRead(QObject *sender) {
    if (mController) mController->actionPresetScriptRead(sender);
}
void NSUIBookmarksPanel::settingsScriptApply(QObject *sender) {
    if (mController) mController->actionPresetScriptApply(sender);
}
void NSUIBookmarksPanel::applyDesignCodesToBookmarkTarget(const QString &designCodes) {
    if (mController) mController->applyPresetScriptToBookmarkTarget(designCodes);
}
void NSUIBookmarksPanel::addNewPresetForScript(const QString &script) {
    if (mController) mController->addNewPresetForScript(script);
}
QVariantMap NSUIBookmarksPanel::newPresetWithScript(const QString &script) const {
    return mController ? mController->newPresetWithScript(script) : QVariantMap();
}
QVariantMap NSUIBookmarksPanel::newPresetWithEmptyDesign() const {
    return mController ? mController->newPresetWithEmptyPreset() : QVariantMap();
}
QVariantMap NSUIBookmarksPanel::newPresetWithCurrentDesign() const {
    return mController ? mController->newPresetWithCurrentPreset() : QVariantMap();
}

QString NSUIBookmarksPanel::frameDefaultsKey() const {
    return QString::fromLatin1(metaObject()->className()) + QStringLiteral("Frame");
}

void NSUIBookmarksPanel::savePanelState() {
    if (!mAwake) return;
    NSUserDefaults &defaults = NSUserDefaults::standardUserDefaults();
    const QRect frame = geometry();
    defaults.setObject(QStringLiteral("%1 %2 %3 %4").arg(frame.x()).arg(frame.y()).arg(frame.width()).arg(frame.height()),
                       frameDefaultsKey());
    if (!mController || !mController->savePresetsToUserDefaults()) defaults.synchronize();
}

void NSUIBookmarksPanel::restoreFrame() {
    const QStringList parts =
        NSUserDefaults::standardUserDefaults().stringForKey(frameDefaultsKey()).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.size() != 4) return;
    int values[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        values[i] = parts[i].toInt(&ok);
        if (!ok) return;
    }
    if (values[2] <= 0 || values[3] <= 0 || values[2] > 10000 || values[3] > 10000) return;
    setGeometry(values[0], values[1], values[2], values[3]);
}

void NSUIBookmarksPanel::closeEvent(QCloseEvent *event) {
    savePanelState();
    QWidget::closeEvent(event);
}

void NSUIBookmarksPanel::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool import_NSUIBookmarksPanel() { return import_NSUIBookmarksController() && import_NSUITextViewTakesStringValue(); }
