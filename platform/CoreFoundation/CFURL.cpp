// URLs. A file URL keeps its decoded path (bytes, as file names are on Linux) and whether
// it names a directory; its string is "file://" and the percent-encoded path, with a "/"
// at the end of a directory. Other URLs keep their string only.
#include <CoreFoundation/CFInternal.h>
#include <CoreFoundation/CFURL.h>

#include <cctype>
#include <cstring>
#include <unistd.h>

struct __CFURL final : cf::Object {
    __CFURL(CFStringRef string, bool isFile, std::string path, bool directory)
        : cf::Object(CFURLGetTypeID()), mString(string), mIsFile(isFile), mPath(std::move(path)), mDirectory(directory) {}
    ~__CFURL() override { CFRelease(mString); }

    bool isEqual(const cf::Object &other) const override {
        return CFEqual(mString, static_cast<const __CFURL &>(other).mString);
    }
    CFHashCode hash() const override { return CFHash(mString); }
    std::string description() const override { return cf::UTF8Lossy(cf::Units(mString)); }

    const CFStringRef mString;  // owned
    const bool mIsFile;
    const std::string mPath;  // file URLs: absolute, no "/" at the end except for the root
    const bool mDirectory;
};

CFTypeID CFURLGetTypeID(void) {
    static const CFTypeID type = cf::RegisterType("CFURL");
    return type;
}

namespace {

const __CFURL *URL(CFURLRef url) { return cf::As<const __CFURL>(url, CFURLGetTypeID()); }
const __CFURL *FileURL(CFURLRef url) {
    const __CFURL *object = URL(url);
    return object != nullptr && object->mIsFile ? object : nullptr;
}

// Characters kept as they are in the path of a URL; every other byte is escaped.
bool KeptInPath(unsigned char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    return std::strchr("-._~!$&'()*+,;=:@/", c) != nullptr && c != 0;
}

std::string PercentEncoded(const std::string &path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    for (const char each : path) {
        const auto c = static_cast<unsigned char>(each);
        if (KeptInPath(c)) {
            encoded.push_back(each);
        } else {
            encoded.push_back('%');
            encoded.push_back(kHex[c >> 4]);
            encoded.push_back(kHex[c & 0xF]);
        }
    }
    return encoded;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool PercentDecode(std::string_view text, std::string &decoded) {
    decoded.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            decoded.push_back(text[i]);
            continue;
        }
        if (i + 2 >= text.size()) return false;
        const int high = HexDigit(text[i + 1]), low = HexDigit(text[i + 2]);
        if (high < 0 || low < 0) return false;
        decoded.push_back(char(high << 4 | low));
        i += 2;
    }
    return true;
}

// Characters that may appear in a URL string as written.
bool AllowedInURL(char16_t c) {
    if (c <= 0x20 || c >= 0x7F) return false;
    return std::strchr("\"<>\\^`{|}", char(c)) == nullptr;
}

// A file URL of a path: relative paths are made absolute against the current folder, and
// "/" at the end makes the URL a directory URL.
CFURLRef MakeFileURL(std::string path, bool directory) {
    if (path.empty() || path.find('\0') != std::string::npos) return nullptr;
    if (path.front() != '/') {
        char folder[4096];
        if (::getcwd(folder, sizeof folder) == nullptr) return nullptr;
        std::string absolute = folder;
        if (absolute.back() != '/') absolute.push_back('/');
        path = absolute + path;
    }
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
        directory = true;
    }
    if (path == "/") directory = true;
    std::string string = "file://" + PercentEncoded(path);
    if (directory && path != "/") string.push_back('/');
    CFStringRef urlString = cf::CreateStringFromUTF8(string);  // ASCII by construction
    return new __CFURL(urlString, true, std::move(path), directory);
}

CFStringRef StringFromPath(std::string_view path) { return cf::CreateStringFromUTF8(path); }

}  // namespace

CFURLRef CFURLCreateWithFileSystemPath(CFAllocatorRef, CFStringRef filePath, CFURLPathStyle pathStyle,
                                       Boolean isDirectory) {
    std::string path;
    if (pathStyle != kCFURLPOSIXPathStyle || !cf::UTF8(filePath, path)) return nullptr;
    return MakeFileURL(std::move(path), isDirectory);
}

CFURLRef CFURLCreateFromFileSystemRepresentation(CFAllocatorRef, const UInt8 *buffer, CFIndex bufLen,
                                                 Boolean isDirectory) {
    if (buffer == nullptr || bufLen <= 0) return nullptr;
    return MakeFileURL(std::string(reinterpret_cast<const char *>(buffer), size_t(bufLen)), isDirectory);
}

