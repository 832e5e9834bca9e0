#include <CocoaGraphics/NSBitmapImageRep_QuickSaveFile.h>

#include <QBuffer>
#include <QByteArray>
#include <QImageWriter>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include <CoreX/CoreMachDebugLog.h>
#include <CoreX/CoreNumberedFilename.h>
#include <CoreX/LFSRefFunctions.h>
#include <dispatch/dispatch.h>

bool import_NSBitmapImageRep_QuickSaveFile() {
    return import_CoreMachDebugLog() && import_CoreNumberedFilename() && import_LFSRefFunctions();
}

namespace QuickSaveFile {
namespace {

constexpr OSType kCreatorPreview = MakeFourCharCode("prvw");
constexpr OSType kCreatorQuickTime = MakeFourCharCode("TVOD");
constexpr OSType kCreatorPhotoshop = MakeFourCharCode("8BIM");
constexpr OSType kCreatoriPhoto = MakeFourCharCode("iPho");
constexpr float kDefaultJPEGCompressionFactor = 0.75f;

// The process-wide settings. The folder is kept as a path: every save builds its own finder
// from the path it captured, so no save reads a finder that another thread re-points.
struct Settings {
    std::mutex lock;
    std::string folder;  // "" until set up
    int location = CoreNumberedFilename::kFolderPictures;
    int type = QuikSaveImageType_JPEG;
    OSType creator = kCreatorPreview;
};

Settings &TheSettings() {
    static Settings settings;
    return settings;
}

// The one serial queue every save runs on, and the names claimed on it and not yet written.
dispatch_queue_t SaveQueue() {
    static const dispatch_queue_t queue = dispatch_queue_create("QuickSaveFile", DISPATCH_QUEUE_SERIAL);
    return queue;
}

std::mutex sClaimedLock;
std::set<std::string> &ClaimedPaths() {
    static std::set<std::string> claimed;
    return claimed;
}

bool IsFolder(const std::string &path) {
    struct stat info;
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Run before every use of the folder, with the settings locked: keeps a folder that still
// exists, else sets one up from the location.
bool ClassInitialize(Settings &settings) {
    if (IsFolder(settings.folder)) return true;
    CoreNumberedFilename sNumberedFilename;
    const int sDefaultLocation = settings.location;
    bool fOk;
    VERIFY(fOk=sNumberedFilename.Construct(sDefaultLocation));
    settings.folder = fOk ? sNumberedFilename.DefaultFolderPath() : "";
    return fOk;
}

struct SaveRequest {
    std::string folder;
    OSType creator;
};

SaveRequest CaptureRequest() {
    Settings &settings = TheSettings();
    std::lock_guard<std::mutex> hold(settings.lock);
    SaveRequest request;
    request.folder = ClassInitialize(settings) ? settings.folder : std::string();
    request.creator = settings.creator;
    return request;
}

bool EndsWithNoCase(const std::string &text, const char *suffix) {
    const std::size_t length = std::strlen(suffix);
    if (text.size() < length) return false;
    for (std::size_t i = 0; i < length; ++i)
        if (std::tolower(static_cast<unsigned char>(text[text.size() - length + i])) != suffix[i]) return false;
    return true;
}

// The format without a recognised image extension at its end: the finder adds the type's.
std::string NameFormatWithoutExtension(const char *format) {
    std::string name = format;
    for (const char *extension : {".jpg", ".jpeg", ".png", ".tif", ".tiff"}) {
        if (EndsWithNoCase(name, extension)) {
            name.resize(name.size() - std::strlen(extension));
            break;
        }
    }
    return name;
}

std::string ClaimNextName(const std::string &folder, const char *inNameFormatString, int type) {
    if (folder.empty() || inNameFormatString == nullptr) return {};
    CoreNumberedFilename sNumberedFilename;
    if (!VERIFY(sNumberedFilename.Construct(folder.c_str()))) return {};
    const std::string nameFormat = NameFormatWithoutExtension(inNameFormatString);
    const char *fileExtension = extensionForQuikSaveImageType(type);
    char firstUnixPathAvailable[CoreNumberedFilename::kPathBufferSize];
    if (!VERIFY(sNumberedFilename.FindFirstAvailableNamedPath(firstUnixPathAvailable, nameFormat.c_str(), fileExtension)))
        return {};
    std::lock_guard<std::mutex> hold(sClaimedLock);
    ClaimedPaths().insert(firstUnixPathAvailable);
    return firstUnixPathAvailable;
}

bool ForgetClaim(const std::string &path) {
    std::lock_guard<std::mutex> hold(sClaimedLock);
    return ClaimedPaths().erase(path) != 0;
}

bool ReleaseClaim(const std::string &path) {
    if (!ForgetClaim(path)) return false;
    return CoreNumberedFilename::ReleaseClaimedPath(path.c_str());
}

QByteArray Encode(const QImage &image, const char *format, int quality) {
    QByteArray bytes;
    if (image.isNull()) return bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly)) return {};
    QImageWriter writer(&buffer, format);
    if (quality >= 0) writer.setQuality(quality);
    if (!writer.write(image)) {
        CoreMachDebugLog("QuickSaveFile: the %s writer failed: %s", format, writer.errorString().toUtf8().constData());
        return {};
    }
    return bytes;
}

// Writes the bytes at a path this writer claimed, or claims the path first when nothing is
// there. Never replaces an existing file; leaves nothing behind on failure.
bool WriteNewFile(const std::string &path, const QByteArray &bytes) {
    bool claimedHere = false;
    {
        std::lock_guard<std::mutex> hold(sClaimedLock);
        claimedHere = ClaimedPaths().count(path) == 0;
    }
    if (claimedHere) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (!VERIFY_TEXT(fd >= 0, " code : the file does not exist yet")) return false;
        ::close(fd);
        std::lock_guard<std::mutex> hold(sClaimedLock);
        ClaimedPaths().insert(path);
    }
    if (CoreNumberedFilename::WriteClaimedPath(path.c_str(), bytes.constData(), static_cast<std::size_t>(bytes.size()))) {
        ForgetClaim(path);
        return true;
    }
    if (claimedHere) ReleaseClaim(path);
    return false;
}

