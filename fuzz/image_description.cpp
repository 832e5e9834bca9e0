// Image descriptions read from a handle of arbitrary bytes (the record in host order, then
// its extensions): the extension and property calls of the QuickTime layer and the
// getters of QImageDescription, then a change through each of the editing calls.
#include "FuzzSupport.h"

#include <QuickTime/ImageCompression.h>
#include <QuickTime/MacMemory.h>

#include <CoreQ/QImageDescription.h>

namespace {

void ReadProperties(ImageDescriptionHandle desc) {
    const QTPropertyID ids[] = {kICMImageDescriptionPropertyID_FieldInfo, kICMImageDescriptionPropertyID_CleanAperture,
                                kICMImageDescriptionPropertyID_PixelAspectRatio,
                                kICMImageDescriptionPropertyID_GammaLevel, kICMImageDescriptionPropertyID_RowBytes};
    for (QTPropertyID id : ids) {
        uint8_t value[64];
        ByteCount used = 0;
        (void)ICMImageDescriptionGetProperty(desc, kQTPropertyClass_ImageDescription, id, sizeof value, value, &used);
        LUMORA_CHECK(used <= sizeof value);
    }
}

void ReadExtensions(ImageDescriptionHandle desc) {
    long count = 0;
    if (CountImageDescriptionExtensionType(desc, 0, &count) != noErr) return;
    LUMORA_CHECK(count >= 0);
    for (long index = 1; index <= count + 1 && index <= 16; ++index) {
        Handle extension = nullptr;
        const OSErr err = GetImageDescriptionExtension(desc, &extension, 0, index);
        LUMORA_CHECK((err == noErr) == (index <= count));
        if (extension != nullptr) DisposeHandle(extension);
    }
}

void ReadWithCoreQ(ImageDescriptionHandle desc) {
    QImageDescription description(desc);
    (void)description.GetWidth();
    (void)description.GetHeight();
    (void)description.GetDimensions();
    (void)description.GetCodecType();
    (void)description.DataSize();
    long rowBytes = 0;
    (void)description.GetExtension_rowb(rowBytes);
    OSType space = 0;
    (void)description.GetExtension_cspc(space);
    Fixed gamma = 0;
    (void)description.GetExtension_gama(gamma);
    FieldInfoImageDescriptionExtension2 fields{};
    (void)description.GetExtension_fiel(fields, 2);
    uint8_t buffer[16];
    (void)description.GetExtension(buffer, sizeof buffer, MakeFourCharCode("clap"));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    Handle bytes = nullptr;
    if (PtrToHand(data, &bytes, long(size)) != noErr) return 0;
    auto desc = reinterpret_cast<ImageDescriptionHandle>(bytes);

    ReadExtensions(desc);
    ReadProperties(desc);
    ReadWithCoreQ(desc);

    // Editing: add, set, read back, remove.
    const uint8_t rowBytes[4] = {0, 0, 0x0A, 0x00};
    Handle extension = nullptr;
    if (PtrToHand(rowBytes, &extension, 4) == noErr) {
        (void)AddImageDescriptionExtension(desc, extension, MakeFourCharCode("test"));
        DisposeHandle(extension);
    }
    const Fixed gamma = 0x00023333;
    (void)ICMImageDescriptionSetProperty(desc, kQTPropertyClass_ImageDescription,
                                         kICMImageDescriptionPropertyID_GammaLevel, sizeof gamma, &gamma);
    ReadExtensions(desc);
    (void)RemoveImageDescriptionExtension(desc, 0, 1);
    {
        QImageDescription description(desc);
        (void)description.AddExtension_rowb(1280);
        (void)description.AddImageDescriptionExtension_U32(0x32767579, MakeFourCharCode("cspc"));
        ReadWithCoreQ(desc);
    }
    DisposeHandle(bytes);
    return 0;
}
