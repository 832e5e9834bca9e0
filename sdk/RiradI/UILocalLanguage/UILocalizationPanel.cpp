#include "UILocalizationPanel.h"

#include <AppKit/NSWindow.h>

#include <Foundation/NSApplication.h>
#include <Foundation/NSException.h>
#include <Foundation/NSKeyValueCoding.h>
#include <Foundation/NSObjCRuntime.h>

#include <QKeyEvent>

NS_REGISTER_CLASS(UILocalizationPanel);

bool import_UILocalizationPanel() { return import_UILocalizationNibbler() && import_UPersistentObjectsController(); }

UILocalizationPanel::UILocalizationPanel(QWidget *parent) : QWidget(parent, Qt::Tool) {}

// A key event rather than a window shortcut: a shortcut needs the panel to be the active
// window, which a tool window shown over another one is not always yet.
void UILocalizationPanel::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

UILocalizationPanel::~UILocalizationPanel() {
    if (mObserving) {
        NSNotificationCenter::defaultCenter().removeObserver(this);
        UPersistentObjectsController::unregisterPersistentObjectShared(this);
    }
}

void UILocalizationPanel::awakeFromNib() {
    if (mNibbler.isNull() || mObserving) return;
    mObserving = true;
    NSNotificationCenter &center = NSNotificationCenter::defaultCenter();
    center.addObserver(this, "applicationDidFinishLaunching", NSApplicationDidFinishLaunchingNotification, nullptr);
    center.addObserver(this, "applicationWillTerminate", NSApplicationWillTerminateNotification, nullptr);
    UPersistentObjectsController::registerPersistentObjectShared(this, true);
}

namespace {

void Forward(QObject *controller, QByteArrayView selector, const NSNotification &notification) {
    if (controller == nullptr || !respondsToSelector(controller, selector)) return;
    try {
        performSelector(controller, selector, QVariant::fromValue(notification));
    } catch (const NSException &exception) {
        NSLog(QStringLiteral("UILocalizationPanel: %1").arg(exception.description()));
    }
}

}  // namespace

void UILocalizationPanel::applicationDidFinishLaunching(const NSNotification &notification) {
    QObject *controller = mNibbler ? mNibbler->bookmarksController() : nullptr;
    if (controller == nullptr) return;
    const std::pair<const char *, QVariant> settings[] = {
        {"blogspotDomain", QString::fromLatin1(kUILocalizationBlogspotDomain)},
        {"blogspotLabelPrimary", QString::fromLatin1(kUILocalizationLabelPrimary)},
        {"blogspotLabelSecondary", QString::fromLatin1(kUILocalizationLabelSecondary)},
        {"feedburnerSameLabel", true},
    };
    for (const auto &[key, value] : settings) {
        try {
            NSKeyValueCoding::setValueForKey(controller, value, QString::fromLatin1(key));
        } catch (const NSException &exception) {
            NSLog(QStringLiteral("UILocalizationPanel: %1").arg(exception.description()));
        }
    }
    Forward(controller, "applicationDidFinishLaunching", notification);
}

void UILocalizationPanel::applicationWillTerminate(const NSNotification &notification) {
    Forward(mNibbler ? mNibbler->bookmarksController() : nullptr, "applicationWillTerminate", notification);
}

QSet<QString> UILocalizationPanel::persistentObjectKeyPaths() const { return {"panelFrame", "panelVisible"}; }

QString UILocalizationPanel::panelFrame() const { return NSWindow::stringWithSavedFrame(this); }

void UILocalizationPanel::setPanelFrame(const QString &frame) { NSWindow::setFrameFromString(this, frame); }
