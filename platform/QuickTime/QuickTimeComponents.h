// Graphics importers: PNG, JPEG and TIFF files (over libpng, libjpeg-turbo and libtiff),
// from a data reference or from data in memory, drawn scaled into an offscreen world.
//
// The picture is decoded to 8-bit RGBA when it is drawn, scaled (bilinear) to the rect the
// importer's matrix maps its natural bounds to, clipped to the world and converted to the
// world's pixel format. Alpha is copied into worlds that have it; nothing is blended.
// Pictures are limited to 32767 x 32767 pixels and 1 GiB of decoded pixels; the data
// read from a file to 1 GiB.
#pragma once

#include <QuickTime/Components.h>
#include <QuickTime/ImageCompression.h>
#include <QuickTime/SequenceGrabber.h>

// The layer's calls have C linkage, as the framework's exported entry points do.
extern "C" {

typedef ComponentInstance GraphicsImportComponent;

enum : OSType {
    GraphicsImporterComponentType = MakeFourCharCode("grip"),
    kGraphicsImporterComponentType = GraphicsImporterComponentType,
    kQTFileTypePNG = MakeFourCharCode("PNGf"),
    kQTFileTypeJPEG = MakeFourCharCode("JPEG"),
    kQTFileTypeTIFF = MakeFourCharCode("TIFF"),
};

enum : OSErr {
    cantFindHandler = -2003,  // no importer understands the data
};

// An importer for the data the reference names ('alis' from QTNewDataReferenceFromFSRef
// and its kin, 'url ' with a file URL, 'hndl' with a data handle), chosen by the data's
// content. The data is read at once. cantFindHandler for data of another kind;
// couldNotResolveDataRef (Movies.h) for a reference that names nothing readable.
OSErr GetGraphicsImporterForDataRef(Handle dataRef, OSType dataRefType, ComponentInstance *gi);

// Gives the importer a copy of the handle's bytes as its data.
ComponentResult GraphicsImportSetDataHandle(GraphicsImportComponent ci, Handle h);
// (0, 0, height, width) of the picture; codecBadDataErr when its header cannot be read.
ComponentResult GraphicsImportGetNaturalBounds(GraphicsImportComponent ci, Rect *naturalBounds);
// A new description of the picture (the caller disposes it): cType 'png ', 'jpeg' or
// 'tiff'; depth 32 (alpha), 24 (colour) or 40 (grey); dataSize the data's size. PNG and
// TIFF pictures also carry a 'cspc' extension naming their samples: k32ARGBPixelFormat
// (8-bit with alpha), k24RGBPixelFormat, k8IndexedGrayPixelFormat, or for 16-bit samples
// 'b64a', 'b48r', 'b32a' (grey and alpha), 'b16g'.
ComponentResult GraphicsImportGetImageDescription(GraphicsImportComponent ci, ImageDescriptionHandle *desc);
// The world to draw into; a null port means the current world (GetGWorld) at this call.
ComponentResult GraphicsImportSetGWorld(GraphicsImportComponent ci, CGrafPtr port, GDHandle gd);
ComponentResult GraphicsImportGetGWorld(GraphicsImportComponent ci, CGrafPtr *port, GDHandle *gd);
// The matrix (null: identity). Only scaling and translation are drawn: GraphicsImportDraw
// answers paramErr for a matrix that rotates, skews, flips or has perspective.
ComponentResult GraphicsImportSetMatrix(GraphicsImportComponent ci, const MatrixRecord *matrix);
ComponentResult GraphicsImportGetMatrix(GraphicsImportComponent ci, MatrixRecord *matrix);
// Sets the matrix that maps the natural bounds onto the rect.
ComponentResult GraphicsImportSetBoundsRect(GraphicsImportComponent ci, const Rect *bounds);
// The rect the natural bounds map to.
ComponentResult GraphicsImportGetBoundsRect(GraphicsImportComponent ci, Rect *bounds);
// Decodes and draws. paramErr without data or a live world; codecBadDataErr for data
// that does not decode (nothing is drawn then); memFullErr for a picture over the limits.
ComponentResult GraphicsImportDraw(GraphicsImportComponent ci);

}  // extern "C"
