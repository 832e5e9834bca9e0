#include "UILocalizationPanelController.h"

#include <Foundation/NSException.h>

NS_REGISTER_NIB_SINGLETON(UILocalizationPanelController);

bool import_UILocalizationPanelController() { return import_UILocalizationPanel() && import_UNibSingleton(); }

UILocalizationPanelController::UILocalizationPanelController() = default;
UILocalizationPanelController::~UILocalizationPanelController() = default;

UILocalizationPanelController *UILocalizationPanelController::sharedController() {
    return qobject_cast<UILocalizationPanelController *>(UNibSingleton::allocInit<UILocalizationPanelController>());
}

void UILocalizationPanelController::awakeFromNib() {
    if (mNib != nullptr) return;
    mNib = NSNib::initWithNibNamed(QStringLiteral("UILocalizationPanel"));
    if (mNib == nullptr) {
        NSLog(QStringLiteral("UILocalizationPanelController: no nib UILocalizationPanel"));
        return;
    }
    QList<QObject *> topLevelObjects;
    // The panel is a window of its own that lives as long as the process (as the controller).
    if (!mNib->instantiateNibWithOwner(this, &topLevelObjects))
        NSLog(QStringLiteral("UILocalizationPanelController: the nib UILocalizationPanel did not load"));
}

void UILocalizationPanelController::localizationPanel(QObject *) {
    if (mPanel.isNull()) return;
    mPanel->show();
    mPanel->raise();
    mPanel->activateWindow();
}
