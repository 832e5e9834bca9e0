#include "AuthDittoTool.h"

#include <Carbon/Folders.h>
#include <Carbon/Gestalt.h>
#include <CoreFoundation/CFBundle.h>
#include <CoreFoundation/CFURL.h>

#include <climits>
#include <sys/stat.h>

namespace {

constexpr AuthDittoTool::Location kLocations[] = {
    {"Library.QuickTime", kLocalDomain, "QuickTime"},
    {"Library.CoreMediaIO", kLocalDomain, "CoreMediaIO/Plug-Ins/DAL"},
    {"Library.CoreImage", kLocalDomain, "Graphics/Image Units"},
    {"Library.QuartzComposer", kLocalDomain, "Graphics/Quartz Composer Plug-Ins"},
    {"Library.Compositions", kLocalDomain, "Compositions"},
};

bool IsPlainName(const std::string &name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

std::string BundleFile(const std::string &name, const std::string &bundle, const char *folder) {
    if (!IsPlainName(name)) return {};
    const std::string root = bundle.empty() ? AuthDittoTool::payloadBundle() : bundle;
    if (root.empty()) return {};
    return AuthDittoTool::bundleValidPathThatExistsOrNil(root + "/Contents/" + folder + "/" + name);
}

// "a.b.c" as three unsigned numbers; false for anything else (signs, spaces, empty parts,
// values beyond 32 bits).
bool VersionParts(std::string_view text, unsigned long parts[3]) {
    int index = 0;
    size_t at = 0;
    for (;;) {
        if (index == 3) return false;
        size_t end = text.find('.', at);
        const std::string_view part = text.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
        if (part.empty() || part.size() > 9) return false;
        unsigned long value = 0;
        for (const char c : part) {
            if (c < '0' || c > '9') return false;
            value = value * 10 + unsigned(c - '0');
        }
        parts[index++] = value;
        if (end == std::string_view::npos) break;
        at = end + 1;
    }
    return index == 3;
}

bool RunningIsAtLeast(const char *required) {
    return AuthDittoSystem::systemVersionIsAtLeast(AuthDittoSystem::runningSystemVersionString(), required);
}

}  // namespace

const AuthDittoTool::Location *AuthDittoTool::locationWithName(std::string_view locationName) {
    for (const Location &location : kLocations) {
        if (locationName == location.name) return &location;
    }
    return nullptr;
}

std::string AuthDittoTool::payloadBundle() {
    CFBundleRef bundle = CFBundleGetMainBundle();
    if (bundle == nullptr) return {};
    CFURLRef url = CFBundleCopyBundleURL(bundle);
    if (url == nullptr) return {};
    char buffer[PATH_MAX];
    const bool ok = CFURLGetFileSystemRepresentation(url, true, reinterpret_cast<UInt8 *>(buffer), sizeof buffer);
    CFRelease(url);
    if (!ok) return {};
    std::string path(buffer);
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

std::string AuthDittoTool::bundleValidPathThatExistsOrNil(const std::string &path) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0) return {};
    return path;
}

std::string AuthDittoTool::mainBundlePayloadPathForPlugInName(const std::string &name, const std::string &bundle) {
    return BundleFile(name, bundle, "PlugIns");
}

std::string AuthDittoTool::mainBundlePayloadPathForResourceName(const std::string &name, const std::string &bundle) {
    return BundleFile(name, bundle, "Resources");
}

std::string AuthDittoTool::mainBundlePayloadPathForHelperName(const std::string &name, const std::string &bundle) {
    return BundleFile(name, bundle, "Helpers");
}

std::string AuthDittoTool::libraryFolderInDomain(short domain, const std::string &subPath) {
    std::string library;
    if (lumora::carbon::FolderPath(domain, kDomainLibraryFolderType, library) != noErr || library.empty()) return {};
    while (library.size() > 1 && library.back() == '/') library.pop_back();
    return subPath.empty() ? library : library + "/" + subPath;
}

std::string AuthDittoTool::usersLibraryFolderWithSubDirectoryPathName(const std::string &subPath) {
    return libraryFolderInDomain(kUserDomain, subPath);
}

std::string AuthDittoTool::slashLibraryFolderWithSubDirectoryPathName(const std::string &subPath) {
    return libraryFolderInDomain(kLocalDomain, subPath);
}

