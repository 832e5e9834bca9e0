// AppInspector: the inspector panel. It passes the launch and terminate notices on to the
// layer panel of the camera view it holds (_lumoraLayerController).
//
// Nib "AppInspector": the panel as the form's root with the layer panel.
#pragma once

#include "LumoraWindow.h"

#include <Foundation/NSNotification.h>

#include <QObject>
#include <QPointer>

class LumoraLayerViewNibbler;

class AppInspector : public LumoraPanel {
    Q_OBJECT
    Q_PROPERTY(QObject *_lumoraLayerController READ lumoraLayerControllerObject WRITE setLumoraLayerControllerObject)

public:
    Q_INVOKABLE explicit AppInspector(QWidget *parent = nullptr);
    ~AppInspector() override;

    LumoraLayerViewNibbler *lumoraLayerController() const;
    QObject *lumoraLayerControllerObject() const;
    // Anything but a LumoraLayerViewNibbler is left unconnected.
    void setLumoraLayerControllerObject(QObject *controller);

    // The panel's look, then the normal window level.
    Q_INVOKABLE void awakeFromNib();
    Q_INVOKABLE void applicationDidFinishLaunching(const NSNotification &notification);
    Q_INVOKABLE void applicationWillTerminate(const NSNotification &notification);
    // Does nothing: the inspector has one page.
    Q_INVOKABLE void selectDefaultPanel(QObject *sender = nullptr);

private:
    QPointer<QObject> mLayerController;
};

bool import_AppInspector();
