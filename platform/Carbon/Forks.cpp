// Open forks: a process-wide table from reference numbers to open forks. A data fork is the
// file, read and written at the fork's own mark (pread / pwrite); a resource fork is the
// file's resource-fork attribute, read when the fork is opened and written through on every
// change. Descriptors never leave this file. A fork in use by one thread while another
// thread closes it stays open until that call returns (the table entry is shared), so a
// descriptor number is never used after it was closed and possibly reused.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "FileRefs.h"

namespace lumora::carbon {

namespace {

// Linux takes at most this many bytes in one extended attribute.
constexpr SInt64 kMaximumResourceFork = 65536;

const UniChar kResourceForkName[] = {'R', 'E', 'S', 'O', 'U', 'R', 'C', 'E', '_', 'F', 'O', 'R', 'K'};
constexpr UniCharCount kResourceForkNameLength = sizeof kResourceForkName / sizeof kResourceForkName[0];

struct OpenFork {
    OpenFork(int descriptor, bool resource, bool readable, bool writable)
        : fd(descriptor), isResource(resource), canRead(readable), canWrite(writable) {}
    ~OpenFork() { ::close(fd); }
    OpenFork(const OpenFork &) = delete;
    OpenFork &operator=(const OpenFork &) = delete;

    const int fd;  // the file (for a resource fork: the file its attribute belongs to)
    const bool isResource;
    const bool canRead;
    const bool canWrite;
    UInt64 device = 0;
    UInt64 inode = 0;
    std::mutex mutex;           // guards the mark and the content
    SInt64 mark = 0;
    std::vector<UInt8> content;  // a resource fork's bytes
};

class ForkTable {
public:
    static ForkTable &Shared() {
        static ForkTable *table = new ForkTable;  // never destroyed: forks may be closed during exit
        return *table;
    }

    // The number of a newly opened fork; 0 when every number is taken.
    FSIORefNum add(std::shared_ptr<OpenFork> fork) {
        std::lock_guard<std::mutex> lock(mMutex);
        if (mForks.size() >= size_t(kLastRefNum)) return 0;
        // Numbers are taken in turn, so a number just closed is not given out again at once.
        while (mForks.count(mNext) != 0) mNext = mNext == kLastRefNum ? 1 : FSIORefNum(mNext + 1);
        const FSIORefNum refNum = mNext;
        mNext = mNext == kLastRefNum ? 1 : FSIORefNum(mNext + 1);
        mForks.emplace(refNum, std::move(fork));
        return refNum;
    }

    std::shared_ptr<OpenFork> find(FSIORefNum refNum) {
        std::lock_guard<std::mutex> lock(mMutex);
        auto found = mForks.find(refNum);
        return found == mForks.end() ? nullptr : found->second;
    }

