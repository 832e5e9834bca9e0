// Image descriptions and transformation matrices.
//
// An ImageDescription is the 86-byte record below (host byte order in memory) followed by
// its extensions, each an atom of a big-endian 32-bit size (8 + data bytes), a big-endian
// type and the data; idSize counts the record and every extension. Extension data is kept
// as stored (big-endian by convention: 'rowb' is a big-endian SInt32). The property calls
// convert between host values and the stored big-endian bytes.
#pragma once

#include <CoreFoundation/CFBase.h>
#include <QuickTime/Components.h>
#include <QuickTime/QuickDraw.h>

// The layer's calls have C linkage, as the framework's exported entry points do.
extern "C" {

typedef OSType CodecType;
typedef UInt32 CodecQ;

enum : OSErr {
    codecErr = -8960,
    noCodecErr = -8961,
    codecUnimpErr = -8962,
    codecBadDataErr = -8969,       // image data that cannot be decoded (corrupt or truncated)
    codecExtensionNotFoundErr = -8971,
    badImageDescription = -2001,   // a description whose idSize or extensions are not well formed
};

enum : CodecQ {
    codecMinQuality = 0x000,
    codecLowQuality = 0x100,
    codecNormalQuality = 0x200,
    codecHighQuality = 0x300,
    codecMaxQuality = 0x3FF,
    codecLosslessQuality = 0x400,
};

enum : CodecType {
    kRawCodecType = MakeFourCharCode("raw "),
    kJPEGCodecType = MakeFourCharCode("jpeg"),
    kPNGCodecType = MakeFourCharCode("png "),
    kTIFFCodecType = MakeFourCharCode("tiff"),
    kComponentVideoCodecType = MakeFourCharCode("yuv2"),
};

#pragma pack(push, 2)
struct ImageDescription {
    SInt32 idSize;  // the record and its extensions, in bytes
    CodecType cType;
    SInt32 resvd1;
    SInt16 resvd2;
    SInt16 dataRefIndex;
    SInt16 version;
    SInt16 revisionLevel;
    SInt32 vendor;
    CodecQ temporalQuality;
    CodecQ spatialQuality;
    SInt16 width;
    SInt16 height;
    Fixed hRes;
    Fixed vRes;
    SInt32 dataSize;
    SInt16 frameCount;
    Str31 name;
    SInt16 depth;
    SInt16 clutID;
};
#pragma pack(pop)
static_assert(sizeof(ImageDescription) == 86, "the image description record is 86 bytes");
typedef ImageDescription *ImageDescriptionPtr;
typedef ImageDescriptionPtr *ImageDescriptionHandle;

// Extension types.
enum : OSType {
    kImageDescriptionRowBytesExtension = MakeFourCharCode("rowb"),
    kImageDescriptionColorSpaceExtension = MakeFourCharCode("cspc"),
    kImageDescriptionGammaExtension = MakeFourCharCode("gama"),
    kImageDescriptionFieldInfoExtension = MakeFourCharCode("fiel"),
    kImageDescriptionCleanApertureExtension = MakeFourCharCode("clap"),
    kImageDescriptionPixelAspectRatioExtension = MakeFourCharCode("pasp"),
    kColorInfoImageDescriptionExtension = MakeFourCharCode("colr"),
};

// The 'colr' extension of type 'nclc': the colour primaries, transfer function and Y'CbCr
// matrix of the pixels, stored as the type and three big-endian 16-bit indices (10 bytes).
// The matrix index says how 4:2:2 frames ('2vuy', 'yuvs') are made from R'G'B': every
// conversion to or from them reads it. A 4:2:2 frame without the extension, or with a
// matrix index other than these, is BT.709; worlds are always BT.709.
enum : OSType {
    kVideoColorInfoImageDescriptionExtensionType = MakeFourCharCode("nclc"),
};
enum : UInt16 {
    kQTPrimaries_ITU_R709_2 = 1,
    kQTPrimaries_Unknown = 2,
    kQTPrimaries_EBU_3213 = 5,
    kQTPrimaries_SMPTE_C = 6,
    kQTTransferFunction_ITU_R709_2 = 1,
    kQTTransferFunction_Unknown = 2,
    kQTMatrix_ITU_R_709_2 = 1,       // Kr 0.2126, Kb 0.0722
    kQTMatrix_Unknown = 2,
    kQTMatrix_ITU_R_601_4 = 6,       // Kr 0.299, Kb 0.114 (also SMPTE 170M)
};
#pragma pack(push, 2)
struct NCLCColorInfoImageDescriptionExtension {
    OSType colorParamType;  // kVideoColorInfoImageDescriptionExtensionType
    UInt16 primaries;
    UInt16 transferFunction;
    UInt16 matrix;
};
#pragma pack(pop)
static_assert(sizeof(NCLCColorInfoImageDescriptionExtension) == 10, "stored as 10 bytes");

// Appends a copy of the extension's bytes (as they are) as an extension of type idType.
// paramErr for a null description or extension, badImageDescription for a malformed
// description, memFullErr when it cannot grow (for instance while it is locked).
OSErr AddImageDescriptionExtension(ImageDescriptionHandle desc, Handle extension, long idType);
// A new handle (the caller disposes it) with the data of the index-th (from 1) extension
// of type idType (idType 0: of any type). codecExtensionNotFoundErr when there is none.
OSErr GetImageDescriptionExtension(ImageDescriptionHandle desc, Handle *extension, long idType, long index);
// How many extensions of type idType (0: of any type) there are.
OSErr CountImageDescriptionExtensionType(ImageDescriptionHandle desc, long idType, long *count);
// Removes the index-th (from 1) extension of type idType (0: of any type).
OSErr RemoveImageDescriptionExtension(ImageDescriptionHandle desc, long idType, long index);

// A new description of the pixel map (the caller disposes it): cType the pixel format,
// width and height of the bounds, depth the pixel size (40 for 8-bit grey, 24 for the
// 4:2:2 formats), 72 dpi, dataSize rowBytes * height, version 2, no extensions.
OSErr MakeImageDescriptionForPixMap(PixMapHandle pixmap, ImageDescriptionHandle *idh);

// Properties: typed access to the extensions ('idsc' class).
typedef OSType QTPropertyClass;
typedef OSType QTPropertyID;
typedef UInt32 QTPropertyValueType;
typedef void *QTPropertyValuePtr;
typedef const void *ConstQTPropertyValuePtr;

enum : OSErr {
    kQTPropertyBadValueSizeErr = -2184,
    kQTPropertyNotSupportedErr = -2195,
};

enum : QTPropertyClass {
    kQTPropertyClass_ImageDescription = MakeFourCharCode("idsc"),
};

enum : QTPropertyID {
    kICMImageDescriptionPropertyID_FieldInfo = MakeFourCharCode("fiel"),        // FieldInfoImageDescriptionExtension2
    kICMImageDescriptionPropertyID_CleanAperture = MakeFourCharCode("clap"),    // CleanApertureImageDescriptionExtension
    kICMImageDescriptionPropertyID_PixelAspectRatio = MakeFourCharCode("pasp"), // PixelAspectRatioImageDescriptionExtension
    kICMImageDescriptionPropertyID_GammaLevel = MakeFourCharCode("gama"),       // Fixed
    kICMImageDescriptionPropertyID_RowBytes = MakeFourCharCode("rowb"),         // SInt32
    kICMImageDescriptionPropertyID_NCLCColorInfo = MakeFourCharCode("nclc"),    // NCLCColorInfoImageDescriptionExtension,
                                                                                // stored as a 'colr' extension
};

struct FieldInfoImageDescriptionExtension2 {
    UInt8 fields;
    UInt8 detail;
};

struct CleanApertureImageDescriptionExtension {
    UInt32 cleanApertureWidthN;
    UInt32 cleanApertureWidthD;
    UInt32 cleanApertureHeightN;
    UInt32 cleanApertureHeightD;
    SInt32 horizOffN;
    UInt32 horizOffD;
    SInt32 vertOffN;
    UInt32 vertOffD;
};

struct PixelAspectRatioImageDescriptionExtension {
    UInt32 hSpacing;
    UInt32 vSpacing;
};

// Replaces the extensions of the property's type by one holding the value (stored
// big-endian). kQTPropertyNotSupportedErr for another class or id,
// kQTPropertyBadValueSizeErr when the size is not the value's size.
OSStatus ICMImageDescriptionSetProperty(ImageDescriptionHandle inDesc, QTPropertyClass inPropClass,
                                        QTPropertyID inPropID, ByteCount inPropValueSize,
                                        ConstQTPropertyValuePtr inPropValueAddress);
// Reads the first extension of the property's type into the value (host order).
// codecExtensionNotFoundErr when the description has none; kQTPropertyBadValueSizeErr
// when the buffer is smaller than the value or the stored extension has another size.
OSStatus ICMImageDescriptionGetProperty(ImageDescriptionHandle inDesc, QTPropertyClass inPropClass,
                                        QTPropertyID inPropID, ByteCount inPropValueSize,
                                        QTPropertyValuePtr outPropValueAddress, ByteCount *outPropValueSizeUsed);

// Transformation matrices: a point (x, y) becomes (x * m[0][0] + y * m[1][0] + m[2][0],
// x * m[0][1] + y * m[1][1] + m[2][1]); the third column is the perspective part.
struct MatrixRecord {
    Fixed matrix[3][3];
};
typedef MatrixRecord *MatrixRecordPtr;

void SetIdentityMatrix(MatrixRecord *matrix);
// Scales about the point (aboutX, aboutY).
void ScaleMatrix(MatrixRecord *m, Fixed scaleX, Fixed scaleY, Fixed aboutX, Fixed aboutY);
void TranslateMatrix(MatrixRecord *m, Fixed deltaH, Fixed deltaV);
// The matrix that maps srcRect onto dstRect (scale and translation). Identity when either
// rect is null or srcRect is empty.
void RectMatrix(MatrixRecord *matrix, const Rect *srcRect, const Rect *dstRect);

// --- Decompression sequences ---
//
// A sequence draws frames of one image description into one world, synchronously. The
// frames it takes (cType):
//   'jpeg' (kJPEGCodecType)    a JPEG picture (libjpeg-turbo)
//   k32ARGBPixelFormat, k32BGRAPixelFormat, k24RGBPixelFormat, k16BE555PixelFormat,
//   k8IndexedGrayPixelFormat, k2vuyPixelFormat, kYUVSPixelFormat
//                              raw pixels, rows of the 'rowb' extension's row bytes or, without
//                              it, of the smallest row; 4:2:2 is video range, of the matrix its
//                              'colr' extension names (BT.709 without one)
// Each frame is scaled (bilinear, libswscale) to the rect the matrix maps the picture's
// (0, 0, height, width) onto, clipped to the world and converted to the world's format.
typedef SInt32 ImageSequence;
typedef unsigned short CodecFlags;
typedef Component CodecComponent;
typedef CodecComponent DecompressorComponent;
// The layer has one decompressor per type: each of these choices picks it.
#define anyCodec ((CodecComponent)0)
#define bestSpeedCodec ((CodecComponent)-1)
#define bestFidelityCodec ((CodecComponent)-2)
#define bestCompressionCodec ((CodecComponent)-3)

typedef void (*ICMCompletionProcPtr)(OSErr result, short flags, long refcon);
struct ICMCompletionProcRecord {
    ICMCompletionProcPtr completionProc;
    long completionRefCon;
};
typedef ICMCompletionProcRecord *ICMCompletionProcRecordPtr;

// Begins a sequence (*seqID, never 0) drawing frames of the description into the world.
// srcRect must be null or the whole picture; matrix null means identity, otherwise only a
// positive scale plus a translation is taken; mode srcCopy or ditherCopy; no mask; flags
// and accuracy are hints. paramErr for a null seqID, a world that is not alive or
// arguments outside these; badImageDescription for a malformed description; noCodecErr
// for a type not listed above or a codec other than the four choices. The description is
// copied: the caller may dispose it.
OSErr DecompressSequenceBegin(ImageSequence *seqID, ImageDescriptionHandle desc, CGrafPtr port, GDHandle gdh,
                              const Rect *srcRect, MatrixRecordPtr matrix, short mode, RgnHandle mask,
                              CodecFlags flags, CodecQ accuracy, DecompressorComponent codec);
// Draws one frame of dataSize bytes; when it returns the frame is in the world. Only
// synchronous decompression is provided: paramErr for a completion procedure, an unknown
// sequence, null data or a world that was disposed; codecBadDataErr for raw data shorter
// than the picture or a JPEG that does not decode (nothing is drawn then). *outFlags
// (when given) is 0.
OSErr DecompressSequenceFrameS(ImageSequence seqID, Ptr data, long dataSize, CodecFlags inFlags,
                               CodecFlags *outFlags, ICMCompletionProcRecordPtr asyncCompletionProc);
// Ends the sequence. paramErr for an unknown sequence.
OSErr CDSequenceEnd(ImageSequence seqID);

// --- Compressors ---
//
// The layer compresses through FFmpeg's encoders. The codec types it can compress, in this
// order, each present only when libavcodec has its encoder at run time:
//   'rle '  Animation       qtrle                     lossless (qualities codecMaxQuality and up)
//   'avc1'  H.264           libx264                   every quality (codecLosslessQuality is lossless)
//   'mp4v'  MPEG-4 Video    mpeg4                     codecMinQuality to codecMaxQuality
//   'jpeg'  Photo - JPEG    mjpeg                     codecMinQuality to codecMaxQuality
//   'mjpa'  Motion JPEG A   mjpeg                     codecMinQuality to codecMaxQuality
//   'mjpb'  Motion JPEG B   mjpeg                     codecMinQuality to codecMaxQuality
enum : CodecType {
    kAnimationCodecType = MakeFourCharCode("rle "),
    kH264CodecType = MakeFourCharCode("avc1"),
    kMPEG4VisualCodecType = MakeFourCharCode("mp4v"),
    kMotionJPEGACodecType = MakeFourCharCode("mjpa"),
    kMotionJPEGBCodecType = MakeFourCharCode("mjpb"),
};

// One compressor: codec is anyCodec (one compressor per type), typeName the type's name as a
// Pascal string, name a handle holding the encoder's name as a Pascal string.
struct CodecNameSpec {
    CodecComponent codec;
    CodecType cType;
    Str31 typeName;
    Handle name;
};
// count entries at list (owned by the list).
struct CodecNameSpecList {
    short count;
    CodecNameSpec *list;
};
typedef CodecNameSpecList *CodecNameSpecListPtr;

// A new list of the compressors above that are present (showAll is ignored: every one is
// shown); the caller disposes it with DisposeCodecNameList. paramErr for a null list,
// memFullErr when it cannot be allocated.
OSErr GetCodecNameList(CodecNameSpecListPtr *list, short showAll);
OSErr DisposeCodecNameList(CodecNameSpecListPtr list);

// --- Compression-session options ---
//
// Options of a compression session: reference counted (Retain/Release, or CFRetain and
// CFRelease), not synchronised (one thread changes them at a time). A new object holds: depth
// 0 (the codec's choice), quality codecNormalQuality, no codec settings, average data rate 0
// (no limit), no asynchronous completion, temporal compression and frame reordering not
// allowed, maximum key-frame interval 0 (no limit), frame time changes not allowed, frame
// durations not needed.
typedef struct OpaqueICMCompressionSessionOptions *ICMCompressionSessionOptionsRef;
typedef struct OpaqueICMMultiPassStorage *ICMMultiPassStorageRef;

enum : QTPropertyClass {
    kQTPropertyClass_ICMCompressionSessionOptions = MakeFourCharCode("icso"),
};

// Properties of the class 'icso' and the size of their values. Setting checks the value:
// paramErr for a depth outside 0 to 40, a quality above codecLosslessQuality, a negative data
// rate or a multi-pass storage that is not null (the layer makes one pass).
enum : QTPropertyID {
    kICMCompressionSessionOptionsPropertyID_Depth = MakeFourCharCode("deep"),             // UInt32
    kICMCompressionSessionOptionsPropertyID_Quality = MakeFourCharCode("qual"),           // CodecQ
    kICMCompressionSessionOptionsPropertyID_CompressorSettings = MakeFourCharCode("cost"),// Handle: set
                                                                                          // copies the bytes
                                                                                          // (null: none); get
                                                                                          // answers a new copy
                                                                                          // the caller disposes
                                                                                          // (null when none)
    kICMCompressionSessionOptionsPropertyID_AverageDataRate = MakeFourCharCode("aver"),   // SInt32, bytes per second
    kICMCompressionSessionOptionsPropertyID_AllowAsyncCompletion = MakeFourCharCode("asok"), // Boolean
    kICMCompressionSessionOptionsPropertyID_MultiPassStorage = MakeFourCharCode("imps"),  // ICMMultiPassStorageRef
};

// *options a new object (the caller releases it). paramErr for a null pointer, memFullErr
// when it cannot be allocated. The allocator is not used.
OSStatus ICMCompressionSessionOptionsCreate(CFAllocatorRef allocator, ICMCompressionSessionOptionsRef *options);
// *copy a new object with the original's values (its own copy of the codec settings).
OSStatus ICMCompressionSessionOptionsCreateCopy(CFAllocatorRef allocator, ICMCompressionSessionOptionsRef original,
                                                ICMCompressionSessionOptionsRef *copy);
// Null is passed through and ignored.
ICMCompressionSessionOptionsRef ICMCompressionSessionOptionsRetain(ICMCompressionSessionOptionsRef options);
void ICMCompressionSessionOptionsRelease(ICMCompressionSessionOptionsRef options);

// paramErr for null options or value; kQTPropertyNotSupportedErr for another class or id;
// kQTPropertyBadValueSizeErr when the size is not the value's size (get: smaller).
OSStatus ICMCompressionSessionOptionsSetProperty(ICMCompressionSessionOptionsRef options, QTPropertyClass inPropClass,
                                                 QTPropertyID inPropID, ByteCount inPropValueSize,
                                                 ConstQTPropertyValuePtr inPropValueAddress);
OSStatus ICMCompressionSessionOptionsGetProperty(ICMCompressionSessionOptionsRef options, QTPropertyClass inPropClass,
                                                 QTPropertyID inPropID, ByteCount inPropValueSize,
                                                 QTPropertyValuePtr outPropValueAddress,
                                                 ByteCount *outPropValueSizeUsed);

// The options' own values; setters answer paramErr for null options (and a negative
// interval), getters false / 0 for null options.
OSStatus ICMCompressionSessionOptionsSetAllowTemporalCompression(ICMCompressionSessionOptionsRef options, Boolean allow);
Boolean ICMCompressionSessionOptionsGetAllowTemporalCompression(ICMCompressionSessionOptionsRef options);
OSStatus ICMCompressionSessionOptionsSetAllowFrameReordering(ICMCompressionSessionOptionsRef options, Boolean allow);
Boolean ICMCompressionSessionOptionsGetAllowFrameReordering(ICMCompressionSessionOptionsRef options);
OSStatus ICMCompressionSessionOptionsSetAllowFrameTimeChanges(ICMCompressionSessionOptionsRef options, Boolean allow);
Boolean ICMCompressionSessionOptionsGetAllowFrameTimeChanges(ICMCompressionSessionOptionsRef options);
OSStatus ICMCompressionSessionOptionsSetDurationsNeeded(ICMCompressionSessionOptionsRef options, Boolean needed);
Boolean ICMCompressionSessionOptionsGetDurationsNeeded(ICMCompressionSessionOptionsRef options);
OSStatus ICMCompressionSessionOptionsSetMaxKeyFrameInterval(ICMCompressionSessionOptionsRef options, SInt32 interval);
SInt32 ICMCompressionSessionOptionsGetMaxKeyFrameInterval(ICMCompressionSessionOptionsRef options);
CFTypeID ICMCompressionSessionOptionsGetTypeID(void);

}  // extern "C"
