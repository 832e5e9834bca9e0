// ZodAzerController: the tint part of the tint, mask and stencil stage. It owns the tint
// settings (type, amount, colours, gradient) and keeps one tint image per tint type, all
// 640 x 480 pixels:
//
//     type 0 gradient   the gradient unit's picture of colour one to colour two (exchanged when
//                       swapGradientColors is set) between the gradient view's points p0, p1
//     type 1 colour     colour well one's colour
//     type 2 sampled    the image well's picture, scaled to 640 x 480 over black
//     default           (0.01, 0.01, 0.01, 0.01), stands in for a missing one
//
// The images are rebuilt by zodAzerControllerChanged (the panel's actions) and cached; the
// stage reads selectedTintImage every frame, so a frame never renders a gradient. A change of
// colour one or two (the colour scheme's dominant and secondary colours) rebuilds the image
// of the current type.
//
// The outlets are nib objects, not owned; a missing one reads as nothing (no colour, amount
// 0, type 0). Main thread only.
#pragma once

#include <CocoaQZ/QuartzCore/QTZImageGradientUnit.h>
#include <CoreImage/CIColor.h>
#include <CoreImage/CIImage.h>
#include <UICocoaControls/NSUITargetActionView.h>

#include <QColor>
#include <QPointer>
#include <QVariant>

#include <memory>
#include <optional>

class CIImageMouseDragView;
class NSColorWell;
class NSImageView;
class NSSegmentedControl;
class NSSlider;
class QComboBox;
class UFColorSchemeController;

class ZodAzerController : public NSUITargetActionView, public QTZImageRenderUnitDelegate {
    Q_OBJECT
    Q_PROPERTY(QObject *outletColorSchemeController READ colorSchemeController WRITE setColorSchemeController)
    Q_PROPERTY(QObject *outletImageView READ imageView WRITE setImageView)
    Q_PROPERTY(QObject *outletTintTypeSelected READ tintTypeSelected WRITE setTintTypeSelected)
    Q_PROPERTY(QObject *outletTintAmountSlider READ tintAmountSlider WRITE setTintAmountSlider)
    Q_PROPERTY(QObject *outletColorWellOne READ colorWellOne WRITE setColorWellOne)
    Q_PROPERTY(QObject *outletColorWellTwo READ colorWellTwo WRITE setColorWellTwo)
    Q_PROPERTY(QObject *outletGradientView READ gradientView WRITE setGradientView)
    Q_PROPERTY(QObject *outletGradientType READ gradientTypePopUp WRITE setGradientTypePopUp)
    Q_PROPERTY(bool tintEnabled READ tintEnabled WRITE setTintEnabled)
    Q_PROPERTY(bool swapGradientColors READ swapGradientColors WRITE setSwapGradientColors)
    Q_PROPERTY(int tintType READ tintType WRITE setTintType)
    Q_PROPERTY(int gradientType READ gradientType WRITE setGradientType)
    Q_PROPERTY(QColor colorOne READ colorOne WRITE setColorOne NOTIFY colorOneChanged)
    Q_PROPERTY(QColor colorTwo READ colorTwo WRITE setColorTwo NOTIFY colorTwoChanged)
    Q_PROPERTY(QColor gradientColorOne READ gradientColorOne NOTIFY gradientColorsChanged)
    Q_PROPERTY(QColor gradientColorTwo READ gradientColorTwo NOTIFY gradientColorsChanged)
    Q_PROPERTY(bool isTintGradient READ isTintGradient NOTIFY tintTypeChanged)
    Q_PROPERTY(bool isTintColor READ isTintColor NOTIFY tintTypeChanged)
    Q_PROPERTY(bool isTintSampled READ isTintSampled NOTIFY tintTypeChanged)

public:
    // The size of every tint image.
    static constexpr double kTintWidthPixels = 640;
    static constexpr double kTintHeightPixels = 480;

    Q_INVOKABLE explicit ZodAzerController(QWidget *parent = nullptr);
    // Releases the cached images and the gradient unit.
    ~ZodAzerController() override;

    // ---- Outlets ---------------------------------------------------------------------------

    QObject *colorSchemeController() const;
    void setColorSchemeController(QObject *controller);
    QObject *imageView() const;
    void setImageView(QObject *view) { mImageView = view; }
    QObject *tintTypeSelected() const { return mTintTypeSelected.data(); }
    void setTintTypeSelected(QObject *control) { mTintTypeSelected = control; }
    QObject *tintAmountSlider() const { return mTintAmountSlider.data(); }
    void setTintAmountSlider(QObject *slider) { mTintAmountSlider = slider; }
    QObject *colorWellOne() const { return mColorWellOne.data(); }
    void setColorWellOne(QObject *well) { mColorWellOne = well; }
    QObject *colorWellTwo() const { return mColorWellTwo.data(); }
    void setColorWellTwo(QObject *well) { mColorWellTwo = well; }
    QObject *gradientView() const;
    void setGradientView(QObject *view) { mGradientView = view; }
    QObject *gradientTypePopUp() const { return mGradientType.data(); }
    void setGradientTypePopUp(QObject *popUp) { mGradientType = popUp; }
    CIImageMouseDragView *gradientDragView() const;

    bool tintEnabled() const { return mTintEnabled; }
    void setTintEnabled(bool enabled) { mTintEnabled = enabled; }
    bool swapGradientColors() const { return mSwapGradientColors; }
    void setSwapGradientColors(bool swap);

