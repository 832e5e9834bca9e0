// LumMatrixController: the camera layer's texture-matrix panel. It keeps its switches and
// sliders in the standard user defaults (loaded when the application has finished launching,
// stored when it terminates) and hands the layer its quad matrix.
//
// Keys (switches as integers, sliders as the text of their value, loaded as numbers):
//   "outletTextureEnabled"            1       texture switch
//   "outletTextureFlippedX"           0       horizontal flip
//   "outletTextureFlippedY"           0       vertical flip
//   "outletMatrixScaleSlider"         "0.5"   scale
//   "outletMatrixAngleZSlider", "outletMatrixAngleXSlider", "outletMatrixAngleYSlider"
//                                     "0.0"   rotation about Z, X, Y
//   "outletMatrixTranslateXSlider", "outletMatrixTranslateYSlider", "outletMatrixTranslateZSlider"
//                                     "0.5"   translation
// The slider defaults are 0.5, 0.0 and 0.5 formatted with "%1.1f". A stored text that is no
// finite number loads as the default.
//
// Nib "LumMatrixController": the controller as the form's root with the seven sliders and the
// three switches.
#pragma once

#include <CocoaGL/NSOGLTextureMatrixController.h>
#include <Foundation/NSNotification.h>

#include <QCheckBox>
#include <QString>

#include <memory>
#include <vector>

// A switch of the panel: a check box that answers a switch's "state" and "intValue" (1 on, 0 off),
// which the texture-matrix controller reads.
class LumMatrixSwitch : public QCheckBox {
    Q_OBJECT
    Q_PROPERTY(int state READ state WRITE setState)
    Q_PROPERTY(int intValue READ state WRITE setState)
public:
    Q_INVOKABLE explicit LumMatrixSwitch(QWidget *parent = nullptr);
    int state() const { return isChecked() ? 1 : 0; }
    void setState(int state) { setChecked(state != 0); }
};

class LumMatrixController : public NSOGLTextureMatrixController {
    Q_OBJECT
public:
    // One row of the defaults table: the key (the outlet's name) and its default.
    struct DefaultsRow {
        const char *key;
        bool isSwitch;
        int switchDefault;
        QString sliderDefault;
    };
    // The table, switches first, in the order above.
    static const std::vector<DefaultsRow> &defaultsTable();

    Q_INVOKABLE explicit LumMatrixController(QWidget *parent = nullptr);
    ~LumMatrixController() override;

    // A change of a switch goes to the target as a change of the matrix.
    Q_INVOKABLE void awakeFromNib();

    // Loads / stores the table.
    Q_INVOKABLE void applicationDidFinishLaunching(const NSNotification &notification);
    Q_INVOKABLE void applicationWillTerminate(const NSNotification &notification);

    // The quad matrix of the normal texture matrix, applied to both the texture and the
    // model-view matrix.
    std::shared_ptr<NSOGLNormalQuadMatrix> layerQuadMatrices() const;

    // The text of a slider's value: its "stringValue" when it has one, else its "doubleValue"
    // written in the shortest form that reads back the same; null when it has neither.
    static QString sliderStringValue(const QObject *slider);

private:
    QObject *outletForKey(const char *key) const;
};

bool import_LumMatrixController();
