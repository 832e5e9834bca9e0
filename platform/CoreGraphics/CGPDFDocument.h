// PDF documents, read with poppler. Pages are drawn as vectors by CGContextDrawPDFPage.
#pragma once

#include <CoreFoundation/CFURL.h>
#include <CoreGraphics/CGDataProvider.h>

typedef struct CGPDFDocument *CGPDFDocumentRef;
typedef struct CGPDFPage *CGPDFPageRef;

CFTypeID CGPDFDocumentGetTypeID(void);

// Null when the file cannot be read or is not a PDF document (encrypted documents with a
// user password included).
CGPDFDocumentRef CGPDFDocumentCreateWithURL(CFURLRef url);
// Reads the provider's bytes in place (the document keeps the provider).
CGPDFDocumentRef CGPDFDocumentCreateWithProvider(CGDataProviderRef provider);

CGPDFDocumentRef CGPDFDocumentRetain(CGPDFDocumentRef document);
void CGPDFDocumentRelease(CGPDFDocumentRef document);

size_t CGPDFDocumentGetNumberOfPages(CGPDFDocumentRef document);
// Page numbers start at 1; null outside 1..count. The page belongs to the document (retain
// it to keep it longer).
CGPDFPageRef CGPDFDocumentGetPage(CGPDFDocumentRef document, size_t pageNumber);
