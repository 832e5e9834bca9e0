// PDF documents and pages through poppler-glib, drawn as vectors by poppler's cairo renderer.
#include <CoreGraphics/CGInternal.h>
#include <CoreGraphics/CGPDFPage.h>

#include <poppler.h>

#include <climits>
#include <cmath>
#include <mutex>
#include <numbers>

namespace {

// poppler's documents are not safe to use from two threads at once; every call into
// poppler holds this lock.
std::mutex &PopplerLock() {
    static std::mutex lock;
    return lock;
}

}  // namespace

CFTypeID CGPDFPageGetTypeID(void) {
    static const CFTypeID type = cf::RegisterType("CGPDFPage");
    return type;
}

CFTypeID CGPDFDocumentGetTypeID(void) {
    static const CFTypeID type = cf::RegisterType("CGPDFDocument");
    return type;
}

struct CGPDFPage final : cf::Object {
    CGPDFPage(PopplerPage *page, size_t number) : cf::Object(CGPDFPageGetTypeID()), mPage(page), mNumber(number) {
        PopplerRectangle box;
        poppler_page_get_crop_box(page, &box);
        mCropBox = CGRectStandardize(CGRectMake(box.x1, box.y1, box.x2 - box.x1, box.y2 - box.y1));
    }
    ~CGPDFPage() override {
        std::lock_guard<std::mutex> guard(PopplerLock());
        g_object_unref(mPage);  // the page holds its own reference to the document
    }

    PopplerPage *const mPage;
    const size_t mNumber;
    CGRect mCropBox;
};

struct CGPDFDocument final : cf::Object {
    explicit CGPDFDocument(PopplerDocument *document)
        : cf::Object(CGPDFDocumentGetTypeID()), mDocument(document),
          mPages(size_t(std::max(0, poppler_document_get_n_pages(document))), nullptr) {}
    ~CGPDFDocument() override {
        for (CGPDFPageRef page : mPages) CGPDFPageRelease(page);
        std::lock_guard<std::mutex> guard(PopplerLock());
        g_object_unref(mDocument);
    }

    PopplerDocument *const mDocument;
    std::vector<CGPDFPageRef> mPages;  // made on first request
    std::mutex mPagesLock;
};

namespace {

void ReleaseProvider(gpointer provider) { CGDataProviderRelease(static_cast<CGDataProviderRef>(provider)); }

CGPDFDocumentRef Wrap(PopplerDocument *document, GError *error) {
    if (error) g_error_free(error);
    return document ? new CGPDFDocument(document) : nullptr;
}

}  // namespace

CGPDFDocumentRef CGPDFDocumentCreateWithURL(CFURLRef url) {
    if (!url) return nullptr;
    UInt8 path[PATH_MAX];
    if (!CFURLGetFileSystemRepresentation(url, true, path, sizeof path)) return nullptr;
    GError *error = nullptr;
    gchar *uri = g_filename_to_uri(reinterpret_cast<const char *>(path), nullptr, &error);
    if (!uri) return Wrap(nullptr, error);
    std::lock_guard<std::mutex> guard(PopplerLock());
    PopplerDocument *document = poppler_document_new_from_file(uri, nullptr, &error);
    g_free(uri);
    return Wrap(document, error);
}

CGPDFDocumentRef CGPDFDocumentCreateWithProvider(CGDataProviderRef provider) {
    if (!provider || provider->mSize == 0) return nullptr;
    // The bytes stay the provider's; poppler's reference keeps the provider alive.
    GBytes *bytes = g_bytes_new_with_free_func(provider->mData, provider->mSize, ReleaseProvider,
                                               CGDataProviderRetain(provider));
    GError *error = nullptr;
    CGPDFDocumentRef wrapped;
    {
        std::lock_guard<std::mutex> guard(PopplerLock());
        wrapped = Wrap(poppler_document_new_from_bytes(bytes, nullptr, &error), error);
    }
    g_bytes_unref(bytes);
    return wrapped;
}

CGPDFDocumentRef CGPDFDocumentRetain(CGPDFDocumentRef document) {
    if (document) CFRetain(document);
    return document;
}

void CGPDFDocumentRelease(CGPDFDocumentRef document) {
    if (document) CFRelease(document);
}

