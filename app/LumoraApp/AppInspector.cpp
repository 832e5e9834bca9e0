#include "AppInspector.h"

#include "LumoraLayerViewNibbler.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(AppInspector);

AppInspector::AppInspector(QWidget *parent) : LumoraPanel(QRect(), 0, 2, false, parent) {
    setWindowTitle(QStringLiteral("Inspector"));
}

AppInspector::~AppInspector() = default;

LumoraLayerViewNibbler *AppInspector::lumoraLayerController() const {
    return qobject_cast<LumoraLayerViewNibbler *>(mLayerController.data());
}
QObject *AppInspector::lumoraLayerControllerObject() const { return mLayerController.data(); }
void AppInspector::setLumoraLayerControllerObject(QObject *controller) {
    mLayerController = qobject_cast<LumoraLayerViewNibbler *>(controller);
}

void AppInspector::awakeFromNib() {
    LumoraPanel::awakeFromNib();
    // The normal window level: a tool window that does not stay above other applications.
    setWindowFlag(Qt::WindowStaysOnTopHint, false);
}

void AppInspector::applicationDidFinishLaunching(const NSNotification &notification) {
    if (LumoraLayerViewNibbler *layer = lumoraLayerController()) layer->applicationDidFinishLaunching(notification);
}

void AppInspector::applicationWillTerminate(const NSNotification &notification) {
    if (LumoraLayerViewNibbler *layer = lumoraLayerController()) layer->applicationWillTerminate(notification);
}

void AppInspector::selectDefaultPanel(QObject *) {}

bool import_AppInspector() { return import_LumoraWindow() && import_LumoraLayerViewNibbler(); }
