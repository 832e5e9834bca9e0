#include "AppInspector.h"

#include "LumMatrixController.h"
#include "LumoraLayerViewNibbler.h"

#include <AppKit/NSNib.h>
#include <AppKit/NSWindow.h>
#include <CocoaFoundation/PersistentKeyPaths.h>
#include <Foundation/NSException.h>
#include <Foundation/NSObjCRuntime.h>
#include <Foundation/NSUserDefaults.h>
#include <UICocoaColor/NSColorWellWithAlpha.h>
#include <UICocoaControls/NSUIImageViewParam.h>

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLayout>


NS_REGISTER_CLASS(AppInspector);
// The colour well the form names.
NS_REGISTER_CLASS(NSColorWellWithAlpha);

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

LumMatrixController *AppInspector::matrixController() const { return mMatrix.data(); }

void AppInspector::awakeFromNib() {
    LumoraPanel::awakeFromNib();
    // The normal window level: a tool window that does not stay above other applications.
    setWindowFlag(Qt::WindowStaysOnTopHint, false);
    loadMatrixForm();
    fillBackgrounds();
}

void AppInspector::loadMatrixForm() {
    if (mMatrix) return;
    auto *container = findChild<QWidget *>(QStringLiteral("matrixContainer"));
    std::unique_ptr<NSNib> nib = NSNib::initWithNibNamed(QStringLiteral("LumMatrixController"));
    QList<QObject *> top;
    if (container == nullptr || nib == nullptr || !nib->instantiateNibWithOwner(nullptr, &top) || top.isEmpty()) {
        NSLog(QStringLiteral("AppInspector: the texture matrix form does not load"));
        qDeleteAll(top);
        return;
    }
    auto *matrix = qobject_cast<LumMatrixController *>(top.takeFirst());
    qDeleteAll(top);
    if (matrix == nullptr) return;
    matrix->setParent(container);  // a child view now, no window of its own
    // Indented under its header as the other sections are.
    if (QLayout *own = matrix->layout()) own->setContentsMargins(12, 0, 0, 0);
    if (QLayout *layout = container->layout()) layout->addWidget(matrix);
    mMatrix = matrix;
    if (LumoraLayerViewNibbler *layer = lumoraLayerController()) {
        layer->setLayerMatrixController(matrix);
        // The matrix form's texture switch draws the layer or not: it is the layer's draw button.
        layer->outletLayerDrawButton = matrix->_textureEnabled();
        matrix->setTarget(layer);
        matrix->setAction(QByteArrayLiteral("layerTextureMatrixChanged:"));
    }
}

QStringList AppInspector::backgroundPictureNames(const QString &folder) {
    if (folder.isEmpty()) return {};
    QStringList names;
    const QStringList files = QDir(folder).entryList({QStringLiteral("*.png"), QStringLiteral("*.jpg"), QStringLiteral("*.jpeg"),
                                                      QStringLiteral("*.tif"), QStringLiteral("*.tiff")},
                                                     QDir::Files | QDir::Readable, QDir::Name | QDir::IgnoreCase);
    for (const QString &file : files) {
        const QString name = QFileInfo(file).completeBaseName();
        if (!name.isEmpty() && !names.contains(name)) names.append(name);
    }
    return names;
}

void AppInspector::fillBackgrounds() {
    LumoraLayerViewNibbler *layer = lumoraLayerController();
    auto *view = layer != nullptr ? qobject_cast<NSUIImageViewParam *>(layer->outletBackgroundImageView.data()) : nullptr;
    if (view != nullptr) view->setPresetsMenuResourceFileNames(backgroundPictureNames(DirectoryLocations::mainBundleResourcesFolder()));
}

void AppInspector::applicationDidFinishLaunching(const NSNotification &notification) {
    NSWindow::setFrameUsingName(this, QString::fromLatin1(kFrameKey));
    if (NSUserDefaults::standardUserDefaults().integerForKey(QString::fromLatin1(kVisibleKey)) != 0) show();
    if (LumoraLayerViewNibbler *layer = lumoraLayerController()) layer->applicationDidFinishLaunching(notification);
}

void AppInspector::applicationWillTerminate(const NSNotification &notification) {
    if (LumoraLayerViewNibbler *layer = lumoraLayerController()) layer->applicationWillTerminate(notification);
    NSUserDefaults &defaults = NSUserDefaults::standardUserDefaults();
    NSWindow::saveFrameUsingName(this, QString::fromLatin1(kFrameKey));
    defaults.setInteger(isVisible() ? 1 : 0, QString::fromLatin1(kVisibleKey));
    defaults.synchronize();
}

void AppInspector::selectDefaultPanel(QObject *) {}

// A key event rather than a window shortcut: a shortcut needs the panel to be the active
// window, which a tool window shown over another one is not always yet.
void AppInspector::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    LumoraPanel::keyPressEvent(event);
}

bool import_AppInspector() {
    return import_LumoraWindow() && import_LumoraLayerViewNibbler() && import_LumMatrixController() &&
           import_NSUIImageViewParam() && import_NSColorWellWithAlpha();
}