// Reads the Finder information, writes it back with the new codes when they differ. A file
// system without Finder information counts as stamped.
bool FSRef_SetFileTypeCreator(const FSRef &fileRef, OSType filetype, OSType creator) {
    FSCatalogInfo info;
    std::memset(&info, 0, sizeof info);
    OSErr status = FSGetCatalogInfo(&fileRef, kFSCatInfoFinderInfo, &info, nullptr, nullptr, nullptr);
    if (status == errFSOperationNotSupported) return true;
    if (status != noErr) return false;
    FileInfo finder;
    std::memcpy(&finder, info.finderInfo, sizeof finder);
    if (finder.fileType == filetype && finder.fileCreator == creator) return true;
    finder.fileType = filetype;
    finder.fileCreator = creator;
    std::memcpy(info.finderInfo, &finder, sizeof finder);
    status = FSSetCatalogInfo(&fileRef, kFSCatInfoFinderInfo, &info);
    return status == noErr || status == errFSOperationNotSupported;
}

bool StampFile(const char *in_pathname, OSType filetype, OSType creator) {
    FSRef fileRef;
    if (!VERIFY(bool_FSRef_ConstructFromPath(fileRef, in_pathname))) return false;
    bool result;
    VERIFY(result = FSRef_SetFileTypeCreator(fileRef, filetype, creator ));
    return result;
}

std::atomic<FileStamper> sStamper{nullptr};

