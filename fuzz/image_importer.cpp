// Still images (PNG, JPEG, TIFF, chosen by content) read from memory: an importer for a
// handle data reference, its natural bounds and image description, and drawing into a
// small 32-bit ARGB world and a small '2vuy' world; then an importer of each kind given
// the same bytes with GraphicsImportSetDataHandle.
#include "FuzzSupport.h"

#include <QuickTime/MacMemory.h>
#include <QuickTime/Movies.h>
#include <QuickTime/QuickTimeComponents.h>

#include <CoreQ/QImageDescription.h>

namespace {

// Draws into a fresh world of the format, scaled to its bounds.
void DrawInto(GraphicsImportComponent importer, OSType format) {
    const Rect bounds{0, 0, 6, 8};
    GWorldPtr world = nullptr;
    if (QTNewGWorld(&world, format, &bounds, nullptr, nullptr, 0) != noErr) return;
    LUMORA_CHECK(GraphicsImportSetGWorld(importer, world, nullptr) == noErr);
    LUMORA_CHECK(GraphicsImportSetBoundsRect(importer, &bounds) == noErr);
    (void)GraphicsImportDraw(importer);
    DisposeGWorld(world);
}

void Inspect(GraphicsImportComponent importer) {
    Rect natural{};
    const bool readable = GraphicsImportGetNaturalBounds(importer, &natural) == noErr;
    if (readable) LUMORA_CHECK(natural.top == 0 && natural.left == 0 && natural.bottom > 0 && natural.right > 0);
    ImageDescriptionHandle desc = nullptr;
    if (GraphicsImportGetImageDescription(importer, &desc) == noErr) {
        LUMORA_CHECK(readable);
        QImageDescription description(desc);
        LUMORA_CHECK(description.GetWidth() == natural.right && description.GetHeight() == natural.bottom);
        OSType space = 0;
        (void)description.GetExtension_cspc(space);
        description.Dispose();
        DisposeHandle(reinterpret_cast<Handle>(desc));
    }
    if (!readable) return;
    DrawInto(importer, k32ARGBPixelFormat);
    DrawInto(importer, k2vuyPixelFormat);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    Handle bytes = nullptr;
    if (PtrToHand(data, &bytes, long(size)) != noErr) return 0;
    Handle dataRef = nullptr;
    if (PtrToHand(&bytes, &dataRef, sizeof bytes) == noErr) {
        ComponentInstance importer = nullptr;
        if (GetGraphicsImporterForDataRef(dataRef, HandleDataHandlerSubType, &importer) == noErr) {
            Inspect(importer);
            CloseComponent(importer);
        }
        DisposeHandle(dataRef);
    }
    // An importer of each kind is handed the same bytes and reads its header from them,
    // whatever kind they are.
    for (OSType kind : {kQTFileTypePNG, kQTFileTypeJPEG, kQTFileTypeTIFF}) {
        ComponentInstance importer = OpenDefaultComponent(GraphicsImporterComponentType, kind);
        LUMORA_CHECK(importer != nullptr);
        if (GraphicsImportSetDataHandle(importer, bytes) == noErr) {
            Rect natural{};
            (void)GraphicsImportGetNaturalBounds(importer, &natural);
        }
        CloseComponent(importer);
    }
    DisposeHandle(bytes);
    return 0;
}
