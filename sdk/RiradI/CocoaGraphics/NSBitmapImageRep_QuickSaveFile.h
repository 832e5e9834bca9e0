// NSBitmapImageRep(QuickSaveFile): the snapshot writer. A picture is saved as the next free
// numbered file in the quick-save folder ("Lumora 0000.jpg", "Lumora 0001.jpg"...), as JPEG,
// PNG or TIFF, and stamped with a classic file type and creator code.
//
// The picture is a QImage (the object model's image type; the bitmap is written unchanged)
// and is encoded by Qt's image writers (the AppKit side of the object model): JPEG and PNG
// from Qt itself, TIFF from Qt's image-format plug-ins.
//
// Saving is safe from any thread. Every save runs on one serial save queue; the folder and
// the creator code are captured when the save is asked for, so re-pointing the folder
// meanwhile never changes a save already asked for. The name is claimed by exclusive creation
// (CoreNumberedFilename) and the content replaces the empty claimed file by an atomic rename:
// an existing file is never overwritten, and a failed save leaves no file behind.
//
// Stamping the type and creator is best effort: a file system that keeps no Finder
// information has nothing to stamp (success), and any other stamping failure is logged as a
// warning while the save still counts as done (the picture is on disk).
#pragma once

#include <QImage>
#include <QString>

#include <string>

#include <Carbon/Carbon.h>

enum QuikSaveImageType : int {
    QuikSaveImageType_JPEG = 0,
    QuikSaveImageType_PNG = 1,
    QuikSaveImageType_TIFF = 2,
};

namespace QuickSaveFile {

// ---- Process-wide settings (class messages) --------------------------------------------

// The quick-save folder's path; "" when no folder can be set up.
std::string quickSaveFolderUnixPath();
// Points the writer at an existing folder (symbolic links followed); false (reported) for a
// missing path or one that is not a folder, leaving the folder as it was.
bool setQuickSaveFolderUnixPath(const QString &path);
bool setQuickSaveFolderUnixPathUTF8(const char *path);
// A standard folder by selector (CoreNumberedFilename's kFolder... values; 0 is Pictures).
bool setQuikSaveLocation(int location);
int defaultQuikSaveLocation();
// Kept for callers; does nothing and answers false.
bool setGrabFolderSubDirectory(const QString &subDirectory);

// The image type used when a format names none (0, JPEG, at start).
void setQuikSaveImageType(int type);
int defaultQuikSaveImageType();

// The creator code stamped on new files ('prvw' at start).
void setQuikCreatorCode(OSType creator);
OSType defaultQuikCreatorCode();
void setQuikCreatorPreviewApp();    // 'prvw'
void setQuikCreatorQuickTimeApp();  // 'TVOD'
void setQuikCreatorPhotoshopApp();  // '8BIM'
void setQuikCreatoriPhotoApp();     // 'iPho'

// The extension ("jpg", "png", "tiff") and file type code ('JPEG', 'PNGf', 'TIFF') of a
// type; any other value is JPEG.
const char *extensionForQuikSaveImageType(int type);
OSType fileTypeForQuikSaveImageType(int type);

// ---- Saving a picture (instance messages) ----------------------------------------------

// The type comes from the format: containing ".jpg" JPEG, else ".png" PNG, else ".tif" TIFF,
// else the default type. Answers the written path, or a null string.
QString saveToNextNumberedFileName(const QImage &image, const char *format);
// Claims the next free name for the format and type and writes the picture into it. A
// recognised image extension at the end of the format (".jpg", ".jpeg", ".png", ".tif",
// ".tiff", any case) is dropped before numbering, so "Lumora %04d.png" gives
// "Lumora 0000.png". The format holds exactly one integer conversion. A null string when no
// name is free or the picture cannot be written (nothing is left on disk then).
QString saveToNextNumberedFileNameWithQuikSaveImageType(const QImage &image, const char *format, int type);

// Claims the next free name (an empty file now exists there) and answers its path; null
// when none is free. The claim is filled by saveToPictureFileName (or the saveAs messages)
// with that path, or given back with releaseNumberedFileName.
QString nextNumberedFileNameString(const char *format, int type);
bool releaseNumberedFileName(const QString &path);

// Writes the picture in the type's format (PNG for 1, TIFF for 2, JPEG otherwise) at a path
// this writer claimed, or at a path where nothing exists yet. An existing file (one this
// writer did not claim) is never replaced: false, reported.
bool saveToPictureFileName(const QImage &image, const QString &path, int type);
bool saveAsJPEG(const QImage &image, const QString &path);  // compression factor 0.75
// factor from 0 (smallest) to 1 (best); outside that range or NaN: false, reported.
bool saveAsJPEGWithCompressionFactor(const QImage &image, const QString &path, float factor);
bool saveAsPNG(const QImage &image, const QString &path);  // not interlaced
bool saveAsTIFF(const QImage &image, const QString &path);

// Sets the file's type to the type's code and its creator to the creator setting, keeping
// the rest of its Finder information; writes nothing when both already match. True when
// stamped, already right, or when the file system keeps no Finder information.
bool SetFileTypeCreatorCode(const char *path, int type);

// Test seam: replaces the stamping step (null restores it); answers the previous one.
using FileStamper = bool (*)(const char *path, OSType fileType, OSType creator);
FileStamper setFileStamperForTesting(FileStamper stamper);

}  // namespace QuickSaveFile

bool import_NSBitmapImageRep_QuickSaveFile();