// Encodes, writes atomically, then stamps (best effort).
bool SavePicture(const QImage &image, const std::string &inOutputFileName, int type, float factor, OSType creator) {
    QByteArray imageData;
    switch (type) {
    case QuikSaveImageType_PNG: imageData = Encode(image, "png", -1); break;
    case QuikSaveImageType_TIFF: imageData = Encode(image, "tiff", -1); break;
    default:
        if (!VERIFY_TEXT(factor >= 0.0f && factor <= 1.0f, " code : 0 <= compressionFactor <= 1")) return false;
        imageData = Encode(image, "jpeg", static_cast<int>(std::lround(factor * 100.0f)));
        break;
    }
    if (!VERIFY(!imageData.isEmpty())) return false;
    if (!VERIFY(WriteNewFile(inOutputFileName, imageData))) return false;
    const FileStamper stamper = sStamper.load();
    const OSType filetype = fileTypeForQuikSaveImageType(type);
    const bool stamped = stamper != nullptr ? stamper(inOutputFileName.c_str(), filetype, creator)
                                            : StampFile(inOutputFileName.c_str(), filetype, creator);
    if (!stamped)
        CoreMachDebugLog("QuickSaveFile: %s was saved, but its file type and creator could not be set",
                         inOutputFileName.c_str());
    return true;
}

std::string Utf8(const QString &text) { return text.isNull() ? std::string() : text.toUtf8().toStdString(); }

// Runs one save on the save queue with the creator captured now.
bool SaveOnQueue(const QImage &image, const QString &path, int type, float factor) {
    const std::string target = Utf8(path);
    if (!VERIFY(!target.empty())) return false;
    const SaveRequest request = CaptureRequest();
    bool result = false;
    dispatch_sync(SaveQueue(), [&] { result = SavePicture(image, target, type, factor, request.creator); });
    return result;
}

}  // namespace

// ---- settings --------------------------------------------------------------------------

std::string quickSaveFolderUnixPath() {
    Settings &settings = TheSettings();
    std::lock_guard<std::mutex> hold(settings.lock);
    if (!VERIFY(ClassInitialize(settings))) return {};
    return settings.folder;
}

bool setQuickSaveFolderUnixPathUTF8(const char *quickSaveFolderUnixPath) {
    if (!VERIFY(quickSaveFolderUnixPath != nullptr)) return false;
    CoreNumberedFilename sNumberedFilename;
    if (!VERIFY(sNumberedFilename.Construct(quickSaveFolderUnixPath))) return false;
    Settings &settings = TheSettings();
    std::lock_guard<std::mutex> hold(settings.lock);
    settings.folder = sNumberedFilename.DefaultFolderPath();
    return true;
}

bool setQuickSaveFolderUnixPath(const QString &path) {
    const std::string utf8_unix_path = Utf8(path);
    if (!VERIFY(!utf8_unix_path.empty())) return false;
    return setQuickSaveFolderUnixPathUTF8(utf8_unix_path.c_str());
}

bool setQuikSaveLocation(int location) {
    CoreNumberedFilename sNumberedFilename;
    const int sDefaultLocation = location;
    const bool fOk = VERIFY(sNumberedFilename.Construct(sDefaultLocation));
    Settings &settings = TheSettings();
    std::lock_guard<std::mutex> hold(settings.lock);
    settings.location = location;
    if (fOk) settings.folder = sNumberedFilename.DefaultFolderPath();
    return fOk;
}

int defaultQuikSaveLocation() {
    Settings &settings = TheSettings();
    std::lock_guard<std::mutex> hold(settings.lock);
    return settings.location;
}

bool setGrabFolderSubDirectory(const QString &) { return false; }

void setQuikSaveImageType(int type) {
    Settings &settings = TheSettings();
    std::lock_guard<std::mutex> hold(settings.lock);
    settings.type = type;
}

int defaultQuikSaveImageType() {
    Settings &settings = TheSettings();
    std::lock_guard<std::mutex> hold(settings.lock);
    return settings.type;
}

void setQuikCreatorCode(OSType creator) {
    Settings &settings = TheSettings();
    std::lock_guard<std::mutex> hold(settings.lock);
    settings.creator = creator;
}

OSType defaultQuikCreatorCode() {
    Settings &settings = TheSettings();
    std::lock_guard<std::mutex> hold(settings.lock);
    return settings.creator;
}

void setQuikCreatorPreviewApp() { setQuikCreatorCode(kCreatorPreview); }
void setQuikCreatorQuickTimeApp() { setQuikCreatorCode(kCreatorQuickTime); }
void setQuikCreatorPhotoshopApp() { setQuikCreatorCode(kCreatorPhotoshop); }
void setQuikCreatoriPhotoApp() { setQuikCreatorCode(kCreatoriPhoto); }

