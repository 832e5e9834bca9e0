// Helpers shared by the Carbon layer's tests.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

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

}  // namespace carbon_test
