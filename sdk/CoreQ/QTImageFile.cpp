#include <CoreQ/QTImageFile.h>

#include <cstdint>

#include <CoreX/CoreMachDebugLog.h>
#include <QuickTime/MacMemory.h>
#include <QuickTime/Movies.h>

#include <CoreQ/QImageDescription.h>

namespace {

constexpr OSType kNoImageType = MakeFourCharCode("none");

bool bool_FSRef_ConstructFromPath(FSRef &outRef, const char *inPath) {
    return inPath != nullptr && FSPathMakeRef(reinterpret_cast<const UInt8 *>(inPath), &outRef, nullptr) == noErr;
}

// Components per pixel and bits per component of a colour space or codec type.
void PixelLayoutOf(OSType colorSpace, UInt32 &components, UInt32 &bits) {
    switch (colorSpace) {
    case k32ARGBPixelFormat: components = 4, bits = 8; break;
    case MakeFourCharCode("b32a"): components = 2, bits = 16; break;   // grey and alpha
    case MakeFourCharCode("b48r"): components = 3, bits = 16; break;   // red, green, blue
    case MakeFourCharCode("b64a"): components = 4, bits = 16; break;
    default: components = 3, bits = 8; break;
    }
}

}  // namespace

void QTImageFile::Empty() {
    mImageType = kNoImageType;
    mBitsPerComponent = 0;
    mComponentsPerPixel = 0;
    mWidth = 0;
    mHeight = 0;
    mImportRef = nullptr;
    mImageData = nullptr;
    mImageDataSize = 0;
}

bool QTImageFile::LoadImageUnixPath(const char *inImageUnixPath) {
    FSRef imageFileRef;
    if (!VERIFY(bool_FSRef_ConstructFromPath(imageFileRef, inImageUnixPath))) return false;
    return LoadImageFileRef(imageFileRef);
}

bool QTImageFile::LoadImageFileRef(const FSRef &inFileRef) {
    UnloadImage();
    Empty();
    if (!VERIFY(LoadImageDescription(inFileRef)) || !VERIFY(LoadImageData(inFileRef))) {
        UnloadImage();
        Empty();
        return false;
    }
    return true;
}

bool QTImageFile::LoadImageDescription(const FSRef &inFileRef) {
    Handle dataRef = nullptr;
    OSType dataRefType = 0;
    if (VERIFY_OSERR(QTNewDataReferenceFromFSRef(&inFileRef, 0, &dataRef, &dataRefType)) != noErr) return false;
    CloseImporter();

    bool fOk = VERIFY_OSERR(GetGraphicsImporterForDataRef(dataRef, dataRefType, &mImportRef)) == noErr;
    if (fOk) {
        ImageDescriptionHandle hDescription = nullptr;
        fOk = VERIFY_OSERR(GraphicsImportGetImageDescription(mImportRef, &hDescription)) == noErr;
        if (fOk) {
            QImageDescription description;
            fOk = VERIFY(description.Construct(hDescription, true));
            if (fOk) {
                mWidth = description.GetWidth();
                mHeight = description.GetHeight();
                OSType colorSpace = 0;
                if (!description.GetExtension_cspc(colorSpace)) colorSpace = description.GetCodecType();
                PixelLayoutOf(colorSpace, mComponentsPerPixel, mBitsPerComponent);
            }
        }
    }
    if (fOk) {
        ComponentDescription cd{};
        fOk = VERIFY_OSERR(GetComponentInfo(reinterpret_cast<Component>(mImportRef), &cd, nullptr, nullptr,
                                            nullptr)) == noErr;
        if (fOk) mImageType = cd.componentSubType;
    }
    CloseImporter();
    DisposeHandle(dataRef);
    return fOk;
}

