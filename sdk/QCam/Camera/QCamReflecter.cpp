#include <QCam/Camera/QCamReflecter.h>

#include <CoreG/Drawing/namespace_CoreGraphics_QuartzDrawing.h>
#include <CoreQ/QImageDescription.h>
#include <CoreQ/QSGDeviceList.h>
#include <CoreQ/QTImageFile.h>
#include <CoreX/CoreMachDebugLog.h>
#include <QCam/Camera/QCamDefaultCaptureFormat.h>
#include <QCam/Camera/QCamOutputBase.h>

#include <QMetaObject>
#include <QVariant>

#include <climits>
#include <cmath>
#include <cstring>
#include <string>

namespace {

constexpr uint8_t kBlackLuma = 16;
constexpr uint8_t kBlackChroma = 128;
constexpr float kStillBackgroundGrey = 0.15f;
constexpr double kIdlePaceRate = 8.0;
constexpr float kCameraRetrySeconds = 1.0f;
// 'satu': the IIDC saturation feature.
constexpr OSType kIIDCSaturationFeature = 0x73617475;

// The file-system path of a URL; empty when it has none.
std::string PathOf(CFURLRef url) {
    if (url == nullptr) return std::string();
    UInt8 buffer[PATH_MAX];
    if (!CFURLGetFileSystemRepresentation(url, true, buffer, CFIndex(sizeof buffer))) return std::string();
    return std::string(reinterpret_cast<const char *>(buffer));
}

// Stores a retained URL (null allowed) in place of the one held.
void ReplaceURL(CFURLRef &slot, CFURLRef url) {
    if (url != nullptr) CFRetain(url);
    if (slot != nullptr) CFRelease(slot);
    slot = url;
}

uint32_t ReadBE32(const uint8_t *p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}
void WriteBE32(uint8_t *p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}
float FloatOfBits(uint32_t bits) {
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}
uint32_t BitsOfFloat(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

// Fills the whole bitmap with an opaque grey through Quartz.
void FillBitmapGrey(CoreGraphics::QitmapContext &bitmap, float grey) {
    CGContextRef context = bitmap.mContext;
    CGContextSetRGBFillColor(context, grey, grey, grey, 1.0);
    CGContextFillRect(context, CGRectMake(0, 0, bitmap.mImageWidth, bitmap.mImageHeight));
}

// A Mac OS Roman Pascal string as UTF-8.
std::string TextOfPascal(const unsigned char *name) {
    CFStringRef string = CFStringCreateWithPascalString(nullptr, name, kCFStringEncodingMacRoman);
    if (string == nullptr) return std::string();
    char buffer[1024];
    std::string text;
    if (CFStringGetCString(string, buffer, sizeof buffer, kCFStringEncodingUTF8)) text = buffer;
    CFRelease(string);
    return text;
}

std::vector<std::string> NamesOfList(const QSGDeviceList &list) {
    std::vector<std::string> names;
    short count = 0;
    if (!list.GetDeviceNameCount(count)) return names;
    for (short i = 0; i < count; ++i) {
        Str63 name;
        if (!list.GetDeviceName(name, i)) continue;
        const std::string text = TextOfPascal(name);
        if (!text.empty()) names.push_back(text);
    }
    return names;
}

}  // namespace

// ---- QCamOffscreenMovie ---------------------------------------------------------------------

void QCamOffscreenMovie::OnMovieOpened() {
    mFrameRate = QCamDefaultCaptureFormat::Get().frameRate;
    double rate = 0.0;
    if (mMovie != nullptr && MovieGetStaticFrameRate(mMovie, rate) && rate > 0.0) mFrameRate = rate;
}

OSErr QCamOffscreenMovie::OnMovieDrawingComplete() {
    if (mThis != nullptr) mThis->MovieFrameReady();
    return noErr;
}

// ---- IIDC settings record -------------------------------------------------------------------

bool QCamIIDCFeatureSettings::Read(const uint8_t (&b)[kRecordSize]) {
    capabilityFlags = ReadBE32(b);
    rawMinimum = uint16_t((b[4] << 8) | b[5]);
    rawMaximum = uint16_t((b[6] << 8) | b[7]);
    absoluteMinimum = FloatOfBits(ReadBE32(b + 8));
    absoluteMaximum = FloatOfBits(ReadBE32(b + 12));
    stateFlags = ReadBE32(b + 16);
    stateValue = FloatOfBits(ReadBE32(b + 20));
    return true;
}

void QCamIIDCFeatureSettings::Write(uint8_t (&b)[kRecordSize]) const {
    WriteBE32(b, capabilityFlags);
    b[4] = uint8_t(rawMinimum >> 8);
    b[5] = uint8_t(rawMinimum);
    b[6] = uint8_t(rawMaximum >> 8);
    b[7] = uint8_t(rawMaximum);
    WriteBE32(b + 8, BitsOfFloat(absoluteMinimum));
    WriteBE32(b + 12, BitsOfFloat(absoluteMaximum));
    WriteBE32(b + 16, stateFlags);
    WriteBE32(b + 20, BitsOfFloat(stateValue));
}

// ---- Construction ---------------------------------------------------------------------------

QCamReflecter::QCamReflecter()
    : mActivePreview(false),
      mOutput(nullptr),
      mSource(kSourceBlack),
      mPlayState(0),
      mOutputEnabled(false),
      mLowLight(false),
      mImageAdjustments(false),
      mDigitizerSaturation(0),
      mMovie(this),
      mMovieDrawn2vuy(false),
      mLoop(false),
      mMovieURL(nullptr),
      mStillURL(nullptr),
      mStillIsRaster(false),
      mPreviewKind(kPreviewNone),
      mPreviewDirty(true),
      mFramesThisTick(0),
      mCameraLost(false) {
    mOutputFormat.Clear();
    if (m2vuyFrame.Allocate(QCamDefaultCaptureFormat::Get().format)) {
        m2vuyFrame.FillYUV(kBlackLuma, kBlackChroma, kBlackChroma);
        m2vuyFrame.ConstructGWorldAlias(m2vuyWorld);
    }
    SetFramePacing(false, 1.0f);
    SetBrightness(0.5f);
    SetContrast(0.5f);
    SetGamma(0.5f);
    SetLevels(0.5f, 1.0f);
    mSaturation = 1.0f;
    RequestPreviewRedraw();
}

QCamReflecter::~QCamReflecter() {
    mMovie.Close();
    mMovieBetterWorld.Dispose();
    mPreviewSequence.SequenceEnd();
    mCameraSequence.SequenceEnd();
    ReplaceURL(mMovieURL, nullptr);
    ReplaceURL(mStillURL, nullptr);
    m2vuyWorld.Dispose();
    m2vuyFrame.Free();
    mStillBitmap.Destruct();
}

// ---- Grabber hooks --------------------------------------------------------------------------

OSErr QCamReflecter::DefaultDataProc(Ptr data, long dataSize) {
    CameraFrameArrived(data, dataSize);
    ++mFramesThisTick;
    return noErr;
}

bool QCamReflecter::OnFrameBufferCreated() {
    // The grabber's frame buffer is usable whether or not the preview could be set up.
    AllocateOutputBuffers();
    return true;
}

OSErr QCamReflecter::OnChannelPrepared() {
    ReadDigitizerSaturation();
    return noErr;
}

OSErr QCamReflecter::ReadDigitizerSaturation() {
    uint16_t saturation = 0;
    if (GetDigitizerSaturation(saturation)) mDigitizerSaturation = saturation;
    return noErr;
}

OSErr QCamReflecter::BeginDecompression(const QImageDescription &description, const Rect &sourceRect,
                                        const Rect &destinationRect) {
    const OSErr err = QCameraGrabCGContext::BeginDecompression(description, sourceRect, destinationRect);
    BeginCameraSequence();
    if (mOutputFormat.IsValid()) UseCameraIfOpen();
    return err;
}

OSErr QCamReflecter::Close() {
    mPreviewSequence.SequenceEnd();
    mCameraSequence.SequenceEnd();
    const OSErr err = QCameraGrabCGContext::Close();
    if (mSource == kSourceCamera) SetSourceMode(kSourceBlack, false);
    return err;
}

bool QCamReflecter::CreateBackgroundContext(int width, int height) {
    if (mStillBitmap.IsConstructed() && int(mStillBitmap.mImageWidth) == width &&
        int(mStillBitmap.mImageHeight) == height)
        return true;
    // A movie drawing into the old bitmap's world must not outlive it.
    if (mMovie.IsMovieOpen() && !mMovieDrawn2vuy) mMovie.Close();
    mMovieBetterWorld.Dispose();
    mStillBitmap.Destruct();
    if (!mStillBitmap.Construct(width, height, CoreGraphics::kBitmapType_ARGB32)) {
        mStillBitmap.Destruct();
        return false;
    }
    return true;
}

void QCamReflecter::OnFrameWritten(const Q_2vuy_buffer &) {}

// ---- Set-up ---------------------------------------------------------------------------------

bool QCamReflecter::SetOutput(QCamOutputBase *sink) {
    mOutput = sink;
    return sink != nullptr;
}

void QCamReflecter::SetPlayState(int32_t playState) {
    mPlayState = playState;
    ApplyPlayState();
}

void QCamReflecter::SetLooping(bool loop) {
    mLoop = loop;
    if (mSource == kSourceMovie && mMovie.IsMovieOpen()) mMovie.SetLooping(loop);
}

// ---- Sources --------------------------------------------------------------------------------

void QCamReflecter::SetSourceMode(int32_t source, bool force) {
    if (source == mSource && !force) return;
    mSource = source;
    if (source != kSourceMovie && mMovie.IsMovieOpen()) mMovie.Close();
    switch (source) {
    case kSourceBlack:
        OutputBlack();
        break;
    case kSourceStill:
        DrawStillDocument(mStillIsRaster, mStillURL);
        break;
    case kSourceCamera:
        if (mVideoChannel != nullptr) {
            const int32_t saved = mPlayState;
            mPlayState = 1;
            Idle();
            mPlayState = saved;
        }
        break;
    case kSourceMovie:
        ReopenMovie(force);
        break;
    default:
        break;
    }
    if (mView != nullptr &&
        mView->metaObject()->indexOfMethod("QCamReflecterSourceChanged(QVariant)") >= 0)
        QMetaObject::invokeMethod(mView.data(), "QCamReflecterSourceChanged", Qt::QueuedConnection,
                                  Q_ARG(QVariant, QVariant(int(mSource))));
}

void QCamReflecter::OpenSourceResource(const char *name) {
    if (name == nullptr) {
        SetSourceMode(kSourceBlack, false);
        return;
    }
    static const char *const kTypes[] = {"pdf", "mov", "png", "jpg"};
    for (const char *type : kTypes) {
        CFStringRef typeString = CFStringCreateWithCString(nullptr, type, kCFStringEncodingUTF8);
        CFURLRef url = CoreGraphics::CopyMainBundleResourceURL(name, typeString);
        CFRelease(typeString);
        if (url == nullptr) continue;
        if (std::strcmp(type, "pdf") == 0) {
            OpenVectorFile(url);
        } else if (std::strcmp(type, "mov") == 0) {
            OpenMovieFile(url);
        } else {
            OpenRasterFile(url);
        }
        CFRelease(url);
        return;
    }
}

void QCamReflecter::OpenRasterFile(CFURLRef url) {
    if (url == nullptr) {
        SetSourceMode(kSourceBlack, false);
        return;
    }
    ReplaceURL(mStillURL, url);
    mStillIsRaster = true;
    SetSourceMode(kSourceStill, true);
}

void QCamReflecter::OpenVectorFile(CFURLRef url) {
    if (url == nullptr) {
        SetSourceMode(kSourceBlack, false);
        return;
    }
    ReplaceURL(mStillURL, url);
    mStillIsRaster = false;
    SetSourceMode(kSourceStill, true);
}

void QCamReflecter::OpenMovieFile(CFURLRef url) {
    ReplaceURL(mMovieURL, url);
    SetSourceMode(kSourceMovie, true);
}

OSErr QCamReflecter::BeginCamera(const Rect &frameRect, long, void *) {
    const OSErr err = OpenInitialize(frameRect, k32ARGBPixelFormat, nullptr);
    if (err != noErr) {
        CoreMachDebugLog("QCamReflecter: no camera could be opened (error %d); showing the still source\n",
                         int(err));
        SetSourceMode(kSourceStill, true);
        return err;
    }
    return noErr;
}

void QCamReflecter::EndCamera() {
    OpenSourceResource(kEndCameraResourceName);
    StopRecord();
    Close();
}

void QCamReflecter::UseCameraIfOpen() {
    if (mComponent != nullptr) SetSourceMode(kSourceCamera, true);
    else SetSourceMode(kSourceBlack, false);
}

void QCamReflecter::GrabTick() {
    mFramesThisTick = 0;
    if (mVideoChannel != nullptr) {
        const OSErr err = Idle();
        if (err != noErr) {
            StopRecord();
            const OSErr again = ReopenCamera(nullptr);
            if (again != noErr && !mCameraLost) {
                mCameraLost = true;
                CoreMachDebugLog("QCamReflecter: the camera stopped delivering frames (error %d); showing black "
                                 "until it returns\n",
                                 int(err));
                SetFramePacing(true, kCameraRetrySeconds);
                Fill2vuyBlack();
            }
        }
    } else if (mSource == kSourceCamera && mComponent != nullptr && mPaceOpen) {
        // A lost camera: Idle retries opening it at the pace set above.
        Idle();
    }
    if (mFramesThisTick > 0) {
        if (mCameraLost) {
            mCameraLost = false;
            CoreMachDebugLog("QCamReflecter: the camera delivers frames again\n");
        }
        return;
    }
    if (mSource == kSourceCamera && mCameraLost) {
        Write2vuyFrame(0);
        return;
    }
    OutputStillFrame(true);
}

double QCamReflecter::GetPaceRate(double frameRate) const {
    if (mSource == kSourceMovie && mMovie.IsMovieOpen()) return 1.0;
    if (mSource == kSourceCamera && mPlayState == 1) return mVideoChannel != nullptr ? frameRate : kIdlePaceRate;
    return mVideoChannel != nullptr ? frameRate / 2.0 : kIdlePaceRate;
}

// ---- Image adjustments ----------------------------------------------------------------------

void QCamReflecter::SetBrightness(float v) {
    mBrightness = v;
    RebuildLookupTable();
}

void QCamReflecter::SetContrast(float v) {
    mContrast = v;
    RebuildLookupTable();
}

void QCamReflecter::SetGamma(float v) {
    mGamma = v;
    RebuildLookupTable();
}

void QCamReflecter::SetLevels(float black, float white) {
    mBlackLevel = black;
    mWhiteLevel = white;
    RebuildLookupTable();
}

void QCamReflecter::SetImageAdjustmentsEnabled(bool on) {
    mImageAdjustments = on;
    SetDigitizerSaturation(on ? SaturationToDigitizer(mSaturation) : mDigitizerSaturation);
    RebuildLookupTable();
}

void QCamReflecter::SetSaturation(float v) {
    mSaturation = v;
    if (mVideoChannel != nullptr) {
        SetDigitizerSaturation(SaturationToDigitizer(mSaturation));
        SetIIDCFeature(mVideoChannel, kIIDCSaturationFeature, mSaturation);
    }
}

uint16_t QCamReflecter::SaturationToDigitizer(float v) {
    const float level = CoreGeometry::T_clamped_value<float>::Constrain(v);
    return uint16_t(32767.5 * double(level) + 6553.0);
}

// The channel's video digitizer carries the camera's own saturation control (a V4L2 camera's,
// or the test camera's); false when there is no channel, or the camera has no such control.
bool QCamReflecter::GetDigitizerSaturation(uint16_t &saturation) {
    VideoDigitizerComponent digitizer = mVideoChannel != nullptr ? SGGetVideoDigitizerComponent(mVideoChannel) : nullptr;
    unsigned short value = 0;
    if (digitizer == nullptr || VDGetSaturation(digitizer, &value) != noErr) return false;
    saturation = value;
    return true;
}

bool QCamReflecter::SetDigitizerSaturation(uint16_t saturation) {
    VideoDigitizerComponent digitizer = mVideoChannel != nullptr ? SGGetVideoDigitizerComponent(mVideoChannel) : nullptr;
    unsigned short value = saturation;
    return digitizer != nullptr && VDSetSaturation(digitizer, &value) == noErr;
}

OSErr QCamReflecter::SetIIDCFeature(SGChannel channel, OSType, float) {
    // Without a digitizer component there is no IIDC camera to set.
    if (channel == nullptr) return paramErr;
    return paramErr;
}

OSErr QCamReflecter::ApplyIIDCFeatureLevel(QCamIIDCFeatureSettings &settings, float level) {
    if ((settings.capabilityFlags & 0xFFu & QCamIIDCFeatureSettings::kSettableFlags) == 0) return noErr;
    // A feature whose raw range ends at 0 has no level to set: dividing by it gives NaN.
    if (!VERIFY(settings.rawMaximum != 0)) return paramErr;
    const float value = CoreGeometry::T_clamped_value<float>::Constrain(level);
    const float scale = settings.rawMaximum <= 256 ? float(settings.rawMaximum) : 256.0f;
    settings.stateFlags = QCamIIDCFeatureSettings::kSettableFlags;
    settings.stateValue = value * scale / float(settings.rawMaximum);
    return noErr;
}

void QCamReflecter::RebuildLookupTable() {
    if (!mImageAdjustments) {
        mTable.MakeIdentity();
        return;
    }
    mTable.MakeAdjusted(mBrightness, mContrast, mGamma, mBlackLevel, mWhiteLevel);
}

// ---- Buffers --------------------------------------------------------------------------------

bool QCamReflecter::AllocateOutputBuffers() {
    const QCamDefaultCaptureFormat &defaults = QCamDefaultCaptureFormat::Get();
    CreateBackgroundContext(defaults.format._Width, defaults.format._Height);
    if (mOutput != nullptr) mOutput->GetFormat(mOutputFormat);
    if (!mOutputFormat.IsValid() || !IsFrameBufferConstructed()) return false;
    QImageDescription description;
    if (!mOutputFormat.GetImageDescription(description)) return false;
    MatrixRecord matrix;
    const Rect source = defaults.FrameRect();
    const Rect destination = mFrameBufferQGWorld->GetBounds();
    RectMatrix(&matrix, &source, &destination);
    return mPreviewSequence.DecompressSequenceBegin(description.GetHandle(), GetFrameBufferGWorldPtr(), &matrix,
                                                    codecMaxQuality, bestFidelityCodec) == noErr;
}

void QCamReflecter::BeginCameraSequence() {
    mCameraSequence.SequenceEnd();
    if (!m2vuyWorld.IsConstructed() || !mCameraImageDesc.IsConstructed()) return;
    MatrixRecord matrix;
    const Rect source = {0, 0, mCameraImageDesc.GetHeight(), mCameraImageDesc.GetWidth()};
    const Rect destination = m2vuyWorld.GetBounds();
    RectMatrix(&matrix, &source, &destination);
    VERIFY_OSERR(mCameraSequence.DecompressSequenceBegin(mCameraImageDesc.GetHandle(), m2vuyWorld.mGWorld, &matrix,
                                                         codecMaxQuality, bestFidelityCodec));
}

bool QCamReflecter::Fill2vuyBlack() { return m2vuyFrame.FillYUV(kBlackLuma, kBlackChroma, kBlackChroma); }

// ---- Frames ---------------------------------------------------------------------------------

void QCamReflecter::CameraFrameArrived(Ptr data, long dataSize) {
    if (mSource == kSourceBlack || mSource == kSourceStill) {
        OutputStillFrame(true);
        return;
    }
    if (mSource != kSourceCamera || mPlayState != 1) return;

    bool failed = false;
    const CodecType codec = mCameraImageDesc.IsConstructed() ? mCameraImageDesc.GetCodecType() : 0;
    if (mCameraImageDesc.IsConstructed() && mCameraImageDesc.GetWidth() == mOutputFormat._Width &&
        mCameraImageDesc.GetHeight() == mOutputFormat._Height &&
        (codec == mOutputFormat._PixelFormat || codec == kYUVSPixelFormat)) {
        const UInt32 size = dataSize > 0 ? UInt32(dataSize) : 0;
        const Q_2vuy_buffer frame(mCameraImageDesc.GetHandle(), data, size);
        WriteThroughLookup(frame);
    } else if (mCameraSequence.IsRunning() && mCameraSequence.DecompressSequenceFrameS(data, dataSize) == noErr) {
        WriteThroughLookup(m2vuyFrame);
    } else {
        failed = !WriteThroughARGB(data, dataSize);
    }
    if (!failed) {
        mPreviewKind = kPreviewCamera;
        mPreviewDirty = true;
        RequestPreviewRedraw();
    }
}

bool QCamReflecter::WriteThroughLookup(const Q_2vuy_buffer &frame) {
    if (!mOutputEnabled || mOutput == nullptr) return true;
    Q_2vuy_buffer out;
    if (!mOutput->LockFrameBuffer(out)) return true;
    if (mLowLight) out.CopyFromWithLUTAndHistogram(frame, mTable.mTable, mHistogram);
    else if (mImageAdjustments) out.CopyFromWithLUT(frame, mTable.mTable);
    else out.CopyFrom(frame);
    OnFrameWritten(out);
    mOutput->ReleaseFrameBuffer(out, 0);
    return true;
}

bool QCamReflecter::WriteThroughARGB(Ptr data, long dataSize) {
    if (QCameraGrabCGContext::DefaultDataProc(data, dataSize) != noErr) return false;
    if (!mOutputEnabled || mOutput == nullptr) return false;
    Q_2vuy_buffer out;
    if (!mOutput->LockFrameBuffer(out)) return false;
    out.CopyFromBitmapContext(mFrameBuffer, false);
    OnFrameWritten(out);
    mOutput->ReleaseFrameBuffer(out, 0);
    return true;
}

bool QCamReflecter::Write2vuyFrame(int flag) {
    if (!m2vuyFrame.IsAllocated()) return false;
    if (!mOutputEnabled || mOutput == nullptr) return false;
    Q_2vuy_buffer out;
    if (!mOutput->LockFrameBuffer(out)) return false;
    out.CopyFrom(m2vuyFrame);
    OnFrameWritten(out);
    mOutput->ReleaseFrameBuffer(out, flag);
    return true;
}

bool QCamReflecter::OutputStillFrame(bool updatePreview) {
    if (mSource != kSourceBlack && mSource != kSourceStill) return false;
    const bool written = Write2vuyFrame(0);
    if (written && updatePreview) {
        mPreviewKind = kPreviewStill;
        RequestPreviewRedraw();
    }
    return written;
}

void QCamReflecter::OutputBlack() {
    if (!mStillBitmap.IsConstructed()) {
        // No bitmap yet: the 2vuy frame itself is made black.
        Fill2vuyBlack();
    } else {
        DrawStillDocument(false, nullptr);
    }
    Write2vuyFrame(0);
}

bool QCamReflecter::DrawStillDocument(bool raster, CFURLRef url) {
    if (!mStillBitmap.IsConstructed()) {
        Fill2vuyBlack();
        return url == nullptr;
    }
    CGContextRef context = mStillBitmap.mContext;
    const int width = int(mStillBitmap.mImageWidth);
    const int height = int(mStillBitmap.mImageHeight);
    bool drawn = true;
    CGContextSaveGState(context);
    FillBitmapGrey(mStillBitmap, url != nullptr ? kStillBackgroundGrey : 0.0f);
    if (url != nullptr) {
        const std::string path = PathOf(url);
        if (raster) {
            QTImageFile image;
            const Rect bounds = {0, 0, SInt16(height), SInt16(width)};
            mStillBitmap.WillAccessPixels();
            drawn = !path.empty() && image.LoadImageUnixPath(path.c_str()) &&
                    image.DrawIntoGWorldScaledToBounds(mStillBitmap.mGWorld.mGWorld, bounds);
            mStillBitmap.DidWritePixels();
        } else {
            CGPDFDocumentRef document = CGPDFDocumentCreateWithURL(url);
            CGPDFPageRef page = document != nullptr && CGPDFDocumentGetNumberOfPages(document) > 0
                                    ? CGPDFDocumentGetPage(document, 1)
                                    : nullptr;
            drawn = page != nullptr;
            if (drawn) {
                const CGRect box = CGRectMake(0, 0, width, height);
                CGContextConcatCTM(context, CGPDFPageGetDrawingTransform(page, kCGPDFMediaBox, box, 0, true));
                CGContextDrawPDFPage(context, page);
            }
            if (document != nullptr) CGPDFDocumentRelease(document);
        }
        if (!drawn) {
            CoreMachDebugLog("QCamReflecter: cannot read the %s \"%s\"; showing black\n",
                             raster ? "image" : "PDF document", path.c_str());
            CGContextRestoreGState(context);
            CGContextSaveGState(context);
            FillBitmapGrey(mStillBitmap, 0.0f);
        }
    }
    CGContextRestoreGState(context);
    mStillBitmap.WillAccessPixels();
    if (m2vuyFrame.IsAllocated()) {
        m2vuyFrame.CopyFromBitmapContext(mStillBitmap, false);
        mPreviewKind = kPreviewStill;
        mPreviewDirty = true;
        RequestPreviewRedraw();
    }
    return drawn;
}

// ---- Movies ---------------------------------------------------------------------------------

bool QCamReflecter::OpenMovie(CFURLRef url) {
    if (mMovie.IsMovieOpen()) return false;
    if (mStillBitmap.IsConstructed()) {
        FillBitmapGrey(mStillBitmap, 0.0f);
        mStillBitmap.WillAccessPixels();
    }
    mMovieDrawn2vuy = false;
    Fill2vuyBlack();
    if (url == nullptr) {
        MovieFrameReady();
        return false;
    }
    if (m2vuyWorld.IsConstructed() && mMovie.OpenURLForGWorld(url, m2vuyWorld, nullptr)) {
        // The movie fills the whole frame.
        const Rect bounds = m2vuyWorld.GetBounds();
        SetMovieBox(mMovie.GetMovie(), &bounds);
        mMovieDrawn2vuy = true;
    } else {
        mMovie.Close();
        if (!mStillBitmap.IsConstructed() ||
            !mMovie.OpenURLForGWorld(url, mStillBitmap.mGWorld, &mMovieBetterWorld)) {
            mMovie.Close();
            CoreMachDebugLog("QCamReflecter: cannot open the movie \"%s\"; showing black\n", PathOf(url).c_str());
            if (mSource == kSourceMovie) Write2vuyFrame(1);
            return false;
        }
    }
    ApplyPlayState();
    return true;
}

OSErr QCamReflecter::ReopenMovie(bool force) {
    if (force && mMovie.IsMovieOpen()) mMovie.Close();
    if (mMovie.IsMovieOpen()) {
        UpdateMovie(mMovie.GetMovie());
        MoviesTask(mMovie.GetMovie(), 0);
        return GetMoviesError();
    }
    if (OpenMovie(mMovieURL)) return noErr;
    return paramErr;
}

void QCamReflecter::ApplyPlayState() {
    if (mSource == kSourceMovie && mMovie.IsMovieOpen()) {
        if (mPlayState == 1) mMovie.Play(mLoop);
        else mMovie.Stop();
        mMovie.SetLooping(mLoop);
    } else if (mSource == kSourceCamera && mPlayState == 0 && mVideoChannel != nullptr) {
        Idle();
    }
}

void QCamReflecter::MovieFrameReady() {
    if (mSource != kSourceMovie) return;
    if (!mMovieDrawn2vuy && mStillBitmap.IsConstructed()) {
        // The movie wrote the bitmap's pixels through its world.
        mStillBitmap.DidWritePixels();
        m2vuyFrame.CopyFromBitmapContext(mStillBitmap, false);
    }
    if (Write2vuyFrame(1)) {
        mPreviewKind = kPreviewMovie;
        mPreviewDirty = true;
        RequestPreviewRedraw();
    }
}

// ---- Switcher interface ---------------------------------------------------------------------

int16_t QCamReflecter::BeginCameraGrab(long flags) {
    return BeginCamera(QCamDefaultCaptureFormat::Get().FrameRect(), flags, nullptr);
}

std::vector<std::string> QCamReflecter::CameraDeviceNames() {
    if (mComponent != nullptr) {
        QSGDeviceList list;
        if (!GetCameraInputList(list)) return {};
        return NamesOfList(list);
    }
    // A closed grabber: the devices as a fresh component sees them.
    QCameraGrabberBase temporary;
    if (temporary.QSequenceGrabber::OpenInitialize() != noErr) return {};
    QSGDeviceList list;
    if (!temporary.GetCameraInputList(list)) return {};
    std::vector<std::string> names = NamesOfList(list);
    list.Dispose();
    return names;
}

bool QCamReflecter::CurrentCameraDeviceName(std::string &name) {
    CameraInput current;
    if (mVideoChannel == nullptr || !GetCurrentCamera(current)) return false;
    name = TextOfPascal(current.deviceName);
    return true;
}

void QCamReflecter::CloseCamera() {
    SetFramePacing(false, 1.0f);
    Close();
}

bool QCamReflecter::UseCameraDevice(const std::string &name) {
    bool changed = false;
    if (mVideoChannel == nullptr) changed = ReopenCamera(nullptr) == noErr;
    if (mVideoChannel == nullptr) return changed;
    std::string current;
    const bool haveCurrent = CurrentCameraDeviceName(current);
    if (haveCurrent && current == name) return changed;
    CameraInput position;
    for (bool more = GetFirstCamera(position); more; more = GetNextCamera(position)) {
        if (TextOfPascal(position.deviceName) != name) continue;
        if (SwitchToCamera(position) == noErr) changed = true;
        break;
    }
    return changed;
}

// ---- Preview --------------------------------------------------------------------------------

void QCamReflecter::RequestPreviewRedraw() {
    if (!mActivePreview || mView == nullptr) return;
    if (mView->metaObject()->indexOfMethod("update()") >= 0)
        QMetaObject::invokeMethod(mView.data(), "update", Qt::DirectConnection);
}

void QCamReflecter::UpdatePreview() {
    if (!mPreviewDirty) return;
    if (mPreviewSequence.IsRunning() && IsFrameBufferConstructed()) {
        Q_2vuy_buffer frame;
        bool have = false;
        if (mPreviewKind == kPreviewMovie) {
            QCamAliasFrameRecord(frame, m2vuyFrame);
            have = frame.HasPixelRows();
        } else if (mPreviewKind == kPreviewCamera && mOutput != nullptr) {
            have = mOutput->GetFrameBuffer(frame) && frame.HasPixelRows();
        }
        if (have) {
            mFrameBuffer.WillAccessPixels();
            mPreviewSequence.DecompressSequenceFrameS(reinterpret_cast<Ptr>(frame._PixelData),
                                                      long(frame._PixelDataSize));
            mFrameBuffer.DidWritePixels();
        }
    }
    mPreviewDirty = false;
}

CGImageRef QCamReflecter::CopyPreviewImage() {
    CoreGraphics::BitmapContext *bitmap = &mFrameBuffer;
    if (mPreviewKind == kPreviewStill) bitmap = &mStillBitmap;
    if (!bitmap->IsConstructed()) return nullptr;
    return CGBitmapContextCreateImage(bitmap->mContext);
}

std::unique_ptr<QCamSwitcher> QCamSwitcherCreate() { return std::make_unique<QCamReflecter>(); }

bool import_QCamReflecter() { return true; }
