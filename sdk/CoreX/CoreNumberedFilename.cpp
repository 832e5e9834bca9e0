#include <CoreX/CoreNumberedFilename.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include <CoreX/CoreMachDebugLog.h>
#include <CoreX/LFSRefFunctions.h>

bool import_CoreNumberedFilename() { return import_CoreMachDebugLog() && import_LFSRefFunctions(); }

namespace {

// A printf format with exactly one conversion of an int (flags, width and precision
// allowed; no '*', no length modifier) and any number of "%%".
bool IsOneIntegerFormat(const char *format) {
    int conversions = 0;
    for (const char *p = format; *p != 0; ++p) {
        if (*p != '%') continue;
        ++p;
        if (*p == '%') continue;
        while (*p != 0 && std::strchr("-+ #0'", *p) != nullptr) ++p;
        while (*p >= '0' && *p <= '9') ++p;
        if (*p == '.') {
            ++p;
            while (*p >= '0' && *p <= '9') ++p;
        }
        if (*p == 0 || std::strchr("diouxX", *p) == nullptr) return false;
        ++conversions;
    }
    return conversions == 1;
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
// The name for one number; false when it does not fit.
bool FormatName(char (&name)[CoreNumberedFilename::kPathBufferSize], const char *nameFormat, int number) {
    const int written = std::snprintf(name, sizeof name, nameFormat, number);
    return written >= 0 && static_cast<std::size_t>(written) < sizeof name;
}
#pragma GCC diagnostic pop

bool WriteAll(int fd, const void *bytes, std::size_t length) {
    const char *next = static_cast<const char *>(bytes);
    while (length > 0) {
        const ssize_t written = ::write(fd, next, length);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        next += written;
        length -= static_cast<std::size_t>(written);
    }
    return true;
}

// A regular file (not a link) that holds nothing: a claimed name not written yet.
bool IsClaimedFile(const char *path, struct stat &info) {
    return ::lstat(path, &info) == 0 && S_ISREG(info.st_mode) && info.st_size == 0;
}

}  // namespace

CoreNumberedFilename::CoreNumberedFilename() {
    std::memset(&sUserDefaultFolder, 0, sizeof sUserDefaultFolder);
    std::memset(sUserDefaultFolderPath, 0, sizeof sUserDefaultFolderPath);
}

CoreNumberedFilename::CoreNumberedFilename(int inFolderEnum) : CoreNumberedFilename() {
    VERIFY(Construct(inFolderEnum));
}

OSType CoreNumberedFilename::LocationFromEnum(int inFolderEnum) {
    switch (inFolderEnum) {
    case kFolderPictures: return kPictureDocumentsFolderType;
    case kFolderDesktopPictures: return kDesktopPicturesFolderType;
    case kFolderDocuments: return kDocumentsFolderType;
    case kFolderMovies: return kMovieDocumentsFolderType;
    case kFolderDesktop:
    default: return kDesktopFolderType;
    }
}

bool CoreNumberedFilename::Construct(int inFolderEnum) {
    bool fOk;
    VERIFY(fOk = Construct(LocationFromEnum(inFolderEnum)));
    return fOk;
}

bool CoreNumberedFilename::Construct(OSType inFolderLocation) {
    sUserDefaultFolderPath[0] = 0;
    const short domain = kUserDomain;
    if (VERIFY_OSERR(FSFindFolder(domain, inFolderLocation, kDontCreateFolder, &sUserDefaultFolder)) != noErr) {
        std::memset(&sUserDefaultFolder, 0, sizeof sUserDefaultFolder);
        return false;
    }
    return FillFolderPath();
}

bool CoreNumberedFilename::Construct(const char *inFolderUnixPath) {
    sUserDefaultFolderPath[0] = 0;
    bool is_directory = false;
    if (!VERIFY(bool_FSRef_ConstructFromPath(sUserDefaultFolder, inFolderUnixPath, &is_directory))) return false;
    if (!VERIFY(is_directory)) {
        std::memset(&sUserDefaultFolder, 0, sizeof sUserDefaultFolder);
        return false;
    }
    return FillFolderPath();
}

bool CoreNumberedFilename::FillFolderPath() {
    sUserDefaultFolderPath[0] = 0;
    const FSRef &fileRef = sUserDefaultFolder;
    bool fOk;
    if (!VERIFY(bool_FSRef_IsValid(fileRef))) fOk = false;
    else fOk = bool_FSRef_GetUnixPath(sUserDefaultFolder, sUserDefaultFolderPath, sizeof sUserDefaultFolderPath);
    if (!VERIFY(fOk)) sUserDefaultFolderPath[0] = 0;
    return fOk;
}

bool CoreNumberedFilename::IsConstructed() const { return bool_FSRef_IsValid(sUserDefaultFolder); }

const char *CoreNumberedFilename::DefaultFolderPath() const {
    VERIFY(IsConstructed());
    return sUserDefaultFolderPath;
}

bool CoreNumberedFilename::FindFirstAvailableNamedPathNumber(char (&outPath)[kPathBufferSize], const char *nameFormat,
                                                             const char *extension, int &outNumber) const {
    std::memset(outPath, 0, sizeof outPath);
    outNumber = 0;
    if (!VERIFY(IsConstructed())) return false;
    if (!VERIFY(nameFormat && IsOneIntegerFormat(nameFormat))) return false;
    if (!VERIFY(extension && extension[0])) return false;
    if (!VERIFY(sUserDefaultFolderPath[0])) return false;

    for (int number = 0; number < int(kNumberCount); ++number) {
        char name[kPathBufferSize];
        char candidate[kPathBufferSize];
        bool fits = FormatName(name, nameFormat, number);
        if (fits) {
            const int written =
                std::snprintf(candidate, sizeof candidate, "%s/%s.%s", sUserDefaultFolderPath, name, extension);
            fits = written >= 0 && static_cast<std::size_t>(written) < sizeof candidate;
        }
        // A longer number never makes a shorter path: the search ends here.
        if (!VERIFY_TEXT(fits, " code : candidate_length<sizeof(candidate)")) return false;

        // Claim the name: only one creator can succeed, and an existing item (a file, a
        // folder, a symbolic link even when it dangles) is never opened.
        int fd;
        do {
            fd = ::open(candidate, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        } while (fd < 0 && errno == EINTR);
        if (fd >= 0) {
            ::close(fd);
            std::memcpy(outPath, candidate, sizeof candidate);
            outNumber = number;
            return true;
        }
        const int open_errno = errno;
        if (open_errno == EEXIST) continue;
        CoreMachDebugLog("CoreNumberedFilename: cannot create \"%s\": %s\n", candidate, std::strerror(open_errno));
        VERIFY(open_errno==EEXIST);
        return false;
    }
    CoreMachDebugLog("CoreNumberedFilename: all %d numbered names \"%s\" with extension \"%s\" are taken in \"%s\"\n",
                     int(kNumberCount), nameFormat, extension, sUserDefaultFolderPath);
    VERIFY_TEXT(false, " code : first_available_number<kNumberCount");
    return false;
}

bool CoreNumberedFilename::FindFirstAvailableNamedPath(char (&outPath)[kPathBufferSize], const char *nameFormat,
                                                       const char *extension) const {
    int number = 0;
    return FindFirstAvailableNamedPathNumber(outPath, nameFormat, extension, number);
}

bool CoreNumberedFilename::WriteClaimedPath(const char *claimedPath, const void *bytes, std::size_t length) {
    if (!VERIFY(claimedPath && (bytes || length==0))) return false;
    struct stat claimed;
    if (!VERIFY(IsClaimedFile(claimedPath, claimed))) return false;

    const std::string path = claimedPath;
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string temporary = folder + (slash == std::string::npos ? "/." : ".") + name + ".XXXXXX";

    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (!VERIFY(fd>=0)) return false;
    bool fOk = WriteAll(fd, bytes, length);
    fOk = fOk && ::fchmod(fd, claimed.st_mode & 07777) == 0;
    fOk = fOk && ::fsync(fd) == 0;
    fOk = (::close(fd) == 0) && fOk;
    // The claimed file must still be the one claimed: never replace anything else.
    struct stat now;
    fOk = fOk && IsClaimedFile(claimedPath, now) && now.st_dev == claimed.st_dev && now.st_ino == claimed.st_ino;
    fOk = fOk && ::rename(temporary.c_str(), claimedPath) == 0;
    if (!VERIFY(fOk)) {
        ::unlink(temporary.c_str());
        return false;
    }
    const int folder_fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder_fd >= 0) {
        ::fsync(folder_fd);
        ::close(folder_fd);
    }
    return true;
}

bool CoreNumberedFilename::ReleaseClaimedPath(const char *claimedPath) {
    struct stat claimed;
    if (claimedPath == nullptr || !IsClaimedFile(claimedPath, claimed)) return false;
    return ::unlink(claimedPath) == 0;
}
