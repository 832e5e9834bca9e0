// UILocalizationPanelController: the one owner of the localisation panel. Its first awakening
// loads the panel's nib ("UILocalizationPanel") with itself as owner; localizationPanel shows the
// panel and makes it the active window.
#pragma once

#include "UILocalizationPanel.h"

#include <AppKit/NSNib.h>
#include <CocoaFoundation/UNibSingleton.h>

#include <QList>
#include <QPointer>

#include <memory>

class UILocalizationPanelController : public UNibSingleton {
    Q_OBJECT
    Q_PROPERTY(UILocalizationPanel *outletLocalizationPanel MEMBER mPanel)

public:
    static UILocalizationPanelController *sharedController();

    UILocalizationPanel *localizationPanelWindow() const { return mPanel; }
    bool localizationPanelNibLoaded() const { return mNib != nullptr; }

    Q_INVOKABLE void awakeFromNib();
    Q_INVOKABLE void localizationPanel(QObject *sender = nullptr);

protected:
    UILocalizationPanelController();
    ~UILocalizationPanelController() override;
    friend class UNibSingleton;

private:
    QPointer<UILocalizationPanel> mPanel;
    std::unique_ptr<NSNib> mNib;
};

bool import_UILocalizationPanelController();
