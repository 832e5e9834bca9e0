// AppInspector: the inspector panel, a tool window with the camera picture's background and
// texture matrix. It passes the launch and terminate notices on to the layer panel of the
// camera view it holds (_lumoraLayerController), which passes them on to its matrix controller.
//
// Nib "AppInspector": the panel as the form's root with, top to bottom, the background (draw
// colour, colour well, draw picture, backgrounds pop-up, picture view), the camera picture's
// flips (quick flip X and Y, the camera mirror) and the texture matrix. The layer panel
// (a hidden LumoraLayerViewNibbler) has these controls as its outlets. At awakeFromNib the
// panel loads the nib "LumMatrixController" into its matrix section and makes that controller
// the layer's matrix controller; the matrix form's "Show layer" switch is the layer's draw
// button. The backgrounds pop-up lists the pictures of the application's resources folder
// (by name, without extension) after its fixed first entry.
//
// The panel's place, size and visibility are kept in the standard user defaults: restored when
// the application has finished launching, stored when it terminates.
//   "AppInspectorFrame"    string   "x y width height" (a frame outside 1..10000 a side is ignored)
//   "AppInspectorVisible"  integer  0
// Escape closes the panel.
#pragma once

#include "LumoraWindow.h"

#include <Foundation/NSNotification.h>

#include <QObject>
#include <QPointer>
#include <QStringList>

class LumMatrixController;
class LumoraLayerViewNibbler;

class AppInspector : public LumoraPanel {
    Q_OBJECT
    Q_PROPERTY(QObject *_lumoraLayerController READ lumoraLayerControllerObject WRITE setLumoraLayerControllerObject)

public:
    static constexpr char kFrameKey[] = "AppInspectorFrame";
    static constexpr char kVisibleKey[] = "AppInspectorVisible";

    Q_INVOKABLE explicit AppInspector(QWidget *parent = nullptr);
    ~AppInspector() override;

    LumoraLayerViewNibbler *lumoraLayerController() const;
    QObject *lumoraLayerControllerObject() const;
    // Anything but a LumoraLayerViewNibbler is left unconnected.
    void setLumoraLayerControllerObject(QObject *controller);
    // The matrix form loaded at awakeFromNib; null before or when it did not load.
    LumMatrixController *matrixController() const;

    // The panel's look, then the normal window level; the matrix form and the backgrounds.
    Q_INVOKABLE void awakeFromNib();
    // Restores the place, size and visibility, then the layer panel's state.
    Q_INVOKABLE void applicationDidFinishLaunching(const NSNotification &notification);
    // Stores the layer panel's state, then the place, size and visibility.
    Q_INVOKABLE void applicationWillTerminate(const NSNotification &notification);
    // Does nothing: the inspector has one page.
    Q_INVOKABLE void selectDefaultPanel(QObject *sender = nullptr);

    // The names of the pictures in the folder (png, jpeg, tiff), sorted, without extension.
    static QStringList backgroundPictureNames(const QString &folder);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void loadMatrixForm();
    void fillBackgrounds();

    QPointer<QObject> mLayerController;
    QPointer<LumMatrixController> mMatrix;
};

bool import_AppInspector();
