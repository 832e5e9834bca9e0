// Image descriptions: the record, its extension atoms and their typed properties.
#include <QuickTime/ImageCompression.h>

#include <cstring>

#include "QTInternal.h"

namespace {

constexpr SInt32 kRecordSize = SInt32(sizeof(ImageDescription));
constexpr SInt32 kAtomHeader = 8;

UInt32 ReadBE32(const UInt8 *p) { return (UInt32(p[0]) << 24) | (UInt32(p[1]) << 16) | (UInt32(p[2]) << 8) | p[3]; }

void WriteBE32(UInt8 *p, UInt32 v) {
    p[0] = UInt8(v >> 24);
    p[1] = UInt8(v >> 16);
    p[2] = UInt8(v >> 8);
    p[3] = UInt8(v);
}

struct Atom {
    SInt32 offset;  // of the atom header from the start of the description
    SInt32 size;    // header included
    OSType type;
};

// Checks the description: idSize within the handle and at least the record, and the
// extensions tile the rest exactly. Calls visit(atom) for each; visit returns false to stop.
template <class Visit>
OSErr WalkExtensions(ImageDescriptionHandle desc, Visit visit) {
    if (desc == nullptr || *desc == nullptr) return paramErr;
    // The handle must hold the whole record before any field of it is read.
    const Size handleSize = GetHandleSize(reinterpret_cast<Handle>(desc));
    if (handleSize < kRecordSize) return badImageDescription;
    const SInt32 idSize = (**desc).idSize;
    if (idSize < kRecordSize || idSize > handleSize) return badImageDescription;
    const UInt8 *bytes = reinterpret_cast<const UInt8 *>(*desc);
    SInt32 offset = kRecordSize;
    while (offset < idSize) {
        if (idSize - offset < kAtomHeader) return badImageDescription;
        const UInt32 size = ReadBE32(bytes + offset);
        if (size < UInt32(kAtomHeader) || size > UInt32(idSize - offset)) return badImageDescription;
        const Atom atom{offset, SInt32(size), ReadBE32(bytes + offset + 4)};
        if (!visit(atom)) return noErr;
        offset += SInt32(size);
    }
    return noErr;
}

// The index-th (from 1) atom of the type (0: any).
OSErr FindExtension(ImageDescriptionHandle desc, OSType type, long index, Atom &found) {
    if (index < 1) return paramErr;
    long seen = 0;
    bool hit = false;
    const OSErr err = WalkExtensions(desc, [&](const Atom &atom) {
        if (type == 0 || atom.type == type) {
            if (++seen == index) {
                found = atom;
                hit = true;
                return false;
            }
        }
        return true;
    });
    if (err != noErr) return err;
    return hit ? OSErr(noErr) : OSErr(codecExtensionNotFoundErr);
}

OSErr AppendExtension(ImageDescriptionHandle desc, OSType type, const void *data, SInt32 size) {
    const OSErr check = WalkExtensions(desc, [](const Atom &) { return true; });
    if (check != noErr) return check;
    const SInt32 idSize = (**desc).idSize;
    if (size < 0 || size > INT32_MAX - kAtomHeader - idSize) return paramErr;
    const SInt32 newSize = idSize + kAtomHeader + size;
    Handle h = reinterpret_cast<Handle>(desc);
    const Size oldHandleSize = GetHandleSize(h);
    // Anything past idSize in the handle is not part of the description: cut it off.
    SetHandleSize(h, newSize);
    if (MemError() != noErr) {
        SetHandleSize(h, oldHandleSize);
        return MemError() != noErr ? MemError() : OSErr(memFullErr);
    }
    UInt8 *bytes = reinterpret_cast<UInt8 *>(*desc);
    WriteBE32(bytes + idSize, UInt32(kAtomHeader + size));
    WriteBE32(bytes + idSize + 4, type);
    if (size > 0) std::memcpy(bytes + idSize + kAtomHeader, data, size_t(size));
    (**desc).idSize = newSize;
    return noErr;
}

OSErr RemoveAtom(ImageDescriptionHandle desc, const Atom &atom) {
    UInt8 *bytes = reinterpret_cast<UInt8 *>(*desc);
    const SInt32 idSize = (**desc).idSize;
    const SInt32 end = atom.offset + atom.size;
    std::memmove(bytes + atom.offset, bytes + end, size_t(idSize - end));
    (**desc).idSize = idSize - atom.size;
    SetHandleSize(reinterpret_cast<Handle>(desc), idSize - atom.size);  // shrinking never fails
    return noErr;
}

// Stored size of each property, and its conversions.
SInt32 PropertySize(QTPropertyID id) {
    switch (id) {
    case kICMImageDescriptionPropertyID_FieldInfo: return 2;
    case kICMImageDescriptionPropertyID_CleanAperture: return 32;
    case kICMImageDescriptionPropertyID_PixelAspectRatio: return 8;
    case kICMImageDescriptionPropertyID_GammaLevel: return 4;
    case kICMImageDescriptionPropertyID_RowBytes: return 4;
    case kICMImageDescriptionPropertyID_NCLCColorInfo: return 10;
    default: return -1;
    }
}

// The extension type a property is stored as: its own id, but for the colour information.
OSType AtomTypeOf(QTPropertyID id) {
    return id == kICMImageDescriptionPropertyID_NCLCColorInfo ? OSType(kColorInfoImageDescriptionExtension) : id;
}

void WriteBE16(UInt8 *p, UInt16 v) {
    p[0] = UInt8(v >> 8);
    p[1] = UInt8(v);
}
UInt16 ReadBE16(const UInt8 *p) { return UInt16((p[0] << 8) | p[1]); }

// Host value <-> stored bytes: the properties are arrays of 32-bit words, except the
// two-byte field information, which is stored as it is.
void HostToStored(QTPropertyID id, const void *value, UInt8 *stored, SInt32 size) {
    if (id == kICMImageDescriptionPropertyID_NCLCColorInfo) {
        NCLCColorInfoImageDescriptionExtension info;
        std::memcpy(&info, value, sizeof info);
        WriteBE32(stored, info.colorParamType);
        WriteBE16(stored + 4, info.primaries);
        WriteBE16(stored + 6, info.transferFunction);
        WriteBE16(stored + 8, info.matrix);
        return;
    }
    if (id == kICMImageDescriptionPropertyID_FieldInfo) {
        std::memcpy(stored, value, size_t(size));
        return;
    }
    for (SInt32 i = 0; i < size; i += 4) {
        UInt32 word;
        std::memcpy(&word, static_cast<const UInt8 *>(value) + i, 4);
        WriteBE32(stored + i, word);
    }
}

void StoredToHost(QTPropertyID id, const UInt8 *stored, void *value, SInt32 size) {
    if (id == kICMImageDescriptionPropertyID_NCLCColorInfo) {
        const NCLCColorInfoImageDescriptionExtension info{ReadBE32(stored), ReadBE16(stored + 4),
                                                          ReadBE16(stored + 6), ReadBE16(stored + 8)};
        std::memcpy(value, &info, sizeof info);
        return;
    }
    if (id == kICMImageDescriptionPropertyID_FieldInfo) {
        std::memcpy(value, stored, size_t(size));
        return;
    }
    for (SInt32 i = 0; i < size; i += 4) {
        const UInt32 word = ReadBE32(stored + i);
        std::memcpy(static_cast<UInt8 *>(value) + i, &word, 4);
    }
}

Fixed NegateFixed(Fixed x) { return x == INT32_MIN ? INT32_MAX : -x; }

}  // namespace