size_t CGPDFDocumentGetNumberOfPages(CGPDFDocumentRef document) { return document ? document->mPages.size() : 0; }

CGPDFPageRef CGPDFDocumentGetPage(CGPDFDocumentRef document, size_t pageNumber) {
    if (!document || pageNumber < 1 || pageNumber > document->mPages.size()) return nullptr;
    std::lock_guard<std::mutex> pagesGuard(document->mPagesLock);
    CGPDFPageRef &slot = document->mPages[pageNumber - 1];
    if (!slot) {
        std::lock_guard<std::mutex> guard(PopplerLock());
        PopplerPage *page = poppler_document_get_page(document->mDocument, int(pageNumber - 1));
        if (page) slot = new CGPDFPage(page, pageNumber);
    }
    return slot;
}

CGPDFPageRef CGPDFPageRetain(CGPDFPageRef page) {
    if (page) CFRetain(page);
    return page;
}

void CGPDFPageRelease(CGPDFPageRef page) {
    if (page) CFRelease(page);
}

size_t CGPDFPageGetPageNumber(CGPDFPageRef page) { return page ? page->mNumber : 0; }

CGRect CGPDFPageGetBoxRect(CGPDFPageRef page, CGPDFBox) { return page ? page->mCropBox : CGRectNull; }

CGAffineTransform CGPDFPageGetDrawingTransform(CGPDFPageRef page, CGPDFBox box, CGRect rect, int rotate,
                                               bool preserveAspectRatio) {
    if (!page) return CGAffineTransformIdentity;
    const CGRect b = CGPDFPageGetBoxRect(page, box);
    const CGRect r = CGRectStandardize(rect);
    int quarterTurns = rotate % 90 == 0 ? ((rotate / 90) % 4 + 4) % 4 : 0;
    // The box's centre to the origin, turned clockwise, scaled down to fit, onto rect's centre.
    CGAffineTransform t = CGAffineTransformMakeTranslation(-CGRectGetMidX(b), -CGRectGetMidY(b));
    t = CGAffineTransformConcat(t, CGAffineTransformMakeRotation(-quarterTurns * std::numbers::pi / 2));
    const bool sideways = quarterTurns % 2 == 1;
    const double w = sideways ? b.size.height : b.size.width, h = sideways ? b.size.width : b.size.height;
    double sx = w > r.size.width && w > 0 ? r.size.width / w : 1;
    double sy = h > r.size.height && h > 0 ? r.size.height / h : 1;
    if (preserveAspectRatio) sx = sy = std::min(sx, sy);
    t = CGAffineTransformConcat(t, CGAffineTransformMakeScale(sx, sy));
    t = CGAffineTransformConcat(t, CGAffineTransformMakeTranslation(CGRectGetMidX(r), CGRectGetMidY(r)));
    // Exact quarter turns: no sin/cos residue in the matrix.
    for (CGFloat *v : {&t.a, &t.b, &t.c, &t.d})
        if (std::fabs(*v) < 1e-12) *v = 0;
    return t;
}

void CGContextDrawPDFPage(CGContextRef c, CGPDFPageRef page) {
    if (!c || !page) return;
    const CGRect box = page->mCropBox;
    if (CGRectIsEmpty(box)) return;
    // poppler draws the crop box with its top-left corner at cairo's origin, y down.
    const CGAffineTransform pageToUser = {1, 0, 0, -1, box.origin.x, box.origin.y + box.size.height};
    const CGAffineTransform device = c->deviceTransform();
    const CGAffineTransform full = CGAffineTransformConcat(pageToUser, device);
    if (!cgimpl::Invertible(full)) return;
    const CGRect bounds = CGRectApplyAffineTransform(box, device);
    const double alpha = c->mState.alpha;
    c->draw(&bounds, [&](cairo_t *cr) {
        const cairo_matrix_t m = cgimpl::ToCairo(full);
        cairo_set_matrix(cr, &m);
        cairo_rectangle(cr, 0, 0, box.size.width, box.size.height);
        cairo_clip(cr);
        if (alpha < 1) cairo_push_group(cr);
        {
            std::lock_guard<std::mutex> guard(PopplerLock());
            poppler_page_render(page->mPage, cr);
        }
        if (alpha < 1) {
            cairo_pop_group_to_source(cr);
            cairo_paint_with_alpha(cr, alpha);
        }
    });
}
