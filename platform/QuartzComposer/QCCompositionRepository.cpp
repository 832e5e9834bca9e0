#include <QuartzComposer/QCCompositionRepository.h>

#include <Carbon/Folders.h>
#include <CoreFoundation/CFBundle.h>
#include <CoreFoundation/CFURL.h>

#include <climits>
#include <filesystem>
#include <map>
#include <sys/stat.h>

namespace {

constexpr char kExtension[] = ".qtz";

bool IsRegularFile(const std::string &path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The main bundle's resources folder; empty when it cannot be told.
std::string ApplicationResourcesFolder() {
    CFBundleRef bundle = CFBundleGetMainBundle();
    if (!bundle) return {};
    CFURLRef url = CFBundleCopyResourcesDirectoryURL(bundle);
    if (!url) return {};
    UInt8 buffer[PATH_MAX];
    const bool ok = CFURLGetFileSystemRepresentation(url, true, buffer, sizeof buffer);
    CFRelease(url);
    return ok ? std::string(reinterpret_cast<const char *>(buffer)) : std::string();
}

} // namespace

QCCompositionRepository &QCCompositionRepository::sharedCompositionRepository() {
    static QCCompositionRepository *const shared = new QCCompositionRepository();
    return *shared;
}

bool QCCompositionRepository::isValidIdentifier(const std::string &identifier) {
    const size_t extension = sizeof kExtension - 1;
    if (identifier.size() <= extension) return false;
    if (identifier.compare(identifier.size() - extension, extension, kExtension) != 0) return false;
    return identifier.find('/') == std::string::npos && identifier.find("..") == std::string::npos &&
           identifier.find('\0') == std::string::npos;
}

std::vector<std::string> QCCompositionRepository::searchFolders() const {
    std::vector<std::string> folders;
    for (short domain : {short(kUserDomain), short(kLocalDomain), short(kSystemDomain)}) {
        std::string library;
        if (lumora::carbon::FolderPath(domain, kDomainLibraryFolderType, library) == noErr)
            folders.push_back(library + "/Compositions");
    }
    const std::string resources = ApplicationResourcesFolder();
    if (!resources.empty()) folders.push_back(resources);
    return folders;
}

QCCompositionRef QCCompositionRepository::compositionWithIdentifier(const std::string &identifier) const {
    if (!isValidIdentifier(identifier)) return nullptr;
    for (const std::string &folder : searchFolders()) {
        const std::string path = folder + "/" + identifier;
        if (!IsRegularFile(path)) continue;
        if (QCCompositionRef composition = QCComposition::compositionWithFile(path)) return composition;
    }
    return nullptr;
}

std::vector<QCCompositionRepositoryEntry> QCCompositionRepository::allCompositions() const {
    std::map<std::string, QCCompositionRepositoryEntry> found;
    for (const std::string &folder : searchFolders()) {
        std::error_code error;
        std::filesystem::directory_iterator it(folder, error), end;
        for (; !error && it != end; it.increment(error)) {
            const std::string name = it->path().filename().string();
            if (!isValidIdentifier(name) || found.count(name)) continue;
            const std::string path = folder + "/" + name;
            if (!IsRegularFile(path)) continue;
            if (QCCompositionRef composition = QCComposition::compositionWithFile(path))
                found.emplace(name, QCCompositionRepositoryEntry{name, path, std::move(composition)});
        }
    }
    std::vector<QCCompositionRepositoryEntry> entries;
    for (auto &[name, entry] : found) entries.push_back(std::move(entry));
    return entries;
}