    std::shared_ptr<OpenFork> remove(FSIORefNum refNum) {
        std::lock_guard<std::mutex> lock(mMutex);
        auto found = mForks.find(refNum);
        if (found == mForks.end()) return nullptr;
        std::shared_ptr<OpenFork> fork = std::move(found->second);
        mForks.erase(found);
        return fork;
    }

private:
    static constexpr FSIORefNum kLastRefNum = 32767;
    std::mutex mMutex;
    std::map<FSIORefNum, std::shared_ptr<OpenFork>> mForks;
    FSIORefNum mNext = 1;
};

int OpenFile(const std::string &path, int access) {
    int fd;
    // Non-blocking, so that opening a FIFO put in the file's place cannot hang.
    do fd = ::open(path.c_str(), access | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    while (fd < 0 && errno == EINTR);
    return fd;
}

// The access a permission asks for; false for an unknown permission.
bool AccessOf(SInt8 permission, bool &read, bool &write) {
    switch (permission) {
    case fsCurPerm:
    case fsRdWrPerm:
    case fsRdWrShPerm: read = write = true; return true;
    case fsRdPerm: read = true, write = false; return true;
    case fsWrPerm: read = false, write = true; return true;
    default: return false;
    }
}

// Opens a plain file; a FIFO or device put in its place is refused before it can block.
OSErr OpenPlainFile(const std::string &path, int access, int &fd, struct stat &info) {
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) return notAFileErr;
    fd = OpenFile(path, access);
    if (fd < 0) return StatusFromErrno(errno);
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        return StatusFromErrno(error);
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        return notAFileErr;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags != -1) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return noErr;
}

OSErr AddFork(std::shared_ptr<OpenFork> fork, const struct stat &info, FSIORefNum &refNum) {
    fork->device = UInt64(info.st_dev);
    fork->inode = UInt64(info.st_ino);
    const FSIORefNum number = ForkTable::Shared().add(std::move(fork));
    if (number == 0) return tmfoErr;  // the fork's descriptor was closed with it
    refNum = number;
    return noErr;
}

OSErr OpenDataFork(const std::string &path, SInt8 permission, FSIORefNum &refNum) {
    bool read = false, write = false;
    if (!AccessOf(permission, read, write)) return paramErr;
    int access = read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY;
    int fd = -1;
    struct stat info;
    OSErr status = OpenPlainFile(path, access, fd, info);
    if (status == afpAccessDenied || status == wPrErr) {
        if (permission != fsCurPerm) return status;
        access = O_RDONLY;
        write = false;
        status = OpenPlainFile(path, access, fd, info);
    }
    if (status != noErr) return status;
    return AddFork(std::make_shared<OpenFork>(fd, false, read, write), info, refNum);
}

// The attribute's bytes; empty when the file has none or the file system keeps none.
OSErr ReadAttribute(int fd, const char *name, std::vector<UInt8> &bytes) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        const ssize_t size = ::fgetxattr(fd, name, nullptr, 0);
        if (size < 0) {
            if (errno == ENODATA || errno == ENOTSUP) {
                bytes.clear();
                return noErr;
            }
            return StatusFromErrno(errno);
        }
        std::vector<UInt8> buffer(size_t(size) + 1);
        const ssize_t got = ::fgetxattr(fd, name, buffer.data(), buffer.size());
        if (got < 0 && errno == ERANGE) continue;  // grown in between
        if (got < 0) return StatusFromErrno(errno);
        buffer.resize(size_t(got));
        bytes = std::move(buffer);
        return noErr;
    }
    return ioErr;
}

bool IsResourceForkName(UniCharCount length, const UniChar *name) {
    return length == kResourceForkNameLength && name != nullptr &&
           std::equal(name, name + length, kResourceForkName);
}

// Which fork a name names: 0 data, 1 resource, -1 neither.
int ForkOfName(UniCharCount length, const UniChar *name) {
    if (length == 0) return 0;
    return IsResourceForkName(length, name) ? 1 : -1;
}

// The checks every call on a named fork of a file reference makes first: the fork named
// (`which` as ForkOfName answers it) and the path of the regular file the reference names.
OSErr ForkFile(const FSRef *ref, UniCharCount forkNameLength, const UniChar *forkName, int &which,
               std::string &path) {
    if (ref == nullptr || (forkNameLength > 0 && forkName == nullptr)) return paramErr;
    which = ForkOfName(forkNameLength, forkName);
    if (which < 0) return errFSBadForkName;
    struct stat info;
    const OSErr status = FileRefPath(*ref, path, &info);
    if (status != noErr) return status;
    if (!S_ISREG(info.st_mode)) return notAFileErr;
    return noErr;
}

// The start position of a transfer or move.
bool Position(const OpenFork &fork, SInt64 size, UInt16 positionMode, SInt64 offset, SInt64 &position, OSErr &status) {
    SInt64 base;
    switch (positionMode & 3) {
    case fsAtMark: base = fork.mark, offset = 0; break;
    case fsFromStart: base = 0; break;
    case fsFromLEOF: base = size; break;
    default: base = fork.mark; break;
    }
    if ((offset > 0 && base > INT64_MAX - offset) || base + offset < 0) {
        status = posErr;
        return false;
    }
    position = base + offset;
    return true;
}

SInt64 ForkSize(const OpenFork &fork) {
    if (fork.isResource) return SInt64(fork.content.size());
    struct stat info;
    return ::fstat(fork.fd, &info) == 0 ? SInt64(info.st_size) : 0;
}

