// Data references. A file reference ('alis') holds our own record: the magic "LQDR" and
// the absolute path, UTF-8 and null-terminated. A URL reference ('url ') holds the URL as a
// null-terminated string; a handle reference ('hndl') holds the Handle of the data.
#include <QuickTime/Movies.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "QTInternal.h"

namespace lumora::qt {
namespace {

constexpr char kFileRecordMagic[4] = {'L', 'Q', 'D', 'R'};
constexpr size_t kMaximumPath = 65536;

OSErr NewFileReference(const std::string &path, Handle *outDataRef, OSType *outDataRefType) {
    if (path.empty() || path[0] != '/' || path.size() > kMaximumPath || path.find('\0') != std::string::npos)
        return paramErr;
    Handle h = NewHandle(Size(sizeof kFileRecordMagic + path.size() + 1));
    if (h == nullptr) return MemError();
    std::memcpy(*h, kFileRecordMagic, sizeof kFileRecordMagic);
    std::memcpy(*h + sizeof kFileRecordMagic, path.c_str(), path.size() + 1);
    *outDataRef = h;
    if (outDataRefType != nullptr) *outDataRefType = AliasDataHandlerSubType;
    return noErr;
}

bool StringOf(CFStringRef string, std::string &out) {
    if (string == nullptr) return false;
    const CFIndex length = CFStringGetLength(string);
    const CFIndex capacity = CFStringGetMaximumSizeForEncoding(length, kCFStringEncodingUTF8) + 1;
    if (capacity <= 0 || size_t(capacity) > kMaximumPath * 4) return false;
    std::string buffer(size_t(capacity), '\0');
    if (!CFStringGetCString(string, buffer.data(), capacity, kCFStringEncodingUTF8)) return false;
    buffer.resize(std::strlen(buffer.c_str()));
    out = buffer;
    return true;
}

// The bytes of a handle reference's data handle.
OSErr HandleOfReference(Handle dataRef, Handle &data) {
    if (GetHandleSize(dataRef) < Size(sizeof(Handle))) return invalidDataRef;
    std::memcpy(&data, *dataRef, sizeof(Handle));
    if (data == nullptr || *data == nullptr) return couldNotResolveDataRef;
    return noErr;
}

}  // namespace

OSErr PathFromDataReference(Handle dataRef, OSType dataRefType, std::string &path) {
    if (dataRef == nullptr || *dataRef == nullptr) return paramErr;
    const Size size = GetHandleSize(dataRef);
    if (MemError() != noErr) return paramErr;
    const char *bytes = *dataRef;
    if (dataRefType == AliasDataHandlerSubType) {
        if (size < Size(sizeof kFileRecordMagic) + 2 || std::memcmp(bytes, kFileRecordMagic, 4) != 0 ||
            bytes[size - 1] != '\0')
            return invalidDataRef;
        path.assign(bytes + 4);
        if (path.size() != size_t(size) - 5 || path[0] != '/') return invalidDataRef;
        return noErr;
    }
    if (dataRefType == URLDataHandlerSubType) {
        if (size < 1 || std::memchr(bytes, '\0', size_t(size)) == nullptr) return invalidDataRef;
        CFStringRef text = CFStringCreateWithCString(kCFAllocatorDefault, bytes, kCFStringEncodingUTF8);
        if (text == nullptr) return invalidDataRef;
        CFURLRef url = CFURLCreateWithString(kCFAllocatorDefault, text, nullptr);
        CFRelease(text);
        if (url == nullptr) return invalidDataRef;
        std::string buffer(kMaximumPath, '\0');
        const bool isFile = CFURLGetFileSystemRepresentation(url, true, reinterpret_cast<UInt8 *>(buffer.data()),
                                                             CFIndex(buffer.size()));
        CFRelease(url);
        if (!isFile) return couldNotResolveDataRef;
        path.assign(buffer.c_str());
        return noErr;
    }
    return dataRefType == HandleDataHandlerSubType ? couldNotResolveDataRef : invalidDataRef;
}

OSErr ReadDataReference(Handle dataRef, OSType dataRefType, int64_t limit, std::vector<uint8_t> &data) {
    data.clear();
    if (dataRefType == HandleDataHandlerSubType) {
        if (dataRef == nullptr || *dataRef == nullptr) return paramErr;
        Handle source = nullptr;
        const OSErr err = HandleOfReference(dataRef, source);
        if (err != noErr) return err;
        const Size size = GetHandleSize(source);
        if (MemError() != noErr) return couldNotResolveDataRef;
        if (size > limit) return memFullErr;
        data.assign(*source, *source + size);
        return noErr;
    }
    std::string path;
    const OSErr err = PathFromDataReference(dataRef, dataRefType, path);
    if (err != noErr) return err;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return couldNotResolveDataRef;
    struct stat info;
    OSErr result = noErr;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) result = couldNotResolveDataRef;
    else if (info.st_size > limit) result = memFullErr;
    else {
        data.resize(size_t(info.st_size));
        size_t done = 0;
        while (done < data.size()) {
            const ssize_t n = ::read(fd, data.data() + done, data.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += size_t(n);
        }
        data.resize(done);  // a file that shrank while read is taken as it is now
    }
    ::close(fd);
    if (result != noErr) data.clear();
    return result;
}

}  // namespace lumora::qt

