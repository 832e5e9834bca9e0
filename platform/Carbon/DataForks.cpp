// Open data forks: a process-wide table from reference numbers to open file descriptors.
// Descriptors never leave this file. A fork in use by FSRead on one thread while another
// thread closes it stays open until that read returns (the table entry is shared), so a
// descriptor number is never read after it was closed and possibly reused.
#include <cerrno>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

#include "FileRefs.h"

namespace lumora::carbon {

namespace {

struct OpenFork {
    explicit OpenFork(int descriptor, bool readable) : fd(descriptor), canRead(readable) {}
    ~OpenFork() { ::close(fd); }
    OpenFork(const OpenFork &) = delete;
    OpenFork &operator=(const OpenFork &) = delete;

    const int fd;
    const bool canRead;
    std::mutex readMutex;  // one read at a time moves the mark
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

}  // namespace

}  // namespace lumora::carbon

using namespace lumora::carbon;

OSErr FSpOpenDF(const FSSpec *spec, SInt8 permission, FSIORefNum *refNum) {
    if (spec == nullptr || refNum == nullptr) return paramErr;
    int access;
    switch (permission) {
    case fsCurPerm:
    case fsRdWrPerm: access = O_RDWR; break;
    case fsRdPerm: access = O_RDONLY; break;
    case fsWrPerm: access = O_WRONLY; break;
    default: return paramErr;
    }
    std::string path;
    const OSErr status = FileSpecPath(*spec, path);
    if (status != noErr) return status;

    // Only plain files have a data fork (checked again on the open descriptor below; this
    // first check keeps a FIFO from being opened at all).
    struct stat info;
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) return notAFileErr;

    int fd = OpenFile(path, access);
    if (fd < 0 && permission == fsCurPerm && (errno == EACCES || errno == EPERM || errno == EROFS || errno == ETXTBSY)) {
        access = O_RDONLY;
        fd = OpenFile(path, access);
    }
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

    const FSIORefNum number = ForkTable::Shared().add(std::make_shared<OpenFork>(fd, access != O_WRONLY));
    if (number == 0) return tmfoErr;  // the fork's descriptor was closed with it
    *refNum = number;
    return noErr;
}

OSErr GetEOF(FSIORefNum refNum, long *logEOF) {
    const std::shared_ptr<OpenFork> fork = ForkTable::Shared().find(refNum);
    if (fork == nullptr) return rfNumErr;
    if (logEOF == nullptr) return paramErr;
    struct stat info;
    if (::fstat(fork->fd, &info) != 0) return StatusFromErrno(errno);
    *logEOF = long(info.st_size);
    return noErr;
}

OSErr FSRead(FSIORefNum refNum, long *count, void *buffer) {
    const std::shared_ptr<OpenFork> fork = ForkTable::Shared().find(refNum);
    if (fork == nullptr) return rfNumErr;
    if (count == nullptr || *count < 0 || (*count > 0 && buffer == nullptr)) return paramErr;
    if (!fork->canRead) {
        *count = 0;
        return permErr;
    }
    std::lock_guard<std::mutex> lock(fork->readMutex);
    auto *bytes = static_cast<unsigned char *>(buffer);
    const long wanted = *count;
    long done = 0;
    OSErr status = noErr;
    while (done < wanted) {
        const ssize_t got = ::read(fork->fd, bytes + done, size_t(wanted - done));
        if (got < 0) {
            if (errno == EINTR) continue;
            status = StatusFromErrno(errno);
            break;
        }
        if (got == 0) {
            status = eofErr;
            break;
        }
        done += long(got);
    }
    *count = done;
    return status;
}

OSErr FSClose(FSIORefNum refNum) { return ForkTable::Shared().remove(refNum) == nullptr ? OSErr(rfNumErr) : OSErr(noErr); }