CFURLRef CFURLCreateWithString(CFAllocatorRef, CFStringRef URLString, CFURLRef) {
    if (cf::String(URLString) == nullptr) return nullptr;
    const std::u16string_view units = cf::Units(URLString);
    for (const char16_t c : units)
        if (!AllowedInURL(c)) return nullptr;
    std::string text(units.begin(), units.end());  // ASCII, checked above

    // scheme ":" rest, the scheme a letter followed by letters, digits, "+", "-" or ".".
    const size_t colon = text.find(':');
    if (colon == std::string::npos || colon == 0 || !std::isalpha(static_cast<unsigned char>(text[0]))) return nullptr;
    for (size_t i = 1; i < colon; ++i) {
        const char c = text[i];
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') return nullptr;
    }
    std::string scheme = text.substr(0, colon);
    for (char &c : scheme) c = char(std::tolower(static_cast<unsigned char>(c)));
    std::string_view rest = std::string_view(text).substr(colon + 1);
    std::string decoded;
    if (!PercentDecode(rest, decoded)) return nullptr;  // every escape must be well formed
    if (scheme != "file") return new __CFURL(CFStringCreateCopy(nullptr, URLString), false, std::string(), false);

    if (rest.starts_with("//")) {  // an authority: empty or localhost
        rest.remove_prefix(2);
        const size_t slash = rest.find('/');
        if (slash == std::string_view::npos) return nullptr;
        const std::string_view host = rest.substr(0, slash);
        if (!host.empty() && host != "localhost") return nullptr;
        rest.remove_prefix(slash);
    }
    rest = rest.substr(0, rest.find_first_of("?#"));
    if (!rest.starts_with("/") || !PercentDecode(rest, decoded) || decoded.find('\0') != std::string::npos)
        return nullptr;
    const bool directory = decoded.back() == '/';
    while (decoded.size() > 1 && decoded.back() == '/') decoded.pop_back();
    return new __CFURL(CFStringCreateCopy(nullptr, URLString), true, std::move(decoded), directory);
}

CFStringRef CFURLGetString(CFURLRef anURL) {
    const __CFURL *url = URL(anURL);
    return url ? url->mString : nullptr;
}

Boolean CFURLGetFileSystemRepresentation(CFURLRef url, Boolean, UInt8 *buffer, CFIndex maxBufLen) {
    const __CFURL *object = FileURL(url);
    if (object == nullptr || buffer == nullptr || maxBufLen <= 0) return false;
    if (object->mPath.size() >= size_t(maxBufLen)) return false;
    std::memcpy(buffer, object->mPath.c_str(), object->mPath.size() + 1);
    return true;
}

CFStringRef CFURLCopyFileSystemPath(CFURLRef anURL, CFURLPathStyle pathStyle) {
    const __CFURL *url = FileURL(anURL);
    if (url == nullptr || pathStyle != kCFURLPOSIXPathStyle) return nullptr;
    return StringFromPath(url->mPath);
}

CFStringRef CFURLCopyLastPathComponent(CFURLRef url) {
    const __CFURL *object = FileURL(url);
    if (object == nullptr) return nullptr;
    if (object->mPath == "/") return StringFromPath("/");
    return StringFromPath(std::string_view(object->mPath).substr(object->mPath.rfind('/') + 1));
}

Boolean CFURLHasDirectoryPath(CFURLRef anURL) {
    const __CFURL *url = URL(anURL);
    if (url == nullptr) return false;
    if (url->mIsFile) return url->mDirectory;
    const std::u16string_view units = cf::Units(url->mString);
    return !units.empty() && units.back() == u'/';
}

CFURLRef CFURLCreateCopyAppendingPathComponent(CFAllocatorRef, CFURLRef url, CFStringRef pathComponent,
                                               Boolean isDirectory) {
    const __CFURL *object = FileURL(url);
    std::string component;
    if (object == nullptr || !cf::UTF8(pathComponent, component)) return nullptr;
    if (component.empty()) return MakeFileURL(object->mPath, isDirectory || object->mDirectory);
    std::string path = object->mPath;
    if (path.back() != '/') path.push_back('/');
    while (!component.empty() && component.front() == '/') component.erase(0, 1);
    return MakeFileURL(path + component, isDirectory);
}

CFURLRef CFURLCreateCopyDeletingLastPathComponent(CFAllocatorRef, CFURLRef url) {
    const __CFURL *object = FileURL(url);
    if (object == nullptr) return nullptr;
    const size_t slash = object->mPath.rfind('/');
    return MakeFileURL(slash == 0 ? std::string("/") : object->mPath.substr(0, slash), true);
}
