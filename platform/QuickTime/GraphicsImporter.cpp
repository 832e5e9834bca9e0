// Graphics importers: one instance holds a copy of the picture's bytes, its world and its
// matrix; the picture is decoded at each draw.
#include <QuickTime/QuickTimeComponents.h>

#include <cstring>

extern "C" {
#include <libavutil/pixfmt.h>
}

#include <QuickTime/Movies.h>

#include "ImageDecoders.h"
#include "QTComponent.h"

namespace lumora::qt {
namespace {

struct KindFacts {
    ImageKind kind;
    OSType subtype;
    CodecType codec;
    const char *name;
};

constexpr KindFacts kKinds[] = {
    {ImageKind::PNG, kQTFileTypePNG, kPNGCodecType, "PNG"},
    {ImageKind::JPEG, kQTFileTypeJPEG, kJPEGCodecType, "JPEG"},
    {ImageKind::TIFF, kQTFileTypeTIFF, kTIFFCodecType, "TIFF"},
};

const KindFacts *FactsOf(ImageKind kind) {
    for (const KindFacts &facts : kKinds)
        if (facts.kind == kind) return &facts;
    return nullptr;
}

const KindFacts *FactsOfSubtype(OSType subtype) {
    for (const KindFacts &facts : kKinds)
        if (facts.subtype == subtype) return &facts;
    return nullptr;
}

class GraphicsImporter final : public ComponentInstanceRecord {
public:
    explicit GraphicsImporter(const KindFacts &facts)
        : ComponentInstanceRecord({kGraphicsImporterComponentType, facts.subtype, 0, 0, 0}, facts.name, true),
          mFacts(facts) {
        SetIdentityMatrix(&mMatrix);
    }
    ~GraphicsImporter() override { FreeScaler(&mScaler); }

    const KindFacts &mFacts;
    std::vector<uint8_t> mData;
    bool mHasData = false;
    GWorldPtr mWorld = nullptr;
    MatrixRecord mMatrix;
    void *mScaler = nullptr;

    OSErr Info(ImageInfo &info) const {
        if (!mHasData) return paramErr;
        return ReadImageInfo(mFacts.kind, mData.data(), mData.size(), info);
    }
};

GraphicsImporter *ImporterOf(ComponentInstance ci) {
    return dynamic_cast<GraphicsImporter *>(LiveComponent(ci));
}

ComponentResult StoreData(GraphicsImporter &importer, std::vector<uint8_t> &&data) {
    importer.mData = std::move(data);
    importer.mHasData = true;
    return noErr;
}

}  // namespace

ComponentInstanceRecord *NewGraphicsImporter(OSType subtype) {
    const KindFacts *facts = FactsOfSubtype(subtype);
    return facts != nullptr ? new GraphicsImporter(*facts) : nullptr;
}

}  // namespace lumora::qt

using namespace lumora::qt;

OSErr GetGraphicsImporterForDataRef(Handle dataRef, OSType dataRefType, ComponentInstance *gi) {
    if (gi == nullptr) return paramErr;
    *gi = nullptr;
    std::vector<uint8_t> data;
    const OSErr err = ReadDataReference(dataRef, dataRefType, kMaximumImageBytes, data);
    if (err != noErr) return err;
    const KindFacts *facts = FactsOf(DetectImageKind(data.data(), data.size()));
    if (facts == nullptr) return cantFindHandler;
    auto *importer = new GraphicsImporter(*facts);
    StoreData(*importer, std::move(data));
    *gi = importer;
    return noErr;
}

ComponentResult GraphicsImportSetDataHandle(GraphicsImportComponent ci, Handle h) {
    GraphicsImporter *importer = ImporterOf(ci);
    if (importer == nullptr) return badComponentInstance;
    if (h == nullptr || *h == nullptr) return paramErr;
    const Size size = GetHandleSize(h);
    if (MemError() != noErr) return paramErr;
    if (size > kMaximumImageBytes) return memFullErr;
    return StoreData(*importer, std::vector<uint8_t>(*h, *h + size));
}

ComponentResult GraphicsImportGetNaturalBounds(GraphicsImportComponent ci, Rect *naturalBounds) {
    GraphicsImporter *importer = ImporterOf(ci);
    if (importer == nullptr) return badComponentInstance;
    if (naturalBounds == nullptr) return paramErr;
    ImageInfo info;
    const OSErr err = importer->Info(info);
    if (err != noErr) return err;
    *naturalBounds = Rect{0, 0, short(info.height), short(info.width)};
    return noErr;
}