OSErr AddImageDescriptionExtension(ImageDescriptionHandle desc, Handle extension, long idType) {
    if (desc == nullptr || extension == nullptr || *extension == nullptr) return paramErr;
    const Size size = GetHandleSize(extension);
    if (MemError() != noErr || size > INT32_MAX) return paramErr;
    return AppendExtension(desc, OSType(idType), *extension, SInt32(size));
}

OSErr GetImageDescriptionExtension(ImageDescriptionHandle desc, Handle *extension, long idType, long index) {
    if (extension == nullptr) return paramErr;
    *extension = nullptr;
    Atom atom{};
    const OSErr err = FindExtension(desc, OSType(idType), index, atom);
    if (err != noErr) return err;
    const UInt8 *bytes = reinterpret_cast<const UInt8 *>(*desc);
    return PtrToHand(bytes + atom.offset + kAtomHeader, extension, atom.size - kAtomHeader);
}

OSErr CountImageDescriptionExtensionType(ImageDescriptionHandle desc, long idType, long *count) {
    if (count == nullptr) return paramErr;
    *count = 0;
    long n = 0;
    const OSErr err = WalkExtensions(desc, [&](const Atom &atom) {
        if (idType == 0 || atom.type == OSType(idType)) ++n;
        return true;
    });
    if (err == noErr) *count = n;
    return err;
}

OSErr RemoveImageDescriptionExtension(ImageDescriptionHandle desc, long idType, long index) {
    Atom atom{};
    const OSErr err = FindExtension(desc, OSType(idType), index, atom);
    return err != noErr ? err : RemoveAtom(desc, atom);
}

