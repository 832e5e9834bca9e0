// ZodAzerMaskViewNibbler: the tint, mask and stencil stage every camera frame passes through
// before the effect composition (the effect input controller's protocol_QTZTintMaskFilter).
//
//     outputImage():
//         no input picture                       null (reported " code : outputImage")
//         1 tint      chroma tint on, a tint filter and a tint image:
//                         tintImageFilter(picture, mask = selectedTintImage, amount = tintAmount)
//         2 stencil   sample mask on and a stencil image:
//                         sample alpha on:  sampleMaskFilter(picture, mask = stencil)
//                         otherwise:        sampleBlendMultiply(picture, background = stencil)
//         3 mask      filter mask on, a mask filter and a mask image:
//                         filter alpha on:  tintMaskFilter(picture, mask = filter mask)
//                         otherwise:        tintBlendMultiply(picture, background = inverted mask)
//         every step that is off passes the picture unchanged; a null result is reported
//         (" code : outputImage") and answered as null.
//
// A step whose mask picture or filter is missing (no tint image, no stencil yet, no drawn mask
// yet, filters not made yet) passes the picture unchanged, so it never throws away the other
// steps' work.
//
// The five switches are check boxes (outlets outletFilterMaskEnabled, outletFilterAlphaEnabled,
// outletSampleMaskEnabled, outletSampleAlphaEnabled, outletChromaTintEnabled): on is any state
// but 0. The filters are made when the panel's view is installed; they are properties, so a
// caller may set its own. The stencil and the drawn mask are kept as images of copies of the
// masks' bytes, rebuilt when the panel says a mask changed, so the per-frame work is the
// filter recipe and one render by the caller.
//
// Main thread only.
#pragma once

#include "QTZInputController.h"
#include "ZodAzerController.h"

#include <CocoaQZ/QuartzCore/QTZImageFilterUnit.h>
#include <CoreGraphics/CGImage.h>
#include <CoreImage/CIFilter.h>
#include <CoreImage/CIImage.h>
#include <NSUIMaskInstanceNibbler/NSUIMaskControllerView.h>
#include <NSUIMaskInstanceNibbler/NSUIMaskInstance.h>
#include <NSUIMaskInstanceNibbler/NSUIMaskInstanceController.h>
#include <NSUIMultiViewController/NSUIMultiViewPopUpBox.h>
#include <UICocoaViews/NSUIViewNibbler.h>

#include <QPointer>

#include <memory>

class NSUIMaskImageViewController;

// The drawn mask's preview, which also keeps the mask as a Core Image image.
class FilterMaskControllerView : public NSUIMaskControllerView {
    Q_OBJECT

public:
    Q_INVOKABLE explicit FilterMaskControllerView(QWidget *parent = nullptr);
    ~FilterMaskControllerView() override;

    CIImageRef maskCIImage() const { return mMaskCIImage; }
    void setMaskCIImage(CIImageRef image) { mMaskCIImage = std::move(image); }

    // The base's handling, then updateMaskCIImage. The mask controller announces its merges
    // with maskContextChanged:, so both keep the image current.
    Q_INVOKABLE void onMaskChanged(QObject *sender);
    Q_INVOKABLE void maskContextChanged(QObject *sender);
    // An image of the mask controller's composite mask; nothing changes when there is none.
    void updateMaskCIImage();

private:
    CIImageRef mMaskCIImage;
};

class ZodAzerMaskInstanceController : public NSUIMaskInstanceController {
    Q_OBJECT
    Q_PROPERTY(QObject *outletZodAzerMaskInstance READ zodAzerMaskInstance WRITE setZodAzerMaskInstance)

public:
    Q_INVOKABLE explicit ZodAzerMaskInstanceController(QObject *parent = nullptr) : NSUIMaskInstanceController(parent) {}
    QObject *zodAzerMaskInstance() const { return mZodAzerMaskInstance.data(); }
    void setZodAzerMaskInstance(QObject *instance) { mZodAzerMaskInstance = instance; }

private:
    QPointer<QObject> mZodAzerMaskInstance;
};

// The stage's mask instance and multi-view box draw nothing of their own.
class ZodAzerMaskInstance : public NSUIMaskInstance {
    Q_OBJECT

public:
    Q_INVOKABLE explicit ZodAzerMaskInstance(QWidget *parent = nullptr) : NSUIMaskInstance(parent) {}
    void drawRect(CGRect) override {}
};

class ZodAzerMultiViewPopUpBox : public NSUIMultiViewPopUpBox {
    Q_OBJECT

public:
    Q_INVOKABLE explicit ZodAzerMultiViewPopUpBox(QWidget *parent = nullptr) : NSUIMultiViewPopUpBox(parent) {}
    void drawRect(CGRect) override {}
};

