// Pictures from outside data (a file, a dropped or linked picture, an application resource):
// every format Qt's image readers know, and PDF documents, whose first page is drawn into a
// bitmap. An image that comes out has a bitmap of its size, at most the PDF limit a side when
// it came from a PDF.
#include "FuzzSupport.h"

#include <AppKit/NSImage.h>

#include <QByteArray>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const auto image = NSImage::imageWithData(bytes);
    if (image) {
        LUMORA_CHECK(!image->representations().empty());
        const auto &rep = image->representations().front();
        LUMORA_CHECK(rep->pixelsWide() >= 1 && rep->pixelsHigh() >= 1);
        LUMORA_CHECK(rep->bitmapData() != nullptr);
    }
    return 0;
}
