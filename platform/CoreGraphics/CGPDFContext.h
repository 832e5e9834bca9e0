// PDF contexts: a drawing context that writes a PDF file page by page (cairo's PDF surface).
// Drawing is kept as vectors; images are embedded. User space is the page's: points, origin
// at the media box's bottom-left corner, y up.
//
// Drawing is recorded only between CGPDFContextBeginPage and CGPDFContextEndPage; each page
// starts with a fresh graphics state. Beginning a page while one is open ends that one first.
// The file is complete when the context is closed (CGPDFContextClose) or its last reference
// goes; a context that was never given a page writes one empty page.
#pragma once

#include <CoreFoundation/CFDictionary.h>
#include <CoreFoundation/CFURL.h>
#include <CoreGraphics/CGContext.h>

// Keys of the auxiliary information: the document's title, author, creator and subject
// (strings).
extern const CFStringRef kCGPDFContextTitle;
extern const CFStringRef kCGPDFContextAuthor;
extern const CFStringRef kCGPDFContextCreator;
extern const CFStringRef kCGPDFContextSubject;

// A context writing the file of the URL. The media box defaults to 612 x 792 points (US
// letter); its size is the size of every page. Null for a URL that is not a file path, a
// media box that is empty, not finite or larger than 14400 points on a side, or a file that
// cannot be written.
CGContextRef CGPDFContextCreateWithURL(CFURLRef url, const CGRect *mediaBox, CFDictionaryRef auxiliaryInfo);
// The page information is accepted and not read: every page has the context's media box.
void CGPDFContextBeginPage(CGContextRef c, CFDictionaryRef pageInfo);
void CGPDFContextEndPage(CGContextRef c);
// Ends an open page and completes the file; later drawing and pages are dropped.
void CGPDFContextClose(CGContextRef c);
