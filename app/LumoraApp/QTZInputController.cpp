#include "QTZInputController.h"

#include "CamInputBaseNibbler.h"
#include "LumoraStartup.h"

#include "UCoreFnSampler.h"

#include <CocoaQZ/QuartzCore/QTZPropertyDictionary.h>
#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSException.h>
#include <Foundation/NSKeyValueCoding.h>
#include <NSUIMaskInstanceNibbler/NSUIMaskController.h>


#include <exception>

namespace {

// An outlet of a nib object, by key; null when the object has no such key or it holds nothing.
QObject *Outlet(QObject *object, const char *key) {
    if (object == nullptr) return nullptr;
    const std::optional<QVariant> value = NSKeyValueCoding::accessorValueForKey(object, QString::fromLatin1(key));
    return value.has_value() ? NSKeyValueCoding::objectFromVariant(*value) : nullptr;
}

QString Describe(const std::exception &exception) {
    if (const auto *ns = dynamic_cast<const NSException *>(&exception)) return ns->description();
    return QString::fromUtf8(exception.what());
}

}  // namespace

QTZInputController::QTZInputController(QObject *parent) : NSObject(parent) {}

QTZInputController::~QTZInputController() {
    mTestImage.reset();
    mCachedInputFrame.reset();
}

protocol_QTZCameraInputSource *QTZInputController::cameraSource() const {
    return dynamic_cast<protocol_QTZCameraInputSource *>(mCamViewNibbler.data());
}

protocol_QTZTintMaskFilter *QTZInputController::tintMaskFilter() const {
    return dynamic_cast<protocol_QTZTintMaskFilter *>(mTintMaskNibbler.data());
}

// ---- Frames ------------------------------------------------------------------------------------

CamInputFrameRef QTZInputController::cameraInputFrame() {
    if (protocol_QTZCameraInputSource *source = cameraSource()) {
        // A source without a picture still answers a frame; only a frame with a picture counts.
        CamInputFrameRef frame = source->cameraInputFrame();
        if (frame != nullptr && frame->hasFrameImage()) return frame;
    }
    return CamInputFrame::camInputFrameWithFrameImage(cameraTestImage());
}

CIImageRef QTZInputController::cameraTestImage() {
    if (mTestImage == nullptr) mTestImage = CamInputBaseNibbler::resourceImage(QStringLiteral("cameraImage"), QStringLiteral("png"));
    return mTestImage;
}

void QTZInputController::cameraTimerTick(QObject *) {
    const UCoreFnStageTimer timer("Input Camera Frame");
    if (protocol_QTZCameraInputSource *source = cameraSource()) source->cameraTimerTick(this);
}

CamInputFrameRef QTZInputController::pullCameraImageThroughTintMaskQCFilter() {
    cameraTimerTick(this);
    const UCoreFnStageTimer timer("Render Input Tint & Mask");
    const CamInputFrameRef frame = cameraInputFrame();
    if (frame == nullptr) return nullptr;
    protocol_QTZTintMaskFilter *filter = tintMaskFilter();
    const CIImageRef picture = frame->frameImage();
    if (filter == nullptr || picture == nullptr) return frame;
    CIImageRef output;
    try {
        filter->setInputImage(picture);
        output = filter->outputImage();
    } catch (const std::exception &exception) {
        NSLog(QStringLiteral("QTZInputController::pullCameraImageThroughTintMaskQCFilter exception:%1\n")
                  .arg(Describe(exception)));
        output = nullptr;
    }
    // A stage without output leaves the frame as it came: nothing is derived from a null image.
    setCachedInputFrame(output != nullptr ? CamInputFrame::camInputFrameWithFrameImageSourceCamInputFrame(output, frame)
                                          : nullptr);
    return cachedInputFrame() != nullptr ? cachedInputFrame() : frame;
}

// ---- Application -------------------------------------------------------------------------------

void QTZInputController::applicationDidFinishLaunching(const NSNotification &notification) {
    if (protocol_QTZCameraInputSource *source = cameraSource()) source->applicationDidFinishLaunching(notification);
}

void QTZInputController::applicationWillTerminate(const NSNotification &notification) {
    if (protocol_QTZCameraInputSource *source = cameraSource()) source->applicationWillTerminate(notification);
}

void QTZInputController::resetDefaultValues(QObject *sender) {
    if (protocol_QTZTintMaskFilter *filter = tintMaskFilter()) filter->resetDefaultValues(sender);
}

// ---- Settings ----------------------------------------------------------------------------------

ParamMapping &QTZInputController::videoInputParamMapping() {
    static ParamMapping mapping(LumoraVideoInputParamTable().rows);
    return mapping;
}