class ZodAzerMaskViewNibbler : public NSUIViewNibbler,
                               public protocol_QTZTintMaskFilter,
                               public QTZImageRenderUnitDelegate {
    Q_OBJECT
    Q_PROPERTY(QObject *outletFilterMaskControllerView READ filterMaskControllerView WRITE setFilterMaskControllerView)
    Q_PROPERTY(QObject *outletMultiViewBox READ multiViewBox WRITE setMultiViewBox)
    Q_PROPERTY(QObject *outletFilterMaskController READ filterMaskControllerObject WRITE setFilterMaskController)
    Q_PROPERTY(QObject *outletSampledMaskController READ sampledMaskController WRITE setSampledMaskController)
    Q_PROPERTY(QObject *outletFilterMaskEnabled READ filterMaskEnabled WRITE setFilterMaskEnabled)
    Q_PROPERTY(QObject *outletFilterAlphaEnabled READ filterAlphaEnabled WRITE setFilterAlphaEnabled)
    Q_PROPERTY(QObject *outletSampleMaskEnabled READ sampleMaskEnabled WRITE setSampleMaskEnabled)
    Q_PROPERTY(QObject *outletSampleAlphaEnabled READ sampleAlphaEnabled WRITE setSampleAlphaEnabled)
    Q_PROPERTY(QObject *outletChromaTintEnabled READ chromaTintEnabled WRITE setChromaTintEnabled)

public:
    // The composition of the stage's composition variant.
    static constexpr const char *kTintMaskCompositionID = "com.tarvex.TintMask.qtz";

    Q_INVOKABLE explicit ZodAzerMaskViewNibbler(QWidget *parent = nullptr);
    // Releases the composition unit, the images and the filters.
    ~ZodAzerMaskViewNibbler() override;

    // ---- Outlets ---------------------------------------------------------------------------

    QObject *filterMaskControllerView() const { return mFilterMaskControllerView.data(); }
    void setFilterMaskControllerView(QObject *view) { mFilterMaskControllerView = qobject_cast<FilterMaskControllerView *>(view); }
    QObject *multiViewBox() const { return mMultiViewBox.data(); }
    void setMultiViewBox(QObject *box) { mMultiViewBox = qobject_cast<NSUIMultiViewBox *>(box); }
    QObject *filterMaskControllerObject() const;
    void setFilterMaskController(QObject *controller);
    void setSampledMaskController(QObject *controller);
    QObject *filterMaskEnabled() const { return mSwitches[0].data(); }
    void setFilterMaskEnabled(QObject *box) { mSwitches[0] = box; }
    QObject *filterAlphaEnabled() const { return mSwitches[1].data(); }
    void setFilterAlphaEnabled(QObject *box) { mSwitches[1] = box; }
    QObject *sampleMaskEnabled() const { return mSwitches[2].data(); }
    void setSampleMaskEnabled(QObject *box) { mSwitches[2] = box; }
    QObject *sampleAlphaEnabled() const { return mSwitches[3].data(); }
    void setSampleAlphaEnabled(QObject *box) { mSwitches[3] = box; }
    QObject *chromaTintEnabled() const { return mSwitches[4].data(); }
    void setChromaTintEnabled(QObject *box) { mSwitches[4] = box; }

    // ---- protocol_QTZTintMaskFilter --------------------------------------------------------

    void setInputImage(CIImageRef image) override;
    // A CGImage as a Core Image image of it (null stays null).
    void setInputImage(CGImageRef image);
    CIImageRef outputImage() override;
    Q_INVOKABLE void resetDefaultValues(QObject *sender) override;
    Q_INVOKABLE void updateNibblerChanged(QObject *sender) override;
    // The nibbler's controller; when it is not a ZodAzerController the failure is reported
    // (" code : self.nibblerController") and it is answered all the same.
    QObject *imageTintController() const override;
    QObject *sampledMaskController() const override;
    NSUIMaskController *filterMaskController() const override;
    QList<QObject *> tintGradientPointControls() const override;

    // ---- The stage -------------------------------------------------------------------------

    // The nibbler's controller as a tint controller; null when it is none.
    ZodAzerController *tintController() const;

    // The switches: on is any state but 0; a missing box is off.
    bool applyFilterMaskDuringTintOperation() const;
    bool createAlphaDuringFilterMaskOperation() const;
    bool applySampleMaskOperation() const;
    bool createAlphaDuringSampleMaskOperation() const;
    bool applyChromaTintDuringMaskOperation() const;

    CIImageRef imageByApplyingTintingOperation(const CIImageRef &image, const CIImageRef &tintImage) const;
    CIImageRef imageByApplyingSampleFilterOperation(const CIImageRef &image, const CIImageRef &maskImage) const;
    CIImageRef imageByApplyingMaskFilterOperation(const CIImageRef &image, const CIImageRef &maskImage) const;
    // The composition variant: the composition unit's output for the image, or the image
    // when there is no unit.
    CIImageRef tintMaskWithQuartzComposition(const CIImageRef &image, const CIImageRef &maskImage,
                                             const CIImageRef &tintImage);
    // The composition unit's inputs: "inputMaskImage", "inputMaskAmount" 1.0, and with a tint
    // controller "inputTintImage", "inputTintAmount", "inputTintEnabled", "inputMaskEnabled"
    // (true); false with nothing set without a mask or a tint image; "inputTintAmount" 0.0 and
    // false without a tint controller; false (logged) when an NSException is raised.
    bool qtzImageRenderUnit(QTZImageRenderUnit *unit, QCRenderer *renderer) override;

    // The drawn mask's image (null without the view or before its first mask).
    CIImageRef filterMaskCIImage() const;
    // The stencil as an image of a copy of the sampled mask controller's mask (nothing changes
    // when it has no mask).
    void updateCachedStencilMaskImage();

    // The nibbler's set-up (see NSUIViewNibbler): the filter mask's box is made transparent
    // and the stencil image made.
    void awakeFromNibbler() override;
    // The base's installation; when it succeeded, the panel is set up (multi-view box, masks
    // at 640 x 480) and the filters made (makeStageFilters). The base's answer.
    bool installNibblerSubView() override;
    // Makes the six filters and the composition unit; an exception is logged.
    void makeStageFilters();

    CIImageRef inputCIImage() const { return mInputCIImage; }
    CIImageRef stencilCIImage() const { return mStencilCIImage; }
    void setStencilCIImage(CIImageRef image) { mStencilCIImage = std::move(image); }
    CIFilterRef sampleBlendMultiply() const { return mSampleBlendMultiply; }
    void setSampleBlendMultiply(CIFilterRef filter) { mSampleBlendMultiply = std::move(filter); }
    CIFilterRef sampleMaskFilter() const { return mSampleMaskFilter; }
    void setSampleMaskFilter(CIFilterRef filter) { mSampleMaskFilter = std::move(filter); }
    CIFilterRef invertColorsFilter() const { return mInvertColorsFilter; }
    void setInvertColorsFilter(CIFilterRef filter) { mInvertColorsFilter = std::move(filter); }
    CIFilterRef tintBlendMultiply() const { return mTintBlendMultiply; }
    void setTintBlendMultiply(CIFilterRef filter) { mTintBlendMultiply = std::move(filter); }
    CIFilterRef tintMaskFilter() const { return mTintMaskFilter; }
    void setTintMaskFilter(CIFilterRef filter) { mTintMaskFilter = std::move(filter); }
    CIFilterRef tintImageFilter() const { return mTintImageFilter; }
    void setTintImageFilter(CIFilterRef filter) { mTintImageFilter = std::move(filter); }
    std::shared_ptr<QTZImageFilterUnit> quartzImageFilter() const { return mQuartzImageFilter; }
    void setQuartzImageFilter(std::shared_ptr<QTZImageFilterUnit> unit);

    // ---- Panel actions ---------------------------------------------------------------------

    Q_INVOKABLE void inputMaskSampledChanged(QObject *) { updateCachedStencilMaskImage(); }
    Q_INVOKABLE void maskContextChanged(QObject *) {}
    Q_INVOKABLE void inputMaskFilterChanged(QObject *) {}
    Q_INVOKABLE void inputMaskTintingChanged(QObject *) {}

private:
    bool switchOn(int index) const;

    QPointer<FilterMaskControllerView> mFilterMaskControllerView;
    QPointer<NSUIMultiViewBox> mMultiViewBox;
    QPointer<NSUIMaskController> mFilterMaskController;
    QPointer<NSUIMaskImageViewController> mSampledMaskController;
    // filterMask, filterAlpha, sampleMask, sampleAlpha, chromaTint.
    QPointer<QObject> mSwitches[5];
    std::shared_ptr<QTZImageFilterUnit> mQuartzImageFilter;
    CIImageRef mInputCIImage;
    CIImageRef mStencilCIImage;
    CIFilterRef mSampleBlendMultiply, mSampleMaskFilter, mInvertColorsFilter, mTintBlendMultiply, mTintMaskFilter,
        mTintImageFilter;
};

bool import_ZodAzerMaskViewNibbler();
