// LumoraLayerViewNibbler: the background layer panel of the camera view. Beside the texture
// layer panel it has one check box, the camera mirror (_cameraFlipX), and it keeps the panel's
// state in the standard user defaults: restored when the application has finished launching,
// stored when it terminates.
//
// Keys (loads take a stored value only when it has the expected kind, else the default):
//   "outletBackgroundColorWell"    string   "rgba(0.0f,0.0f,0.0f,1.0f)"  colour (color4DParam)
//   "outletBackgroundColorDraw"    integer  1                            draw the colour
//   "outletBackgroundImageDraw"    integer  0                            draw the picture
//   "outletLayerQuickFlipX"        integer  1                            quick horizontal flip
//   "outletLayerQuickFlipY"        integer  0                            quick vertical flip
//   "outletBackgroundsPopupButton" string   "Hollywood Sign"             backgrounds pop-up title
#pragma once

#include <LumoraApp/NSOGLTextureLayerViewNibbler.h>

class LumoraLayerViewNibbler : public NSOGLTextureLayerViewNibbler {
    Q_OBJECT
    Q_PROPERTY(QObject *_cameraFlipX MEMBER _cameraFlipX)

public:
    Q_INVOKABLE explicit LumoraLayerViewNibbler(QWidget *parent = nullptr);
    ~LumoraLayerViewNibbler() override;

    QPointer<QObject> _cameraFlipX;  // check box: mirror the camera image (not owned)

    // The base class's answer, or the camera is mirrored.
    bool layerFlippedHorizontal() const override;
    // The mirror check box has a non-zero integer value (false without one).
    bool cameraFlippedHorizontal() const;

    // Restores the panel's state, then the base class.
    Q_INVOKABLE void applicationDidFinishLaunching(const NSNotification &notification);
    // Stores the panel's state, then the base class. A colour well without a colour is
    // reported and its store skipped.
    Q_INVOKABLE void applicationWillTerminate(const NSNotification &notification);
};

bool import_LumoraLayerViewNibbler();
