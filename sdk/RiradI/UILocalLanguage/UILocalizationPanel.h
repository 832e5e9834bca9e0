// UILocalizationPanel: the floating tool window that holds the localisation nibbler.
//
// At launch (did-finish-launching) it gives the nibbler's bookmarks controller the feed settings
// of the published languages (by key: blogspotDomain, blogspotLabelPrimary,
// blogspotLabelSecondary, feedburnerSameLabel) and forwards the notification to it; at
// will-terminate it forwards that too. Escape closes the panel. Its frame and whether it was
// open persist under its class name.
#pragma once

#include "UILocalizationNibbler.h"

#include <CocoaFoundation/UPersistentObjectsController.h>
#include <Foundation/NSNotification.h>

#include <QPointer>
#include <QString>
#include <QWidget>

// The published languages' feed: the blog's sub-domain and the labels of its feeds.
inline constexpr char kUILocalizationBlogspotDomain[] = "lumora-localization";
inline constexpr char kUILocalizationLabelPrimary[] = "uilumora2";
inline constexpr char kUILocalizationLabelSecondary[] = "uiglobal";

class UILocalizationPanel : public QWidget, public UPersistentObject {
    Q_OBJECT
    Q_PROPERTY(UILocalizationNibbler *outletLocalizationNibbler MEMBER mNibbler)
    Q_PROPERTY(QString panelFrame READ panelFrame WRITE setPanelFrame)
    Q_PROPERTY(bool panelVisible READ panelVisible WRITE setPanelVisible)

public:
    Q_INVOKABLE explicit UILocalizationPanel(QWidget *parent = nullptr);
    ~UILocalizationPanel() override;

    UILocalizationNibbler *localizationNibbler() const { return mNibbler; }

    Q_INVOKABLE void awakeFromNib();
    Q_INVOKABLE void applicationDidFinishLaunching(const NSNotification &notification);
    Q_INVOKABLE void applicationWillTerminate(const NSNotification &notification);

    // Persistence: the frame as "x y width height", and whether the panel is open.
    QSet<QString> persistentObjectKeyPaths() const override;
    QString panelFrame() const;
    void setPanelFrame(const QString &frame);
    bool panelVisible() const { return isVisible(); }
    void setPanelVisible(bool visible) { setVisible(visible); }

protected:
    // Escape closes the panel (whichever of its controls has the focus).
    void keyPressEvent(QKeyEvent *event) override;

private:
    QPointer<UILocalizationNibbler> mNibbler;
    bool mObserving = false;
};

bool import_UILocalizationPanel();
