// Prints the main bundle's folders, one per line ("-" for none), for the bundle tests.
#include <CoreFoundation/CoreFoundation.h>

#include <cstdio>

namespace {

void Print(const char *label, CFURLRef url) {
    char path[4096];
    const bool known = url != nullptr && CFURLGetFileSystemRepresentation(url, true, reinterpret_cast<UInt8 *>(path), sizeof path);
    std::printf("%s=%s\n", label, known ? path : "-");
    if (url != nullptr) CFRelease(url);
}

}  // namespace

int main() {
    CFBundleRef bundle = CFBundleGetMainBundle();
    if (bundle == nullptr) return 1;
    Print("bundle", CFBundleCopyBundleURL(bundle));
    Print("executable", CFBundleCopyExecutableURL(bundle));
    Print("resources", CFBundleCopyResourcesDirectoryURL(bundle));
    Print("frameworks", CFBundleCopyPrivateFrameworksURL(bundle));
    Print("plugins", CFBundleCopyBuiltInPlugInsURL(bundle));
    return 0;
}
