#include <CoreQ/QImageDescription.h>

#include <cstring>

#include <CoreX/CoreMachDebugLog.h>

namespace {

constexpr OSType kInvalidTypeId = 0;

inline uint32_t FromBigEndian32(const uint8_t b[4]) {
    return (uint32_t(b[0]) << 24) | (uint32_t(b[1]) << 16) | (uint32_t(b[2]) << 8) | uint32_t(b[3]);
}

inline void ToBigEndian32(uint32_t v, uint8_t b[4]) {
    b[0] = uint8_t(v >> 24);
    b[1] = uint8_t(v >> 16);
    b[2] = uint8_t(v >> 8);
    b[3] = uint8_t(v);
}

// Locks a handle while it is read and restores its former lock state.
class QHandleLock {
public:
    explicit QHandleLock(Handle h) : mHandle(h), mState(HGetState(h)) { HLock(h); }
    ~QHandleLock() { HSetState(mHandle, mState); }
    QHandleLock(const QHandleLock &) = delete;
    QHandleLock &operator=(const QHandleLock &) = delete;
    long HandleSizeBytes() const { return long(GetHandleSize(mHandle)); }
    const void *Bytes() const { return *mHandle; }

private:
    Handle mHandle;
    SInt8 mState;
};

bool IsYUV422CodecType(CodecType type) {
    switch (type) {
    case MakeFourCharCode("2vuy"):
    case MakeFourCharCode("UYVY"):
    case MakeFourCharCode("YVYU"):
    case MakeFourCharCode("yuvs"):
    case MakeFourCharCode("yuvu"): return true;
    default: return false;
    }
}

}  // namespace

QImageDescription::QImageDescription(ImageDescriptionHandle hImageDescription) : mHandle(nullptr), mIsOwner(false) {
    VERIFY(Construct(hImageDescription));
}

QImageDescription::QImageDescription(PixMapHandle hPixMap) : mHandle(nullptr), mIsOwner(false) {
    VERIFY(Construct(hPixMap));
}

QImageDescription::~QImageDescription() { Dispose(); }

void QImageDescription::Dispose() {
    if (mIsOwner && mHandle != nullptr) DisposeHandle(reinterpret_cast<Handle>(mHandle));
    mHandle = nullptr;
    mIsOwner = false;
}

bool QImageDescription::Construct(ImageDescriptionHandle hImageDescription, bool owner) {
    // Adopting the handle already held keeps it alive.
    if (hImageDescription != mHandle) Dispose();
    mIsOwner = false;
    if (!VERIFY(mHandle = hImageDescription)) return false;
    mIsOwner = owner;
    return true;
}

bool QImageDescription::Construct(PixMapHandle hPixMap) {
    Dispose();
    ImageDescriptionHandle hImageDescription = nullptr;
    const OSErr err = MakeImageDescriptionForPixMap(hPixMap, &hImageDescription);
    if (VERIFY_OSERR(err) != noErr || hImageDescription == nullptr) return false;
    mHandle = hImageDescription;
    mIsOwner = true;
    long rowBytes = 0;
    if (!GetExtension_rowb(rowBytes)) {
        uint8_t rowb_extension[4];
        ToBigEndian32(uint32_t(SInt32(GetPixRowBytes(hPixMap))), rowb_extension);
        const OSErr addErr = AddExtension(rowb_extension, sizeof(rowb_extension), kImageDescriptionRowBytesExtension);
        if (addErr != noErr)
            _CoreMachDebugVerifyOSerrBody(addErr, __func__, __FILE__, __LINE__,
                                          " code : AddExtension(rowb_extension, 'rowb')");
    }
    return true;
}

const ImageDescription *QImageDescription::Record() const {
    if (mHandle == nullptr || *mHandle == nullptr) return nullptr;
    const Size size = GetHandleSize(reinterpret_cast<Handle>(mHandle));
    if (size < Size(sizeof(ImageDescription))) return nullptr;
    const SInt32 idSize = (*mHandle)->idSize;
    if (idSize < SInt32(sizeof(ImageDescription)) || idSize > size) return nullptr;
    return *mHandle;
}

SInt16 QImageDescription::GetWidth() const {
    const ImageDescription *record = Record();
    return record != nullptr ? record->width : 0;
}

SInt16 QImageDescription::GetHeight() const {
    const ImageDescription *record = Record();
    return record != nullptr ? record->height : 0;
}

Dimensions QImageDescription::GetDimensions() const { return ::Dimensions{GetHeight(), GetWidth()}; }

CodecType QImageDescription::GetCodecType() const {
    const ImageDescription *record = Record();
    return record != nullptr ? record->cType : 0;
}

SInt32 QImageDescription::DataSize() const {
    const ImageDescription *record = Record();
    if (!VERIFY(record)) return 0;
    return record->dataSize;
}

OSErr QImageDescription::GetImageDescriptionExtension(Handle &extension, OSType idType, long index) const {
    extension = nullptr;
    if (!VERIFY(mHandle)) return paramErr;
    const OSErr err = ::GetImageDescriptionExtension(mHandle, &extension, long(idType), index);
    if (err == codecExtensionNotFoundErr) return err;
    if (err == noErr && !VERIFY(extension)) return -1;
    VERIFY_OSERR(err);
    return err;
}