void QTZInputController::mapParamControlsOnce() {
    // Each group once per process, the first time its controller exists (main thread).
    static bool tintMapped = false, stencilMapped = false, maskMapped = false;
    protocol_QTZTintMaskFilter *filter = tintMaskFilter();
    QObject *chain = mTintMaskNibbler.data();
    if (filter == nullptr) return;
    ParamMapping &mapping = videoInputParamMapping();

    if (QObject *tint = filter->imageTintController(); tint != nullptr && !tintMapped) {
        tintMapped = true;
        mapping.SetParamControl("video.input.option.tint.enabled", Outlet(chain, "outletChromaTintEnabled"));
        QObject *imageView = Outlet(tint, "outletImageView");
        mapping.SetParamControl("video.input.tint.picture.menu", imageView);
        mapping.SetParamControl("video.input.tint.picture.path", imageView);
        mapping.SetParamControl("video.input.tint.picture.url", imageView);
        mapping.SetParamControl("video.input.tint.kind", Outlet(tint, "outletTintTypeSelected"));
        mapping.SetParamControl("video.input.tint.amount", Outlet(tint, "outletTintAmountSlider"));
        mapping.SetParamControl("video.input.tint.color.one", Outlet(tint, "outletColorWellOne"));
        mapping.SetParamControl("video.input.tint.color.two", Outlet(tint, "outletColorWellTwo"));
        mapping.SetParamControl("video.input.tint.gradient.type", Outlet(tint, "outletGradientType"));
        const char *const points[] = {"video.input.tint.gradient.point.x0", "video.input.tint.gradient.point.y0",
                                      "video.input.tint.gradient.point.x1", "video.input.tint.gradient.point.y1"};
        const QList<QObject *> controls = filter->tintGradientPointControls();
        for (qsizetype i = 0; i < 4 && i < controls.size(); ++i) mapping.SetParamControl(points[i], controls[i]);
    }
    if (QObject *stencil = filter->sampledMaskController(); stencil != nullptr && !stencilMapped) {
        stencilMapped = true;
        mapping.SetParamControl("video.input.option.stencil.enabled", Outlet(chain, "outletSampleMaskEnabled"));
        mapping.SetParamControl("video.input.option.stencil.transparent", Outlet(chain, "outletSampleAlphaEnabled"));
        QObject *imageView = Outlet(stencil, "outletImageView");
        mapping.SetParamControl("video.input.stencil.picture.menu", imageView);
        mapping.SetParamControl("video.input.stencil.picture.path", imageView);
        mapping.SetParamControl("video.input.stencil.picture.url", imageView);
    }
    if (NSUIMaskController *mask = filter->filterMaskController(); mask != nullptr && !maskMapped) {
        maskMapped = true;
        mapping.SetParamControl("video.input.option.mask.enabled", Outlet(chain, "outletFilterMaskEnabled"));
        mapping.SetParamControl("video.input.option.mask.transparent", Outlet(chain, "outletFilterAlphaEnabled"));
        mapping.SetParamControl("video.input.mask.screen.type", mask->screenTypeSlider());
        mapping.SetParamControl("video.input.mask.screen.opacity", mask->screenOpacitySlider());
        mapping.SetParamControl("video.input.mask.screen.phase", mask->screenAngleSlider());
        mapping.SetParamControl("video.input.mask.screen.param.0", mask->screenParam0Slider());
        mapping.SetParamControl("video.input.mask.screen.param.1", mask->screenParam1Slider());
        mapping.SetParamControl("video.input.mask.screen.param.2", mask->screenParam2Slider());
        mapping.SetParamControl("video.input.mask.shape.type", mask->shapeTypeSlider());
        mapping.SetParamControl("video.input.mask.shape.opacity", mask->shapeOpacitySlider());
        mapping.SetParamControl("video.input.mask.shape.rotation", mask->shapeAngleSlider());
        mapping.SetParamControl("video.input.mask.shape.param.0", mask->shapeParam0Slider());
        mapping.SetParamControl("video.input.mask.shape.param.1", mask->shapeParam1Slider());
        mapping.SetParamControl("video.input.mask.shape.param.2", mask->shapeParam2Slider());
        mapping.SetParamControl("video.input.mask.shape.param.3", mask->shapeParam3Slider());
        mapping.SetParamControl("video.input.mask.operator", mask->combineOperatorSlider());
    }
}

bool QTZInputController::setControlParamsFromDictionary(const QVariantMap &settings) {
    bool result = false;
    try {
        mapParamControlsOnce();
        videoInputParamMapping().SetParamsFromDictionary(settings);
        result = true;
        if (protocol_QTZTintMaskFilter *filter = tintMaskFilter()) filter->updateNibblerChanged(this);
    } catch (const std::exception &exception) {
        NSLog(QStringLiteral("QTZInputController::setControlParamsFromDictionary exception:%1\n")
                  .arg(Describe(exception)));
        result = false;
    }
    return result;
}

bool QTZInputController::addControlParamsToDictionary(QVariantMap *settings, bool includeAllParameters) {
    if (!VERIFY_TEXT(settings != nullptr, " code : settings")) return false;
    mapParamControlsOnce();
    const ParamMapping &mapping = videoInputParamMapping();
    settings->insert(QStringLiteral("video.input.mask.refines"), QStringLiteral("defaults"));
    mapping.AddParamsWithPrefixToDictionary(settings, QStringLiteral("video.input.option."));
    protocol_QTZTintMaskFilter *filter = tintMaskFilter();
    if (NSUIMaskController *mask = filter != nullptr ? filter->filterMaskController() : nullptr)
        mask->addControlParamsForPrefix(mapping, *settings, QStringLiteral("video.input.mask."), includeAllParameters);
    settings->insert(QStringLiteral("video.input.tint.refines"), QStringLiteral("defaults"));
    mapping.AddParamsWithPrefixToDictionary(settings, QStringLiteral("video.input.tint."));
    settings->insert(QStringLiteral("video.input.stencil.refines"), QStringLiteral("defaults"));
    mapping.AddParamsWithPrefixToDictionary(settings, QStringLiteral("video.input.stencil."));
    return true;
}

CFDataRef QTZInputController::transformCompositionData(CFDataRef data) {
    QTZPropertyDictionary::Owned<CFDataRef> result = QTZPropertyDictionary::transformCompositionDataForCameraInput(data);
    if (!VERIFY_TEXT(result != nullptr && CFDataGetLength(result.get()) > 0, " code : resultData")) return nullptr;
    return result.release();
}

bool import_QTZInputController() { return import_CamInputFrame(); }