std::string AuthDittoTool::systemLibraryFolderWithSubDirectoryPathName(const std::string &subPath) {
    return libraryFolderInDomain(kSystemDomain, subPath);
}

std::string AuthDittoTool::locationPathWithLocationName(std::string_view locationName) {
    const Location *location = locationWithName(locationName);
    return location == nullptr ? std::string() : libraryFolderInDomain(location->domain, location->subFolder);
}

std::string AuthDittoTool::payloadNameWithSourcePath(std::string_view sourcePath) {
    const size_t slash = sourcePath.rfind('/');
    std::string name(slash == std::string_view::npos ? sourcePath : sourcePath.substr(slash + 1));
    if (!IsPlainName(name) || name.size() > NAME_MAX) return {};
    return name;
}

std::string AuthDittoTool::destinationWithLocationName(std::string_view locationName, std::string_view sourcePath) {
    const std::string folder = locationPathWithLocationName(locationName);
    const std::string name = payloadNameWithSourcePath(sourcePath);
    if (folder.empty() || name.empty()) return {};
    return folder + "/" + name;
}

unsigned AuthDittoSystem::systemVersionWithSystemVersionString(std::string_view version) {
    unsigned long parts[3];
    if (!VersionParts(version, parts)) return 0;
    const unsigned long major = parts[0], minor = parts[1], fix = parts[2];
    const unsigned long low = ((minor * 16) & 0xFF) + (fix & 15);
    if (major == 10) return unsigned(0x1000 + low);
    if (major > 10) return unsigned((((major << 12) - 0xA000) + low) | 0x1000) & 0xFFFFFFFFu;
    return 0x1060;
}

unsigned AuthDittoSystem::systemVersionOrderWithSystemVersionString(std::string_view version) {
    unsigned long parts[3];
    if (!VersionParts(version, parts)) return 0;
    const unsigned long major = parts[0] < 4095 ? parts[0] : 4095;
    const unsigned long minor = parts[1] < 1023 ? parts[1] : 1023;
    const unsigned long fix = parts[2] < 1023 ? parts[2] : 1023;
    return unsigned((major << 20) | (minor << 10) | fix);
}

std::string AuthDittoSystem::runningSystemVersionString() {
    SInt32 major = 0, minor = 0, fix = 0;
    if (Gestalt(gestaltSystemVersionMajor, &major) != noErr || Gestalt(gestaltSystemVersionMinor, &minor) != noErr ||
        Gestalt(gestaltSystemVersionBugFix, &fix) != noErr)
        return {};
    return std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(fix);
}

bool AuthDittoSystem::systemVersionIsAtLeast(std::string_view running, std::string_view required) {
    const unsigned have = systemVersionOrderWithSystemVersionString(running);
    const unsigned need = systemVersionOrderWithSystemVersionString(required);
    return have != 0 && need != 0 && have >= need;
}

unsigned AuthDittoSystem::systemMinimumRequiredUINT32() const {
    return systemVersionWithSystemVersionString(systemMinimumRequired);
}

bool AuthDittoSystem::systemMeetsMinimumRequirement() const {
    return systemVersionIsAtLeast(runningSystemVersionString(), systemMinimumRequired);
}

bool AuthDittoSystem::systemSnowLeopardOrLater() { return RunningIsAtLeast("10.6.0"); }
bool AuthDittoSystem::systemMacAppStoreOrLater() { return RunningIsAtLeast("10.6.6"); }
bool AuthDittoSystem::systemSnowLeopardFinalOrLater() { return RunningIsAtLeast("10.6.8"); }
bool AuthDittoSystem::systemLionOrLater() { return RunningIsAtLeast("10.7.0"); }
bool AuthDittoSystem::systemMacAppStoreWithInAppPurchasesOrLater() { return RunningIsAtLeast("10.7.0"); }
bool AuthDittoSystem::systemLionFinalOrLater() { return RunningIsAtLeast("10.7.5"); }
bool AuthDittoSystem::systemMountainLionOrLater() { return RunningIsAtLeast("10.8.0"); }
bool AuthDittoSystem::systemMountainLionFinalOrLater() { return RunningIsAtLeast("10.8.5"); }
bool AuthDittoSystem::systemMavericksOrLater() { return RunningIsAtLeast("10.9.0"); }