OSErr QImageDescription::GetExtension(void *buffer, long in_data_size, OSType idType, long index) const {
    bool copied = false;
    return ReadExtension(buffer, in_data_size, idType, index, copied);
}

OSErr QImageDescription::ReadExtension(void *buffer, long in_data_size, OSType idType, long index, bool &copied) const {
    copied = false;
    if (!VERIFY(buffer) || !VERIFY(in_data_size>0)) return paramErr;
    std::memset(buffer, 0, size_t(in_data_size));
    Handle extension = nullptr;
    const OSErr err = GetImageDescriptionExtension(extension, idType, index);
    if (err != noErr) return err;
    {
        QHandleLock lock(extension);
        copied = VERIFY(in_data_size==lock.HandleSizeBytes());
        if (copied) std::memcpy(buffer, lock.Bytes(), size_t(in_data_size));
    }
    DisposeHandle(extension);
    return err;
}

bool QImageDescription::GetExtension_rowb(long &rowBytes, long index) const {
    rowBytes = 0;
    if (mHandle == nullptr) return false;
    Handle extension = nullptr;
    // Read quietly: a missing extension is the usual case and falls to the codec rule.
    if (::GetImageDescriptionExtension(mHandle, &extension, long(kImageDescriptionRowBytesExtension), index) == noErr &&
        extension != nullptr) {
        long value = 0;
        bool present = false;
        {
            QHandleLock lock(extension);
            if (lock.HandleSizeBytes() == 4) {
                value = long(SInt32(FromBigEndian32(static_cast<const uint8_t *>(lock.Bytes()))));
                present = value > 0;
            }
        }
        DisposeHandle(extension);
        if (present) {
            rowBytes = value;
            return true;
        }
    }
    const ImageDescription *record = Record();
    if (record == nullptr) return false;
    const ImageDescription &desc = *record;
    if (!IsYUV422CodecType(desc.cType)) return false;
    // A description without a height has no defined division; fall back to the width.
    const long value = desc.dataSize > 0 && desc.height > 0 ? long(desc.dataSize) / desc.height : long(desc.width) * 2;
    if (value <= 0) return false;
    rowBytes = value;
    return true;
}

bool QImageDescription::GetExtension_cspc(OSType &colorSpace, long index) const {
    uint8_t bytes[4];
    bool copied = false;
    colorSpace = 0;
    if (mHandle == nullptr) return false;
    if (ReadExtension(bytes, sizeof(bytes), kImageDescriptionColorSpaceExtension, index, copied) != noErr || !copied)
        return false;
    colorSpace = FromBigEndian32(bytes);
    return true;
}

bool QImageDescription::GetExtension_gama(Fixed &gamma, long index) const {
    uint8_t bytes[4];
    bool copied = false;
    gamma = 0;
    if (mHandle == nullptr) return false;
    if (ReadExtension(bytes, sizeof(bytes), kImageDescriptionGammaExtension, index, copied) != noErr || !copied)
        return false;
    gamma = Fixed(FromBigEndian32(bytes));
    return true;
}

bool QImageDescription::GetExtension_fiel(FieldInfoImageDescriptionExtension2 &fieldInfo, long index) const {
    uint8_t bytes[2];
    bool copied = false;
    fieldInfo = FieldInfoImageDescriptionExtension2{0, 0};
    if (mHandle == nullptr) return false;
    if (ReadExtension(bytes, sizeof(bytes), kImageDescriptionFieldInfoExtension, index, copied) != noErr || !copied)
        return false;
    fieldInfo.fields = bytes[0];
    fieldInfo.detail = bytes[1];
    return true;
}

OSErr QImageDescription::AddImageDescriptionExtension(Handle extension, OSType idType) {
    if (!VERIFY_TEXT(extension != nullptr, " code : extension!=nil")) return paramErr;
    if (!VERIFY(idType!=kInvalidTypeId) || !VERIFY(mHandle)) return paramErr;
    return VERIFY_OSERR(::AddImageDescriptionExtension(mHandle, extension, long(idType)));
}

OSErr QImageDescription::AddExtension(const void *data, long size, OSType idType) {
    if (!VERIFY(idType!=kInvalidTypeId)) return paramErr;
    if (!VERIFY(data) || !VERIFY(size>0)) return paramErr;
    Handle extension = nullptr;
    OSErr err = VERIFY_OSERR(PtrToHand(data, &extension, size));
    if (err != noErr) return err;
    err = AddImageDescriptionExtension(extension, idType);
    DisposeHandle(extension);
    return err;
}

OSErr QImageDescription::AddImageDescriptionExtension_S32(long value, OSType idType) {
    uint8_t bytes[4];
    ToBigEndian32(uint32_t(SInt32(value)), bytes);
    return AddExtension(bytes, sizeof(bytes), idType);
}

OSErr QImageDescription::AddImageDescriptionExtension_U32(unsigned long value, OSType idType) {
    uint8_t bytes[4];
    ToBigEndian32(uint32_t(value), bytes);
    return AddExtension(bytes, sizeof(bytes), idType);
}

bool QImageDescription::AddExtension_rowb(long rowBytes) {
    long existing = 0;
    if (GetExtension_rowb(existing)) return true;
    return VERIFY(noErr == AddImageDescriptionExtension_S32(rowBytes, kImageDescriptionRowBytesExtension));
}