OSErr StoreResourceFork(OpenFork &fork, std::vector<UInt8> bytes) {
    if (::fsetxattr(fork.fd, kResourceForkAttribute, bytes.data(), bytes.size(), 0) != 0) return StatusFromErrno(errno);
    fork.content = std::move(bytes);
    return noErr;
}

}  // namespace

OSErr OpenResourceFork(const std::string &path, bool write, FSIORefNum &refNum) {
    if (write && ::access(path.c_str(), W_OK) != 0) return StatusFromErrno(errno);
    int fd = -1;
    struct stat info;
    OSErr status = OpenPlainFile(path, O_RDONLY, fd, info);
    if (status == afpAccessDenied && write) status = OpenPlainFile(path, O_WRONLY, fd, info);
    if (status != noErr) return status;
    auto fork = std::make_shared<OpenFork>(fd, true, true, write);
    status = ReadAttribute(fd, kResourceForkAttribute, fork->content);
    if (status != noErr) return status;  // the descriptor is closed with the fork
    return AddFork(std::move(fork), info, refNum);
}

OSErr ReadWholeFork(FSIORefNum refNum, std::vector<UInt8> &bytes) {
    const std::shared_ptr<OpenFork> fork = ForkTable::Shared().find(refNum);
    if (fork == nullptr) return rfNumErr;
    std::lock_guard<std::mutex> lock(fork->mutex);
    if (!fork->canRead) return permErr;
    if (fork->isResource) {
        bytes = fork->content;
        return noErr;
    }
    std::vector<UInt8> data;
    UInt8 chunk[65536];
    for (off_t at = 0;;) {
        const ssize_t got = ::pread(fork->fd, chunk, sizeof chunk, at);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return StatusFromErrno(errno);
        if (got == 0) break;
        data.insert(data.end(), chunk, chunk + got);
        at += got;
    }
    bytes = std::move(data);
    return noErr;
}

OSErr ReplaceWholeFork(FSIORefNum refNum, const std::vector<UInt8> &bytes) {
    const std::shared_ptr<OpenFork> fork = ForkTable::Shared().find(refNum);
    if (fork == nullptr) return rfNumErr;
    std::lock_guard<std::mutex> lock(fork->mutex);
    if (!fork->canWrite) return wrPermErr;
    if (!fork->isResource) return paramErr;
    if (SInt64(bytes.size()) > kMaximumResourceFork) return dskFulErr;
    const OSErr status = StoreResourceFork(*fork, bytes);
    if (status == noErr) fork->mark = std::min<SInt64>(fork->mark, SInt64(bytes.size()));
    return status;
}

bool ForkFile(FSIORefNum refNum, UInt64 &device, UInt64 &inode) {
    const std::shared_ptr<OpenFork> fork = ForkTable::Shared().find(refNum);
    if (fork == nullptr) return false;
    device = fork->device;
    inode = fork->inode;
    return true;
}

}  // namespace lumora::carbon

using namespace lumora::carbon;

OSErr FSGetDataForkName(HFSUniStr255 *dataForkName) {
    if (dataForkName == nullptr) return paramErr;
    *dataForkName = HFSUniStr255{};
    return noErr;
}

OSErr FSGetResourceForkName(HFSUniStr255 *resourceForkName) {
    if (resourceForkName == nullptr) return paramErr;
    HFSUniStr255 name{};
    name.length = UInt16(kResourceForkNameLength);
    std::copy(kResourceForkName, kResourceForkName + kResourceForkNameLength, name.unicode);
    *resourceForkName = name;
    return noErr;
}

OSErr FSOpenFork(const FSRef *ref, UniCharCount forkNameLength, const UniChar *forkName, SInt8 permissions,
                 FSIORefNum *forkRefNum) {
    if (forkRefNum == nullptr) return paramErr;
    int which = 0;
    std::string path;
    const OSErr status = ForkFile(ref, forkNameLength, forkName, which, path);
    if (status != noErr) return status;
    if (which == 0) return OpenDataFork(path, permissions, *forkRefNum);
    bool read = false, write = false;
    if (!AccessOf(permissions, read, write)) return paramErr;
    if (permissions == fsCurPerm && ::access(path.c_str(), W_OK) != 0) write = false;
    return OpenResourceFork(path, write, *forkRefNum);
}