const char *extensionForQuikSaveImageType(int type) {
    switch (type) {
    case QuikSaveImageType_PNG: return "png";
    case QuikSaveImageType_TIFF: return "tiff";
    default: return "jpg";
    }
}

OSType fileTypeForQuikSaveImageType(int type) {
    switch (type) {
    case QuikSaveImageType_PNG: return MakeFourCharCode("PNGf");
    case QuikSaveImageType_TIFF: return MakeFourCharCode("TIFF");
    default: return MakeFourCharCode("JPEG");
    }
}

// ---- saving ----------------------------------------------------------------------------

QString saveToNextNumberedFileName(const QImage &image, const char *format) {
    if (!VERIFY(format != nullptr)) return {};
    int type = defaultQuikSaveImageType();
    if (std::strstr(format, ".jpg") != nullptr) type = QuikSaveImageType_JPEG;
    else if (std::strstr(format, ".png") != nullptr) type = QuikSaveImageType_PNG;
    else if (std::strstr(format, ".tif") != nullptr) type = QuikSaveImageType_TIFF;
    return saveToNextNumberedFileNameWithQuikSaveImageType(image, format, type);
}

QString saveToNextNumberedFileNameWithQuikSaveImageType(const QImage &image, const char *format, int type) {
    if (!VERIFY(format != nullptr)) return {};
    const SaveRequest request = CaptureRequest();
    if (!VERIFY(!request.folder.empty())) return {};
    std::string written;
    dispatch_sync(SaveQueue(), [&] {
        const std::string claimed = ClaimNextName(request.folder, format, type);
        if (claimed.empty()) return;
        bool result;
        VERIFY(result=SavePicture(image, claimed, type, kDefaultJPEGCompressionFactor, request.creator));
        if (result) written = claimed;
        else ReleaseClaim(claimed);
    });
    return written.empty() ? QString() : QString::fromUtf8(written.data(), static_cast<qsizetype>(written.size()));
}

QString nextNumberedFileNameString(const char *format, int type) {
    const SaveRequest request = CaptureRequest();
    if (!VERIFY(!request.folder.empty())) return {};
    std::string claimed;
    dispatch_sync(SaveQueue(), [&] { claimed = ClaimNextName(request.folder, format, type); });
    return claimed.empty() ? QString() : QString::fromUtf8(claimed.data(), static_cast<qsizetype>(claimed.size()));
}

bool releaseNumberedFileName(const QString &path) {
    const std::string claimed = Utf8(path);
    bool released = false;
    dispatch_sync(SaveQueue(), [&] { released = ReleaseClaim(claimed); });
    return released;
}

bool saveToPictureFileName(const QImage &image, const QString &path, int type) {
    return SaveOnQueue(image, path, type, kDefaultJPEGCompressionFactor);
}

bool saveAsJPEG(const QImage &image, const QString &path) {
    return SaveOnQueue(image, path, QuikSaveImageType_JPEG, kDefaultJPEGCompressionFactor);
}

bool saveAsJPEGWithCompressionFactor(const QImage &image, const QString &path, float factor) {
    return SaveOnQueue(image, path, QuikSaveImageType_JPEG, factor);
}

bool saveAsPNG(const QImage &image, const QString &path) {
    return SaveOnQueue(image, path, QuikSaveImageType_PNG, kDefaultJPEGCompressionFactor);
}

bool saveAsTIFF(const QImage &image, const QString &path) {
    return SaveOnQueue(image, path, QuikSaveImageType_TIFF, kDefaultJPEGCompressionFactor);
}

bool SetFileTypeCreatorCode(const char *in_pathname, int type) {
    if (!VERIFY(in_pathname != nullptr)) return false;
    return StampFile(in_pathname, fileTypeForQuikSaveImageType(type), defaultQuikCreatorCode());
}

FileStamper setFileStamperForTesting(FileStamper stamper) { return sStamper.exchange(stamper); }

}  // namespace QuickSaveFile