    // ---- Settings --------------------------------------------------------------------------

    // The selected segment (0 without the control); setting it also updates the views.
    int tintType() const;
    void setTintType(int type);
    bool isTintGradient() const { return tintType() == 0; }
    bool isTintColor() const { return tintType() == 1; }
    bool isTintSampled() const { return tintType() == 2; }
    // The index of the gradient pop-up's selected item (0 without it).
    int gradientType() const;
    void setGradientType(int type);
    // The colour scheme's dominant and secondary colours (invalid without it); setting one
    // updates the views.
    QColor colorOne() const;
    void setColorOne(const QColor &color);
    QColor colorTwo() const;
    void setColorTwo(const QColor &color);
    // Colour one and two, exchanged when swapGradientColors is set.
    QColor gradientColorOne() const;
    QColor gradientColorTwo() const;
    // Colour well one's colour ((0, 0, 0, 0) without the well).
    CIColor tintColor() const;
    // The tint amount slider's double value (0 without the slider).
    double tintAmount() const;

    // ---- Tint images -----------------------------------------------------------------------

    // The tint colour cropped to (0, 0, 640, 480).
    CIImageRef tintColorImageSizedToConfiguration() const;
    // (0.01, 0.01, 0.01, 0.01) cropped to (0, 0, 640, 480).
    static CIImageRef tintDefaultImageSizedToConfiguration();
    // The image well's picture at 640 x 480 pixels; null when the well shows nothing.
    CIImageRef imageWellImageSizedToConfiguration() const;
    // The gradient unit's picture for the present settings; the colour image when it gives
    // none (no unit, a failed render, an exception, logged).
    CIImageRef renderGradientImage();
    // What the gradient view shows: the cached gradient (rendered and cached first when there
    // is none) for the gradient type, else the colour image.
    CIImageRef currentGradientViewImage();
    // The stage's tint image: the cached image of the type; the default image for another
    // type or when that one is missing.
    CIImageRef selectedTintImage() const;
    // The cached sampled image, else the default image.
    CIImageRef tintImage() const;

    CIImageRef cachedTintImage() const { return mCachedTintImage; }
    void setCachedTintImage(CIImageRef image) { mCachedTintImage = std::move(image); }
    CIImageRef cachedColorImage() const { return mCachedColorImage; }
    void setCachedColorImage(CIImageRef image) { mCachedColorImage = std::move(image); }
    CIImageRef cachedGradientImage() const { return mCachedGradientImage; }
    void setCachedGradientImage(CIImageRef image) { mCachedGradientImage = std::move(image); }
    CIImageRef cachedDefaultImage() const { return mCachedDefaultImage; }
    void setCachedDefaultImage(CIImageRef image) { mCachedDefaultImage = std::move(image); }
    std::shared_ptr<QTZImageGradientUnit> gradientRenderer() const { return mGradientRenderer; }
    void setGradientRenderer(std::shared_ptr<QTZImageGradientUnit> unit) { mGradientRenderer = std::move(unit); }

    // Caches the image of the type (2 sampled, 1 colour, 0 gradient; nothing for another),
    // redisplays its view, updates the views, then sends the target action with the controller.
    void zodAzerControllerChanged(int type);
    // Announces the three isTint keys and shows the views of the present type.
    void updateViewsDependentOnTintType();
    // Gradient colours not swapped, a new gradient unit, colour one blue and two green, points
    // (0.25, 0.25) and (0.75, 0.75); with a unit, caches the default, colour, sampled and
    // gradient images, then controllerChanged. An exception is logged.
    void setDefaultValues();

    // The gradient unit's delegate: true, setting nothing.
    bool qtzImageRenderUnit(QTZImageRenderUnit *unit, QCRenderer *renderer) override;

    // ---- Actions ---------------------------------------------------------------------------

    Q_INVOKABLE void awakeFromNib();
    Q_INVOKABLE void controllerChanged(QObject *sender = nullptr);
    Q_INVOKABLE void controllerColorChanged(QObject *sender = nullptr);
    Q_INVOKABLE void controllerImageChanged(QObject *sender = nullptr);
    Q_INVOKABLE void controllerGradientChanged(QObject *sender = nullptr);
    // The sender is a menu item (a QAction): its index in its menu becomes the gradient type.
    Q_INVOKABLE void setGradientTypeBySelectedIndexOfSender(QObject *sender);
    Q_INVOKABLE void updateTintController();
    Q_INVOKABLE void resetDefaultValues(QObject *sender = nullptr);

signals:
    void colorOneChanged();
    void colorTwoChanged();
    void gradientColorsChanged();
    void tintTypeChanged();

private:
    void gradientColorsDidChange();

    QPointer<UFColorSchemeController> mColorSchemeController;
    QPointer<QObject> mImageView;
    QPointer<QObject> mTintTypeSelected;
    QPointer<QObject> mTintAmountSlider;
    QPointer<QObject> mColorWellOne;
    QPointer<QObject> mColorWellTwo;
    QPointer<QObject> mGradientView;
    QPointer<QObject> mGradientType;
    bool mTintEnabled = false;
    bool mSwapGradientColors = false;
    bool mObservingColors = false;
    CIImageRef mCachedTintImage, mCachedColorImage, mCachedGradientImage, mCachedDefaultImage;
    std::shared_ptr<QTZImageGradientUnit> mGradientRenderer;
    QMetaObject::Connection mDominantObserver, mSecondaryObserver;
};

bool import_ZodAzerController();
