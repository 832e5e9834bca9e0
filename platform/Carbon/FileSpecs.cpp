// FSSpec: a folder id from the path table and a name, with a long-name form for names that
// do not fit the 63 bytes of the record (see Files.h).
#include <cerrno>
#include <climits>
#include <cstring>
#include <sys/stat.h>

#include "FileRefs.h"

namespace lumora::carbon {

namespace {

constexpr size_t kNameField = sizeof(Str63) - 1;    // 63 bytes of name
constexpr size_t kLongNameMarker = 1 + 8;          // NUL and eight hex digits
constexpr size_t kLongNamePrefix = kNameField - kLongNameMarker;

bool IsContinuationByte(unsigned char byte) { return (byte & 0xC0) == 0x80; }

void SetName(FSSpec &spec, const std::string &name) {
    std::memset(spec.name, 0, sizeof spec.name);
    spec.name[0] = UInt8(name.size());
    std::memcpy(spec.name + 1, name.data(), name.size());
}

// The long-name form: the start of `name`, NUL, the id of the full path in hex.
std::string LongName(const std::string &name, UInt32 id) {
    // Cut at a character boundary so that a UTF-8 name stays valid (a character has at most
    // three continuation bytes; other bytes are cut where they fall).
    size_t prefix = kLongNamePrefix;
    while (prefix > kLongNamePrefix - 3 && IsContinuationByte(UInt8(name[prefix]))) --prefix;
    if (IsContinuationByte(UInt8(name[prefix]))) prefix = kLongNamePrefix;
    static const char kHex[] = "0123456789ABCDEF";
    std::string out = name.substr(0, prefix);
    out.push_back('\0');
    for (int shift = 28; shift >= 0; shift -= 4) out.push_back(kHex[(id >> shift) & 0xF]);
    return out;
}

bool ParseHex(const char *text, size_t size, UInt32 &value) {
    value = 0;
    for (size_t i = 0; i < size; ++i) {
        const char c = text[i];
        UInt32 digit;
        if (c >= '0' && c <= '9') digit = UInt32(c - '0');
        else if (c >= 'A' && c <= 'F') digit = UInt32(c - 'A' + 10);
        else return false;
        value = (value << 4) | digit;
    }
    return true;
}

// The full name a long-name form stands for, when it is a name in `folder`.
bool ResolveLongName(const std::string &folder, const std::string &form, std::string &name) {
    if (form.size() < kLongNameMarker || form.size() > kNameField) return false;
    const size_t nul = form.size() - kLongNameMarker;
    UInt32 id = 0;
    if (form.find('\0') != nul || !ParseHex(form.data() + nul + 1, 8, id)) return false;
    std::string full;
    if (!PathOfID(id, full)) return false;
    const std::string start = folder == "/" ? folder : folder + "/";
    if (full.size() <= start.size() || full.compare(0, start.size(), start) != 0) return false;
    std::string leaf = full.substr(start.size());
    if (leaf.find('/') != std::string::npos || leaf.compare(0, nul, form, 0, nul) != 0) return false;
    name = std::move(leaf);
    return true;
}

}  // namespace

OSErr MakeFileSpec(const std::string &folder, const std::string &name, FSSpec &spec) {
    const UInt32 folderID = InternPath(folder);
    if (folderID == 0) return memFullErr;
    FSSpec made{};
    made.vRefNum = kFSSpecVolumeRefNum;
    made.parID = long(folderID);
    if (name.size() <= kNameField) {
        SetName(made, name);
    } else {
        const UInt32 fileID = InternPath(JoinPath(folder, name));
        if (fileID == 0) return memFullErr;
        SetName(made, LongName(name, fileID));
    }
    spec = made;
    return noErr;
}

OSErr FileSpecPath(const FSSpec &spec, std::string &path) {
    if (spec.vRefNum != kFSSpecVolumeRefNum) return nsvErr;
    std::string folder;
    if (spec.parID <= 0 || spec.parID > long(UINT32_MAX) || !PathOfID(UInt32(spec.parID), folder)) return dirNFErr;
    const size_t length = std::min<size_t>(spec.name[0], kNameField);
    const std::string form(reinterpret_cast<const char *>(spec.name + 1), length);
    std::string name;
    if (form.find('\0') != std::string::npos) {
        if (!ResolveLongName(folder, form, name)) return bdNamErr;
    } else {
        if (form.find('/') != std::string::npos || form == "." || form == "..") return bdNamErr;
        name = form;
    }
    path = JoinPath(folder, name);
    return noErr;
}

}  // namespace lumora::carbon

using namespace lumora::carbon;

OSErr FSMakeFSSpec(short vRefNum, long dirID, ConstStr255Param name, FSSpec *spec) {
    if (name == nullptr || spec == nullptr) return paramErr;
    if (vRefNum != 0 && vRefNum != kFSSpecVolumeRefNum) return nsvErr;
    std::string folder;
    if (dirID <= 0 || dirID > long(UINT32_MAX) || !PathOfID(UInt32(dirID), folder)) return dirNFErr;

    // A name too long for the record is taken whole here and given the long-name form below;
    // a long-name form (from an FSSpec) is resolved first.
    std::string given(reinterpret_cast<const char *>(name + 1), name[0]);
    if (given.find('\0') != std::string::npos) {
        FSSpec probe{};
        probe.vRefNum = kFSSpecVolumeRefNum;
        probe.parID = dirID;
        if (given.size() > kNameField) return bdNamErr;
        SetName(probe, given);
        std::string path;
        const OSErr status = FileSpecPath(probe, path);
        if (status != noErr) return status;
        given = path.substr(folder == "/" ? 1 : folder.size() + 1);
    } else if (given.find('/') != std::string::npos || given == "." || given == "..") {
        return bdNamErr;
    }

    struct stat info;
    OSErr found = noErr;
    if (::stat(JoinPath(folder, given).c_str(), &info) != 0) {
        found = StatusFromErrno(errno);
        if (found == fnfErr && (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))) return dirNFErr;
        if (found != fnfErr) return found;
    }

    FSSpec made{};
    OSErr status;
    if (given.empty()) {
        // The folder itself: its own folder and name (the root folder keeps the empty name).
        const size_t slash = folder.rfind('/');
        status = folder == "/" ? MakeFileSpec(folder, given, made)
                               : MakeFileSpec(slash == 0 ? std::string("/") : folder.substr(0, slash),
                                              folder.substr(slash + 1), made);
    } else {
        status = MakeFileSpec(folder, given, made);
    }
    if (status != noErr) return status;
    *spec = made;
    return found;
}

OSErr FSpMakeFSRef(const FSSpec *spec, FSRef *ref) {
    if (spec == nullptr || ref == nullptr) return paramErr;
    std::string path;
    const OSErr status = FileSpecPath(*spec, path);
    if (status != noErr) return status;
    return MakeFileRef(path, *ref);
}