using namespace lumora::qt;

OSErr QTNewDataReferenceFromFSRef(const FSRef *fileRef, UInt32, Handle *outDataRef, OSType *outDataRefType) {
    if (outDataRef == nullptr || fileRef == nullptr) return paramErr;
    *outDataRef = nullptr;
    std::string buffer(kMaximumPath, '\0');
    const OSStatus status = FSRefMakePath(fileRef, reinterpret_cast<UInt8 *>(buffer.data()), UInt32(buffer.size()));
    if (status != noErr) return OSErr(status);
    return NewFileReference(buffer.c_str(), outDataRef, outDataRefType);
}

OSErr QTNewDataReferenceFromFSRefCFString(const FSRef *directoryRef, CFStringRef fileName, UInt32,
                                          Handle *outDataRef, OSType *outDataRefType) {
    if (outDataRef == nullptr || directoryRef == nullptr) return paramErr;
    *outDataRef = nullptr;
    std::string name;
    if (!StringOf(fileName, name) || name.empty() || name == "." || name == ".." ||
        name.find('/') != std::string::npos)
        return paramErr;
    std::string buffer(kMaximumPath, '\0');
    const OSStatus status = FSRefMakePath(directoryRef, reinterpret_cast<UInt8 *>(buffer.data()), UInt32(buffer.size()));
    if (status != noErr) return OSErr(status);
    std::string folder = buffer.c_str();
    struct stat info;
    if (::stat(folder.c_str(), &info) != 0) return fnfErr;
    if (!S_ISDIR(info.st_mode)) return dirNFErr;
    if (folder.back() != '/') folder += '/';
    return NewFileReference(folder + name, outDataRef, outDataRefType);
}

OSErr QTNewDataReferenceFromFullPathCFString(CFStringRef filePath, UInt32 pathStyle, UInt32,
                                             Handle *outDataRef, OSType *outDataRefType) {
    if (outDataRef == nullptr) return paramErr;
    *outDataRef = nullptr;
    std::string path;
    if (pathStyle != kQTPOSIXPathStyle || !StringOf(filePath, path)) return paramErr;
    return NewFileReference(path, outDataRef, outDataRefType);
}

OSErr QTNewDataReferenceFromCFURL(CFURLRef url, UInt32, Handle *outDataRef, OSType *outDataRefType) {
    if (outDataRef == nullptr) return paramErr;
    *outDataRef = nullptr;
    std::string text;
    if (url == nullptr || !StringOf(CFURLGetString(url), text) || text.empty()) return paramErr;
    Handle h = nullptr;
    const OSErr err = PtrToHand(text.c_str(), &h, long(text.size() + 1));
    if (err != noErr) return err;
    *outDataRef = h;
    if (outDataRefType != nullptr) *outDataRefType = URLDataHandlerSubType;
    return noErr;
}