OSErr MakeImageDescriptionForPixMap(PixMapHandle pixmap, ImageDescriptionHandle *idh) {
    if (idh == nullptr) return paramErr;
    *idh = nullptr;
    if (pixmap == nullptr || *pixmap == nullptr) return paramErr;
    const PixMap &pm = **pixmap;
    const lumora::qt::PixelFormatInfo *info = lumora::qt::FindPixelFormat(pm.pixelFormat);
    if (info == nullptr) return cDepthErr;
    const int64_t height = int64_t(pm.bounds.bottom) - pm.bounds.top;
    const int64_t width = int64_t(pm.bounds.right) - pm.bounds.left;
    const int64_t dataSize = int64_t(pm.rowBytes) * height;
    if (width <= 0 || height <= 0 || dataSize > INT32_MAX) return paramErr;
    auto desc = reinterpret_cast<ImageDescriptionHandle>(NewHandleClear(kRecordSize));
    if (desc == nullptr) return MemError();
    ImageDescription &d = **desc;
    d.idSize = kRecordSize;
    d.cType = pm.pixelFormat;
    d.version = 2;
    d.spatialQuality = codecLosslessQuality;
    d.width = SInt16(width);
    d.height = SInt16(height);
    d.hRes = pm.hRes;
    d.vRes = pm.vRes;
    d.dataSize = SInt32(dataSize);
    d.frameCount = 1;
    d.depth = pm.pixelFormat == k8IndexedGrayPixelFormat ? 40 : info->pairs ? 24 : pm.pixelSize;
    d.clutID = -1;
    *idh = desc;
    return noErr;
}

OSStatus ICMImageDescriptionSetProperty(ImageDescriptionHandle inDesc, QTPropertyClass inPropClass,
                                        QTPropertyID inPropID, ByteCount inPropValueSize,
                                        ConstQTPropertyValuePtr inPropValueAddress) {
    if (inDesc == nullptr || inPropValueAddress == nullptr) return paramErr;
    const SInt32 size = inPropClass == kQTPropertyClass_ImageDescription ? PropertySize(inPropID) : -1;
    if (size < 0) return kQTPropertyNotSupportedErr;
    if (inPropValueSize != ByteCount(size)) return kQTPropertyBadValueSizeErr;
    OSErr err = WalkExtensions(inDesc, [](const Atom &) { return true; });
    if (err != noErr) return err;
    UInt8 stored[32];
    HostToStored(inPropID, inPropValueAddress, stored, size);
    Atom atom{};
    const OSType atomType = AtomTypeOf(inPropID);
    while (FindExtension(inDesc, atomType, 1, atom) == noErr) RemoveAtom(inDesc, atom);
    return AppendExtension(inDesc, atomType, stored, size);
}

OSStatus ICMImageDescriptionGetProperty(ImageDescriptionHandle inDesc, QTPropertyClass inPropClass,
                                        QTPropertyID inPropID, ByteCount inPropValueSize,
                                        QTPropertyValuePtr outPropValueAddress, ByteCount *outPropValueSizeUsed) {
    if (outPropValueSizeUsed != nullptr) *outPropValueSizeUsed = 0;
    if (inDesc == nullptr || outPropValueAddress == nullptr) return paramErr;
    const SInt32 size = inPropClass == kQTPropertyClass_ImageDescription ? PropertySize(inPropID) : -1;
    if (size < 0) return kQTPropertyNotSupportedErr;
    if (inPropValueSize < ByteCount(size)) return kQTPropertyBadValueSizeErr;
    Atom atom{};
    const OSErr err = FindExtension(inDesc, AtomTypeOf(inPropID), 1, atom);
    if (err != noErr) return err;
    if (atom.size - kAtomHeader != size) return kQTPropertyBadValueSizeErr;
    StoredToHost(inPropID, reinterpret_cast<const UInt8 *>(*inDesc) + atom.offset + kAtomHeader, outPropValueAddress,
                 size);
    if (outPropValueSizeUsed != nullptr) *outPropValueSizeUsed = ByteCount(size);
    return noErr;
}

void SetIdentityMatrix(MatrixRecord *matrix) {
    if (matrix == nullptr) return;
    std::memset(matrix, 0, sizeof *matrix);
    matrix->matrix[0][0] = fixed1;
    matrix->matrix[1][1] = fixed1;
    matrix->matrix[2][2] = 0x40000000;  // 1.0 as a 2.30 fraction
}

void ScaleMatrix(MatrixRecord *m, Fixed scaleX, Fixed scaleY, Fixed aboutX, Fixed aboutY) {
    if (m == nullptr) return;
    TranslateMatrix(m, NegateFixed(aboutX), NegateFixed(aboutY));
    for (int row = 0; row < 3; ++row) {
        m->matrix[row][0] = FixMul(m->matrix[row][0], scaleX);
        m->matrix[row][1] = FixMul(m->matrix[row][1], scaleY);
    }
    TranslateMatrix(m, aboutX, aboutY);
}

void TranslateMatrix(MatrixRecord *m, Fixed deltaH, Fixed deltaV) {
    if (m == nullptr) return;
    // Only affine matrices carry a translation this simply; the third column is left alone.
    const int64_t h = int64_t(m->matrix[2][0]) + deltaH;
    const int64_t v = int64_t(m->matrix[2][1]) + deltaV;
    m->matrix[2][0] = Fixed(h > INT32_MAX ? INT32_MAX : h < INT32_MIN ? INT32_MIN : h);
    m->matrix[2][1] = Fixed(v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : v);
}
