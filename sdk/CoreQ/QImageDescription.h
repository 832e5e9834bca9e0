// QImageDescription: one QuickTime image description (codec type, size, data size and
// typed extensions) and whether this object owns it.
//
// The row bytes of a raw frame ('rowb' rule, GetExtension_rowb): the 'rowb' extension
// when the description has one; otherwise, for the 4:2:2 codec types '2vuy', 'UYVY',
// 'YVYU', 'yuvs' and 'yuvu' only, dataSize / height (or width x 2 when dataSize or height
// is 0). Other codecs without the extension have no row bytes.
//
// Extensions known here (stored big-endian, as QuickTime keeps them):
//   'rowb' 4 bytes, signed row bytes     'cspc' 4 bytes, colour space (OSType)
//   'gama' 4 bytes, gamma (Fixed)        'fiel' 2 bytes, field information (fields,
//                                                          detail: bytes as they are)
#pragma once

#include <QuickTime/ImageCompression.h>
#include <QuickTime/MacMemory.h>

#include <CoreQ/QPixMap.h>

class QImageDescription {
public:
    QImageDescription() : mHandle(nullptr), mIsOwner(false) {}
    // Adopts the description without ownership (a null handle is reported).
    explicit QImageDescription(ImageDescriptionHandle hImageDescription);
    // The description of the pixel map, owned (see Construct(PixMapHandle)).
    explicit QImageDescription(PixMapHandle hPixMap);
    // Disposes the description when owned.
    ~QImageDescription();
    QImageDescription(const QImageDescription &) = delete;
    QImageDescription &operator=(const QImageDescription &) = delete;

    // Disposes an owned description (unless it is the one given again), then adopts the
    // handle with the given ownership. False (reported) for a null handle, which leaves
    // the object empty.
    bool Construct(ImageDescriptionHandle hImageDescription, bool owner = false);
    // Disposes an owned description, then makes an owned one for the pixel map, with a
    // 'rowb' extension of the map's row bytes when the 'rowb' rule finds none. False
    // (reported, object empty) when the description cannot be made.
    bool Construct(PixMapHandle hPixMap);
    // Disposes an owned description and empties the object.
    void Dispose();

    bool IsConstructed() const { return mHandle != nullptr; }
    bool IsOwner() const { return mIsOwner; }
    ImageDescriptionHandle GetHandle() const { return mHandle; }

    // The record's fields; 0 when empty, when the handle is shorter than the record or
    // when idSize is below the record or beyond the handle.
    SInt16 GetWidth() const;
    SInt16 GetHeight() const;
    ::Dimensions GetDimensions() const;
    CodecType GetCodecType() const;
    // dataSize; reported and 0 when empty or malformed (as above).
    SInt32 DataSize() const;

    // A new handle (the caller disposes it) with the index-th (from 1) extension of the
    // type. codecExtensionNotFoundErr is answered without a report; paramErr when empty.
    OSErr GetImageDescriptionExtension(Handle &extension, OSType idType, long index) const;
    // Zero-fills the buffer, then copies the extension into it when its size is exactly
    // in_data_size (reported otherwise; the buffer stays zero). The fetch's status.
    OSErr GetExtension(void *buffer, long in_data_size, OSType idType, long index = 1) const;
    // The 'rowb' rule above.
    bool GetExtension_rowb(long &rowBytes, long index = 1) const;
    // The typed readers: true when the extension was read (host order).
    bool GetExtension_cspc(OSType &colorSpace, long index = 1) const;
    bool GetExtension_gama(Fixed &gamma, long index = 1) const;
    bool GetExtension_fiel(FieldInfoImageDescriptionExtension2 &fieldInfo, long index = 1) const;

    // Adds a copy of the handle's bytes as an extension. paramErr for a null handle, a
    // zero type or an empty object.
    OSErr AddImageDescriptionExtension(Handle extension, OSType idType);
    // Adds size bytes at data as an extension.
    OSErr AddExtension(const void *data, long size, OSType idType);
    // Four bytes, big-endian.
    OSErr AddImageDescriptionExtension_S32(long value, OSType idType);
    OSErr AddImageDescriptionExtension_U32(unsigned long value, OSType idType);
    // True without change when the 'rowb' rule already answers; otherwise adds a 'rowb'
    // extension of rowBytes.
    bool AddExtension_rowb(long rowBytes);

    ImageDescriptionHandle mHandle;
    bool mIsOwner;

private:
    // The record, or null when there is none, the handle cannot hold all of it or its
    // idSize is not within the record's size .. the handle's size.
    const ImageDescription *Record() const;
    // GetExtension, also telling whether the bytes were copied.
    OSErr ReadExtension(void *buffer, long in_data_size, OSType idType, long index, bool &copied) const;
};
