// CoreNumberedFilename: one folder (a standard user folder, or any folder given by path) and
// the first free numbered file name in it ("Lumora 0000.jpg", "Lumora 0001.jpg"...).
//
// The search claims the name it answers: it creates the file exclusively (O_CREAT|O_EXCL),
// empty, so two searches (in this process or another) never answer the same name and a
// later save never replaces an earlier one. The caller then writes its content into the
// claimed file with WriteClaimedPath (a temporary file in the same folder renamed over the
// claimed one, so the name never shows a half-written file), or gives the name back with
// ReleaseClaimedPath when it has nothing to write. A writer that must open the path itself
// (a movie recorder) may simply overwrite the claimed empty file.
//
// Nothing throws; failed checks are reported through the debug log and answered as false.
#pragma once

#include <cstddef>

#include <Carbon/Carbon.h>

class CoreNumberedFilename {
public:
    enum : std::size_t {
        kPathBufferSize = 1024,  // the folder path and every candidate, with the terminator
        kNumberCount = 1000,     // numbers 0 to 999
    };

    // Folder selectors (stored by callers and in settings: the values are fixed). Any value
    // not listed means the desktop.
    enum : int {
        kFolderPictures = 0,
        kFolderDesktop = 1,
        kFolderDesktopPictures = 2,
        kFolderDocuments = 3,
        kFolderMovies = 4,
    };

    CoreNumberedFilename();
    explicit CoreNumberedFilename(int inFolderEnum);
    ~CoreNumberedFilename() = default;

    static OSType LocationFromEnum(int inFolderEnum);

    // The user-domain folder of a selector or of a folder type; it is not created.
    bool Construct(int inFolderEnum);
    bool Construct(OSType inFolderLocation);
    // An existing folder (symbolic links followed).
    bool Construct(const char *inFolderUnixPath);

    // The folder still exists.
    bool IsConstructed() const;
    // The folder's path ("" when there is none; reported when the folder is gone).
    const char *DefaultFolderPath() const;

    // Claims the first free name "<folder>/<nameFormat filled with n>.<extension>", n from 0
    // to 999, and answers its path and number. nameFormat holds exactly one conversion of
    // an int (d, i, o, u, x or X, with flags, width and precision; "%%" is allowed);
    // extension is given without its dot. False (outPath "" and outNumber 0) when the folder
    // is gone, the format is not of that form, a candidate does not fit in kPathBufferSize
    // bytes (refused, never cut), the folder refuses the new file, or all 1000 names are
    // taken.
    bool FindFirstAvailableNamedPathNumber(char (&outPath)[kPathBufferSize], const char *nameFormat,
                                           const char *extension, int &outNumber) const;
    bool FindFirstAvailableNamedPath(char (&outPath)[kPathBufferSize], const char *nameFormat,
                                     const char *extension) const;

    // Replaces the claimed (still empty) file by `length` bytes: they are written to a new
    // file in the same folder, synced, and renamed over the claimed one, which keeps its
    // permissions. Refuses a path that is not an empty regular file. On failure the claimed
    // file stays as it was.
    static bool WriteClaimedPath(const char *claimedPath, const void *bytes, std::size_t length);
    // Gives a claimed name back: removes the file when it is still an empty regular file.
    static bool ReleaseClaimedPath(const char *claimedPath);

    FSRef sUserDefaultFolder;
    char sUserDefaultFolderPath[kPathBufferSize];

private:
    bool FillFolderPath();
};

bool import_CoreNumberedFilename();