OSErr FSCreateFork(const FSRef *ref, UniCharCount forkNameLength, const UniChar *forkName) {
    int which = 0;
    std::string path;
    const OSErr status = ForkFile(ref, forkNameLength, forkName, which, path);
    if (status != noErr) return status;
    if (which == 0) return errFSForkExists;
    if (::setxattr(path.c_str(), kResourceForkAttribute, "", 0, XATTR_CREATE) != 0)
        return errno == EEXIST ? OSErr(errFSForkExists) : StatusFromErrno(errno);
    return noErr;
}

OSErr FSDeleteFork(const FSRef *ref, UniCharCount forkNameLength, const UniChar *forkName) {
    int which = 0;
    std::string path;
    const OSErr status = ForkFile(ref, forkNameLength, forkName, which, path);
    if (status != noErr) return status;
    if (which == 0) return ::truncate(path.c_str(), 0) == 0 ? OSErr(noErr) : StatusFromErrno(errno);
    if (::removexattr(path.c_str(), kResourceForkAttribute) != 0 && errno != ENODATA && errno != ENOTSUP)
        return StatusFromErrno(errno);
    return noErr;
}

OSErr FSReadFork(FSIORefNum forkRefNum, UInt16 positionMode, SInt64 positionOffset, ByteCount requestCount,
                 void *buffer, ByteCount *actualCount) {
    const std::shared_ptr<OpenFork> fork = ForkTable::Shared().find(forkRefNum);
    if (fork == nullptr) return rfNumErr;
    if (actualCount != nullptr) *actualCount = 0;
    if (requestCount > 0 && buffer == nullptr) return paramErr;
    if (!fork->canRead) return permErr;
    std::lock_guard<std::mutex> lock(fork->mutex);
    SInt64 start = 0;
    OSErr status = noErr;
    if (!Position(*fork, ForkSize(*fork), positionMode, positionOffset, start, status)) return status;

    auto *bytes = static_cast<UInt8 *>(buffer);
    ByteCount done = 0;
    if (fork->isResource) {
        const SInt64 size = SInt64(fork->content.size());
        const ByteCount available = start < size ? ByteCount(size - start) : 0;
        done = std::min(requestCount, available);
        if (done > 0) std::memcpy(bytes, fork->content.data() + start, done);
    } else {
        while (done < requestCount) {
            const size_t want = size_t(std::min<ByteCount>(requestCount - done, SSIZE_MAX));
            const ssize_t got = ::pread(fork->fd, bytes + done, want, off_t(start + SInt64(done)));
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) {
                status = StatusFromErrno(errno);
                break;
            }
            if (got == 0) break;
            done += ByteCount(got);
        }
    }
    if (status == noErr && done < requestCount) status = eofErr;
    fork->mark = start + SInt64(done);
    if (actualCount != nullptr) *actualCount = done;
    return status;
}

OSErr FSWriteFork(FSIORefNum forkRefNum, UInt16 positionMode, SInt64 positionOffset, ByteCount requestCount,
                  const void *buffer, ByteCount *actualCount) {
    const std::shared_ptr<OpenFork> fork = ForkTable::Shared().find(forkRefNum);
    if (fork == nullptr) return rfNumErr;
    if (actualCount != nullptr) *actualCount = 0;
    if (requestCount > 0 && buffer == nullptr) return paramErr;
    if (!fork->canWrite) return wrPermErr;
    std::lock_guard<std::mutex> lock(fork->mutex);
    SInt64 start = 0;
    OSErr status = noErr;
    if (!Position(*fork, ForkSize(*fork), positionMode, positionOffset, start, status)) return status;
    if (requestCount > ByteCount(INT64_MAX - start)) return posErr;

    const auto *bytes = static_cast<const UInt8 *>(buffer);
    ByteCount done = 0;
    if (fork->isResource) {
        if (start + SInt64(requestCount) > kMaximumResourceFork) return dskFulErr;
        std::vector<UInt8> changed = fork->content;
        if (changed.size() < size_t(start) + requestCount) changed.resize(size_t(start) + requestCount);
        if (requestCount > 0) std::memcpy(changed.data() + start, bytes, requestCount);
        status = StoreResourceFork(*fork, std::move(changed));
        if (status == noErr) done = requestCount;
    } else {
        while (done < requestCount) {
            const size_t want = size_t(std::min<ByteCount>(requestCount - done, SSIZE_MAX));
            const ssize_t put = ::pwrite(fork->fd, bytes + done, want, off_t(start + SInt64(done)));
            if (put < 0 && errno == EINTR) continue;
            if (put < 0) {
                status = StatusFromErrno(errno);
                break;
            }
            done += ByteCount(put);
        }
    }
    fork->mark = start + SInt64(done);
    if (actualCount != nullptr) *actualCount = done;
    return status;
}

