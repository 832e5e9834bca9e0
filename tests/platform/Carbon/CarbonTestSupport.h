// Helpers shared by the Carbon layer's tests.
#pragma once

#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <sys/xattr.h>
#include <unistd.h>

#include <Carbon/Carbon.h>

namespace carbon_test {

// Sets (or, with nullopt, unsets) environment variables for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(std::initializer_list<std::pair<const char *, std::optional<std::string>>> values) {
        for (const auto &[name, value] : values) {
            const char *old = std::getenv(name);
            mSaved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
            if (value) ::setenv(name, value->c_str(), 1);
            else ::unsetenv(name);
        }
    }
    ~ScopedEnv() {
        for (auto it = mSaved.rbegin(); it != mSaved.rend(); ++it) {
            if (it->second) ::setenv(it->first.c_str(), it->second->c_str(), 1);
            else ::unsetenv(it->first.c_str());
        }
    }
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> mSaved;
};

// The path an FSRef names, or "" with the failing status in *status.
inline std::string PathOf(const FSRef &ref, OSStatus *status = nullptr) {
    std::vector<UInt8> buffer(8192);
    const OSStatus result = FSRefMakePath(&ref, buffer.data(), UInt32(buffer.size()));
    if (status != nullptr) *status = result;
    return result == noErr ? std::string(reinterpret_cast<const char *>(buffer.data())) : std::string();
}

// The canonical form of an existing path.
inline std::string RealPath(const std::string &path) {
    char *resolved = ::realpath(path.c_str(), nullptr);
    std::string result = resolved ? resolved : "";
    std::free(resolved);
    return result;
}

// A reference to an existing object, or a zero record.
inline FSRef RefOf(const std::string &path, OSStatus *status = nullptr) {
    FSRef ref{};
    const OSStatus result = FSPathMakeRef(reinterpret_cast<const UInt8 *>(path.c_str()), &ref, nullptr);
    if (status != nullptr) *status = result;
    return ref;
}

// A Pascal string of up to 255 bytes.
struct PName {
    explicit PName(const std::string &text) {
        bytes[0] = UInt8(text.size());
        std::memcpy(bytes + 1, text.data(), text.size());
    }
    Str255 bytes{};
};

// The name of an FSSpec as its bytes.
inline std::string NameOf(const FSSpec &spec) {
    return std::string(reinterpret_cast<const char *>(spec.name + 1), spec.name[0] < 63 ? spec.name[0] : 63);
}

// The UTF-16 form of a UTF-8 literal's characters (u"" literals are written directly).
inline HFSUniStr255 Unicode(const std::u16string &text) {
    HFSUniStr255 name{};
    name.length = UInt16(text.size());
    std::memcpy(name.unicode, text.data(), text.size() * 2);
    return name;
}

// Whether the file system of `folder` takes user extended attributes (Finder information and
// resource forks live in them).
inline bool UserAttributesWork(const std::string &folder) {
    const std::string probe = folder + "/.xattr-probe";
    if (FILE *file = std::fopen(probe.c_str(), "w")) std::fclose(file);
    const bool works = ::setxattr(probe.c_str(), "user.lumora.probe", "1", 1, 0) == 0;
    ::unlink(probe.c_str());
    return works;
}

#define SKIP_WITHOUT_USER_ATTRIBUTES(folder)                                                             \
    if (!carbon_test::UserAttributesWork(folder))                                                        \
    GTEST_SKIP() << "the test file system (" << (folder)                                                 \
                 << ") has no user extended attributes: Finder information and resource forks cannot be kept"

}  // namespace carbon_test