bool QTImageFile::LoadImageData(const FSRef &inFileRef) {
    if (mImageData != nullptr) {
        HUnlock(mImageData);
        DisposeHandle(mImageData);
        mImageData = nullptr;
        mImageDataSize = 0;
    }
    FSSpec fileSpec;
    if (VERIFY_OSERR(FSGetCatalogInfo(&inFileRef, kFSCatInfoNone, nullptr, nullptr, &fileSpec, nullptr)) != noErr)
        return false;
    FSIORefNum fileRefNum = 0;
    if (VERIFY_OSERR(FSpOpenDF(&fileSpec, fsRdPerm, &fileRefNum)) != noErr) return false;

    long eof = 0;
    bool fOk = VERIFY_OSERR(GetEOF(fileRefNum, &eof)) == noErr && VERIFY(eof > 0 && eof <= INT32_MAX);
    Handle data = nullptr;
    if (fOk) {
        data = NewHandle(Size(eof));
        fOk = VERIFY(data != nullptr);
    }
    if (fOk) {
        HLockHi(data);
        // The whole fork, or nothing: a read that fails or comes up short (the file shrank
        // since it was sized: eofErr) leaves no data.
        long count = eof;
        fOk = VERIFY_OSERR(FSRead(fileRefNum, &count, *data)) == noErr && VERIFY(count == eof);
        if (!fOk) {
            HUnlock(data);
            DisposeHandle(data);
            data = nullptr;
        }
    }
    FSClose(fileRefNum);
    if (!fOk) return false;
    mImageData = data;
    mImageDataSize = UInt32(eof);
    return true;
}

bool QTImageFile::OpenImporterForData(Handle inImageData) {
    CloseImporter();
    mImportRef = OpenDefaultComponent(GraphicsImporterComponentType, mImageType);
    if (!VERIFY(mImportRef != nullptr)) return false;
    if (VERIFY_OSERR(GraphicsImportSetDataHandle(mImportRef, inImageData)) != noErr) {
        CloseImporter();
        return false;
    }
    return true;
}

bool QTImageFile::SetImportGWorldWithScaleFlipVertical(GWorldPtr inGWorld, float inWidth, float inHeight,
                                                       bool inScale, bool inFlipVertical) {
    if (!VERIFY(mImportRef != nullptr) || !VERIFY(!inFlipVertical)) return false;
    if (VERIFY_OSERR(GraphicsImportSetGWorld(mImportRef, inGWorld, nullptr)) != noErr) return false;
    if (!inScale) return true;
    if (!VERIFY(mWidth > 0 && mHeight > 0)) return false;
    MatrixRecord matrix;
    SetIdentityMatrix(&matrix);
    matrix.matrix[0][0] = X2Fix(double(inWidth) / mWidth);
    matrix.matrix[1][1] = X2Fix(double(inHeight) / mHeight);
    return VERIFY_OSERR(GraphicsImportSetMatrix(mImportRef, &matrix)) == noErr;
}

bool QTImageFile::DrawIntoGWorldScaledToBounds(GWorldPtr inGWorld, const Rect &inBounds) {
    if (!VERIFY(IsImageDataLoaded())) return false;
    if (!VERIFY(OpenImporterForData(mImageData))) return false;
    bool fOk = VERIFY(SetImportGWorldWithScaleFlipVertical(inGWorld, float(int(inBounds.right) - inBounds.left),
                                                           float(int(inBounds.bottom) - inBounds.top), true, false));
    // The scale alone places the picture at the world's origin: move it to the rectangle's.
    if (fOk && (inBounds.left != 0 || inBounds.top != 0)) {
        MatrixRecord matrix;
        fOk = VERIFY_OSERR(GraphicsImportGetMatrix(mImportRef, &matrix)) == noErr;
        if (fOk) {
            TranslateMatrix(&matrix, Long2Fix(inBounds.left), Long2Fix(inBounds.top));
            fOk = VERIFY_OSERR(GraphicsImportSetMatrix(mImportRef, &matrix)) == noErr;
        }
    }
    if (fOk) fOk = VERIFY_OSERR(GraphicsImportDraw(mImportRef)) == noErr;
    if (!fOk) {
        CloseImporter();
        return false;
    }
    UnloadImage();
    return true;
}

void QTImageFile::UnloadImage() {
    CloseImporter();
    if (mImageData != nullptr) {
        HUnlock(mImageData);
        DisposeHandle(mImageData);
        mImageData = nullptr;
    }
    mImageDataSize = 0;
}

void QTImageFile::CloseImporter() {
    if (mImportRef == nullptr) return;
    CloseComponent(mImportRef);
    mImportRef = nullptr;
}