ComponentResult GraphicsImportGetImageDescription(GraphicsImportComponent ci, ImageDescriptionHandle *desc) {
    GraphicsImporter *importer = ImporterOf(ci);
    if (importer == nullptr) return badComponentInstance;
    if (desc == nullptr) return paramErr;
    *desc = nullptr;
    ImageInfo info;
    OSErr err = importer->Info(info);
    if (err != noErr) return err;
    auto handle = reinterpret_cast<ImageDescriptionHandle>(NewHandleClear(sizeof(ImageDescription)));
    if (handle == nullptr) return MemError();
    ImageDescription &d = **handle;
    d.idSize = sizeof(ImageDescription);
    d.cType = importer->mFacts.codec;
    d.spatialQuality = codecNormalQuality;
    d.width = SInt16(info.width);
    d.height = SInt16(info.height);
    d.hRes = d.vRes = Long2Fix(72);
    d.dataSize = SInt32(importer->mData.size());
    d.frameCount = 1;
    const size_t nameLength = std::strlen(importer->mFacts.name);
    d.name[0] = UInt8(nameLength);
    std::memcpy(d.name + 1, importer->mFacts.name, nameLength);
    d.depth = info.alpha ? 32 : info.color ? 24 : 40;
    d.clutID = -1;
    if (importer->mFacts.kind != ImageKind::JPEG) {
        OSType space;
        if (info.sixteenBit)
            space = info.color ? (info.alpha ? MakeFourCharCode("b64a") : MakeFourCharCode("b48r"))
                               : (info.alpha ? MakeFourCharCode("b32a") : MakeFourCharCode("b16g"));
        else
            space = info.alpha ? k32ARGBPixelFormat : info.color ? k24RGBPixelFormat : k8IndexedGrayPixelFormat;
        const UInt8 stored[4] = {UInt8(space >> 24), UInt8(space >> 16), UInt8(space >> 8), UInt8(space)};
        Handle extension = nullptr;
        err = PtrToHand(stored, &extension, 4);
        if (err == noErr) err = AddImageDescriptionExtension(handle, extension, kImageDescriptionColorSpaceExtension);
        DisposeHandle(extension);
        if (err != noErr) {
            DisposeHandle(reinterpret_cast<Handle>(handle));
            return err;
        }
    }
    *desc = handle;
    return noErr;
}

ComponentResult GraphicsImportSetGWorld(GraphicsImportComponent ci, CGrafPtr port, GDHandle) {
    GraphicsImporter *importer = ImporterOf(ci);
    if (importer == nullptr) return badComponentInstance;
    if (port == nullptr) GetGWorld(&port, nullptr);
    importer->mWorld = port;
    return noErr;
}

ComponentResult GraphicsImportGetGWorld(GraphicsImportComponent ci, CGrafPtr *port, GDHandle *gd) {
    GraphicsImporter *importer = ImporterOf(ci);
    if (importer == nullptr) return badComponentInstance;
    if (port != nullptr) *port = importer->mWorld;
    if (gd != nullptr) *gd = nullptr;
    return noErr;
}

ComponentResult GraphicsImportSetMatrix(GraphicsImportComponent ci, const MatrixRecord *matrix) {
    GraphicsImporter *importer = ImporterOf(ci);
    if (importer == nullptr) return badComponentInstance;
    if (matrix != nullptr) importer->mMatrix = *matrix;
    else SetIdentityMatrix(&importer->mMatrix);
    return noErr;
}

ComponentResult GraphicsImportGetMatrix(GraphicsImportComponent ci, MatrixRecord *matrix) {
    GraphicsImporter *importer = ImporterOf(ci);
    if (importer == nullptr) return badComponentInstance;
    if (matrix == nullptr) return paramErr;
    *matrix = importer->mMatrix;
    return noErr;
}

ComponentResult GraphicsImportSetBoundsRect(GraphicsImportComponent ci, const Rect *bounds) {
    GraphicsImporter *importer = ImporterOf(ci);
    if (importer == nullptr) return badComponentInstance;
    if (bounds == nullptr || EmptyRect(bounds)) return paramErr;
    ImageInfo info;
    const OSErr err = importer->Info(info);
    if (err != noErr) return err;
    MatrixRecord m;
    SetIdentityMatrix(&m);
    m.matrix[0][0] = X2Fix(double(int(bounds->right) - bounds->left) / info.width);
    m.matrix[1][1] = X2Fix(double(int(bounds->bottom) - bounds->top) / info.height);
    m.matrix[2][0] = Long2Fix(bounds->left);
    m.matrix[2][1] = Long2Fix(bounds->top);
    importer->mMatrix = m;
    return noErr;
}

ComponentResult GraphicsImportGetBoundsRect(GraphicsImportComponent ci, Rect *bounds) {
    GraphicsImporter *importer = ImporterOf(ci);
    if (importer == nullptr) return badComponentInstance;
    if (bounds == nullptr) return paramErr;
    ImageInfo info;
    const OSErr err = importer->Info(info);
    if (err != noErr) return err;
    return MappedRect(importer->mMatrix, info.width, info.height, *bounds) ? OSErr(noErr) : OSErr(paramErr);
}

ComponentResult GraphicsImportDraw(GraphicsImportComponent ci) {
    GraphicsImporter *importer = ImporterOf(ci);
    if (importer == nullptr) return badComponentInstance;
    if (!importer->mHasData || !IsLiveWorld(importer->mWorld)) return paramErr;
    ImageInfo info;
    OSErr err = importer->Info(info);
    if (err != noErr) return err;
    Rect dest;
    if (!MappedRect(importer->mMatrix, info.width, info.height, dest)) return paramErr;
    RGBAImage image;
    err = DecodeImage(importer->mFacts.kind, importer->mData.data(), importer->mData.size(), image);
    if (err != noErr) return err;
    const uint8_t *planes[4] = {image.pixels.data(), nullptr, nullptr, nullptr};
    const int strides[4] = {image.stride, 0, 0, 0};
    const PictureSource source{planes, strides, AV_PIX_FMT_RGBA, image.width, image.height, true, false};
    return DrawPictureIntoWorld(&importer->mScaler, source, importer->mWorld, dest);
}