OSErr FSGetForkPosition(FSIORefNum forkRefNum, SInt64 *position) {
    const std::shared_ptr<OpenFork> fork = ForkTable::Shared().find(forkRefNum);
    if (fork == nullptr) return rfNumErr;
    if (position == nullptr) return paramErr;
    std::lock_guard<std::mutex> lock(fork->mutex);
    *position = fork->mark;
    return noErr;
}

OSErr FSSetForkPosition(FSIORefNum forkRefNum, UInt16 positionMode, SInt64 positionOffset) {
    const std::shared_ptr<OpenFork> fork = ForkTable::Shared().find(forkRefNum);
    if (fork == nullptr) return rfNumErr;
    std::lock_guard<std::mutex> lock(fork->mutex);
    const SInt64 size = ForkSize(*fork);
    SInt64 position = 0;
    OSErr status = noErr;
    if (!Position(*fork, size, positionMode, positionOffset, position, status)) return status;
    if (position > size) return eofErr;
    fork->mark = position;
    return noErr;
}

OSErr FSGetForkSize(FSIORefNum forkRefNum, SInt64 *forkSize) {
    const std::shared_ptr<OpenFork> fork = ForkTable::Shared().find(forkRefNum);
    if (fork == nullptr) return rfNumErr;
    if (forkSize == nullptr) return paramErr;
    std::lock_guard<std::mutex> lock(fork->mutex);
    if (fork->isResource) {
        *forkSize = SInt64(fork->content.size());
        return noErr;
    }
    struct stat info;
    if (::fstat(fork->fd, &info) != 0) return StatusFromErrno(errno);
    *forkSize = SInt64(info.st_size);
    return noErr;
}

OSErr FSCloseFork(FSIORefNum forkRefNum) {
    return ForkTable::Shared().remove(forkRefNum) == nullptr ? OSErr(rfNumErr) : OSErr(noErr);
}

OSErr FSpOpenDF(const FSSpec *spec, SInt8 permission, FSIORefNum *refNum) {
    if (spec == nullptr || refNum == nullptr) return paramErr;
    bool read = false, write = false;
    if (!AccessOf(permission, read, write)) return paramErr;
    std::string path;
    const OSErr status = FileSpecPath(*spec, path);
    if (status != noErr) return status;
    return OpenDataFork(path, permission, *refNum);
}

OSErr GetEOF(FSIORefNum refNum, long *logEOF) {
    const std::shared_ptr<OpenFork> fork = ForkTable::Shared().find(refNum);
    if (fork == nullptr) return rfNumErr;
    if (logEOF == nullptr) return paramErr;
    SInt64 size = 0;
    const OSErr status = FSGetForkSize(refNum, &size);
    if (status == noErr) *logEOF = long(size);
    return status;
}

OSErr FSRead(FSIORefNum refNum, long *count, void *buffer) {
    const std::shared_ptr<OpenFork> fork = ForkTable::Shared().find(refNum);
    if (fork == nullptr) return rfNumErr;
    if (count == nullptr || *count < 0 || (*count > 0 && buffer == nullptr)) return paramErr;
    if (!fork->canRead) {
        *count = 0;
        return permErr;
    }
    ByteCount done = 0;
    const OSErr status = FSReadFork(refNum, fsAtMark, 0, ByteCount(*count), buffer, &done);
    *count = long(done);
    return status;
}

OSErr FSClose(FSIORefNum refNum) { return FSCloseFork(refNum); }
