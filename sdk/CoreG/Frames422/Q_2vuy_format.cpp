#include <CoreG/Frames422/Q_2vuy_format.h>

#include <cstring>

#include <CoreQ/QImageDescription.h>
#include <CoreX/CoreMachDebugLog.h>
#include <QuickTime/MacMemory.h>

void Q_2vuy_format::Clear() {
    _Width = 0;
    _Height = 0;
    _RowBytes = 0;
    _PixelFormat = k2vuyPixelFormat;
    _Matrix = kQTMatrix_ITU_R_709_2;
}

bool Q_2vuy_format::SetFormat(const Q_2vuy_format &format) {
    _Width = format._Width;
    _Height = format._Height;
    _RowBytes = format._RowBytes;
    _PixelFormat = format._PixelFormat;
    _Matrix = format._Matrix;
    return IsValid();
}

bool Q_2vuy_format::ConstructFromImageDescription(ImageDescriptionHandle hImageDescription) {
    Clear();
    if (hImageDescription == nullptr || *hImageDescription == nullptr) return false;
    if (GetHandleSize(reinterpret_cast<Handle>(hImageDescription)) < Size(sizeof(ImageDescription))) return false;
    const ImageDescription &description = **hImageDescription;
    if (!Is422(description.cType)) return false;
    if (description.width < 1 || description.height < 1) return false;

    long rowBytes = long(description.width) * 2;
    SInt32 extensionRowBytes = 0;
    const OSStatus rowBytesStatus =
        ICMImageDescriptionGetProperty(hImageDescription, kQTPropertyClass_ImageDescription,
                                       kICMImageDescriptionPropertyID_RowBytes, sizeof extensionRowBytes,
                                       &extensionRowBytes, nullptr);
    if (rowBytesStatus == noErr) {
        if (extensionRowBytes < rowBytes) return false;
        rowBytes = extensionRowBytes;
    } else if (rowBytesStatus != codecExtensionNotFoundErr) {
        return false;  // idSize or the extensions are not well formed
    }
    NCLCColorInfoImageDescriptionExtension colour{};
    if (ICMImageDescriptionGetProperty(hImageDescription, kQTPropertyClass_ImageDescription,
                                       kICMImageDescriptionPropertyID_NCLCColorInfo, sizeof colour, &colour,
                                       nullptr) == noErr &&
        colour.colorParamType == kVideoColorInfoImageDescriptionExtensionType &&
        colour.matrix == kQTMatrix_ITU_R_601_4)
        _Matrix = kQTMatrix_ITU_R_601_4;
    _PixelFormat = description.cType;
    _Width = description.width;
    _Height = description.height;
    _RowBytes = UInt32(rowBytes);
    return true;
}

bool Q_2vuy_format::GetImageDescription(QImageDescription &out) const {
    OSErr err = noErr;
    ImageDescriptionHandle _desc =
        reinterpret_cast<ImageDescriptionHandle>(NewHandleClear(Size(sizeof(ImageDescription))));
    if (VERIFY_OSERR(err = MemError()) != noErr || _desc == nullptr) {
        if (_desc != nullptr) DisposeHandle(reinterpret_cast<Handle>(_desc));
        return false;
    }

    ImageDescription &description = **_desc;
    description.idSize = SInt32(sizeof(ImageDescription));
    description.cType = _PixelFormat;
    description.resvd1 = 0;
    description.resvd2 = 0;
    description.dataRefIndex = 0;
    description.version = 2;
    description.revisionLevel = 0;
    description.vendor = SInt32(MakeFourCharCode("appl"));
    description.temporalQuality = 0;
    description.spatialQuality = codecLosslessQuality;
    description.width = _Width;
    description.height = _Height;
    description.hRes = 0x00480000;
    description.vRes = 0x00480000;
    description.dataSize = SInt32(long(_Width) * long(_Height) * 2);
    description.frameCount = 1;
    description.name[0] = 0;
    description.depth = 24;
    description.clutID = -1;

    FieldInfoImageDescriptionExtension2 fieldInfo = {1, 0};
    VERIFY_OSERR(err = ICMImageDescriptionSetProperty(_desc, kQTPropertyClass_ImageDescription, kICMImageDescriptionPropertyID_FieldInfo, sizeof(FieldInfoImageDescriptionExtension2), &fieldInfo));

    CleanApertureImageDescriptionExtension cleanAperture = {UInt32(_Width), 1, UInt32(_Height), 1, 0, 1, 0, 1};
    VERIFY_OSERR(err = ICMImageDescriptionSetProperty(_desc, kQTPropertyClass_ImageDescription, kICMImageDescriptionPropertyID_CleanAperture, sizeof(CleanApertureImageDescriptionExtension), &cleanAperture));

    PixelAspectRatioImageDescriptionExtension pixelAspectRatio = {1, 1};
    VERIFY_OSERR(err = ICMImageDescriptionSetProperty(_desc, kQTPropertyClass_ImageDescription, kICMImageDescriptionPropertyID_PixelAspectRatio, sizeof(PixelAspectRatioImageDescriptionExtension), &pixelAspectRatio));

    const bool bt601 = _Matrix == kQTMatrix_ITU_R_601_4;
    NCLCColorInfoImageDescriptionExtension colour = {kVideoColorInfoImageDescriptionExtensionType, bt601 ? kQTPrimaries_SMPTE_C : kQTPrimaries_ITU_R709_2, kQTTransferFunction_ITU_R709_2, bt601 ? kQTMatrix_ITU_R_601_4 : kQTMatrix_ITU_R_709_2};
    VERIFY_OSERR(err = ICMImageDescriptionSetProperty(_desc, kQTPropertyClass_ImageDescription, kICMImageDescriptionPropertyID_NCLCColorInfo, sizeof(NCLCColorInfoImageDescriptionExtension), &colour));

    // Rows wider than their pixels must be labelled, or readers of the description would
    // take them as width x 2 bytes.
    if (_RowBytes != UInt32(long(_Width) * 2)) {
        SInt32 rowBytes = SInt32(_RowBytes);
        VERIFY_OSERR(err = ICMImageDescriptionSetProperty(_desc, kQTPropertyClass_ImageDescription, kICMImageDescriptionPropertyID_RowBytes, sizeof(SInt32), &rowBytes));
    }

    return out.Construct(_desc, true);
}

bool import_Q_2vuy_format() { return import_CoreMachDebugLog(); }
