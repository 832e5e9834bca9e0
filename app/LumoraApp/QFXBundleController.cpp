#include "QFXBundleController.h"

#include <CoreFoundation/CFString.h>
#include <CoreFoundation/CFURL.h>
#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSObjCRuntime.h>
#include <QuartzComposer/QCComposition.h>

#include <QFileInfo>

#include <algorithm>
#include <dlfcn.h>
#include <filesystem>
#include <system_error>

NS_REGISTER_CLASS(QFXBundleController);

namespace {

constexpr char kCompositionNamesKey[] = "compositionNames";
constexpr char kCompositionFileNamesKey[] = "compositionFileNames";
constexpr char kBundleExtension[] = ".qfxbundle";

std::string PathOfURL(CFURLRef url) {
    if (url == nullptr) return {};
    UInt8 buffer[4096];
    if (!CFURLGetFileSystemRepresentation(url, true, buffer, sizeof buffer)) return {};
    return reinterpret_cast<const char *>(buffer);
}

CFURLRef URLOfPath(const QString &path) {
    const QByteArray bytes = path.toUtf8();
    return CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8 *>(bytes.constData()),
                                                   CFIndex(bytes.size()), true);
}

// A file name without its last extension ("a.b.qtz" -> "a.b"; no extension: unchanged).
QString DeletingPathExtension(const QString &fileName) {
    const qsizetype dot = fileName.lastIndexOf('.');
    const qsizetype slash = fileName.lastIndexOf('/');
    if (dot <= 0 || dot < slash + 2) return fileName;
    return fileName.left(dot);
}

}  // namespace

QFXBundleController::QFXBundleController(QObject *parent) : NSObject(parent) {}

QFXBundleController::~QFXBundleController() {
    // The pack objects' code lives in the bundles: the objects go first.
    mFxbundles.clear();
    setBundles({});
}

void QFXBundleController::setBundles(const std::vector<CFBundleRef> &bundles) {
    for (CFBundleRef bundle : bundles) CFRetain(bundle);
    for (CFBundleRef bundle : mBundles) CFRelease(bundle);
    mBundles = bundles;
}

QStringList QFXBundleController::qfxBundlePathsInFolder(const QString &folder) {
    namespace fs = std::filesystem;
    QStringList paths;
    std::error_code error;
    const fs::path root = folder.toStdString();
    fs::recursive_directory_iterator it(root, fs::directory_options::none, error), end;
    if (error) return paths;
    std::vector<std::string> found;
    for (; it != end; it.increment(error)) {
        if (error) break;
        const fs::path &entry = it->path();
        if (entry.extension() == kBundleExtension) found.push_back(entry.lexically_relative(root).string());
    }
    std::sort(found.begin(), found.end());
    for (const std::string &relative : found) paths.append(QString::fromStdString((root / relative).string()));
    return paths;
}

QStringList QFXBundleController::qfxBundlePaths() {
    CFBundleRef main = CFBundleGetMainBundle();
    CFURLRef plugIns = main ? CFBundleCopyBuiltInPlugInsURL(main) : nullptr;
    const std::string folder = PathOfURL(plugIns);
    if (plugIns != nullptr) CFRelease(plugIns);
    if (folder.empty()) return {};
    return qfxBundlePathsInFolder(QString::fromStdString(folder));
}

void QFXBundleController::awakeFromNib() { loadBundlesAtPaths(qfxBundlePaths()); }

void QFXBundleController::report(const QString &line) { mLoadReports.append(line); }

void QFXBundleController::loadBundlesAtPaths(const QStringList &paths) {
    willChangeValueForKey(kCompositionNamesKey);
    willChangeValueForKey(kCompositionFileNamesKey);
    mFxbundles.clear();
    setBundles({});
    mLoadReports.clear();
    std::vector<CFBundleRef> bundles;

    for (const QString &path : paths) {
        const QString pack = DeletingPathExtension(QFileInfo(path).fileName());
        CFURLRef url = URLOfPath(path);
        CFBundleRef bundle = url ? CFBundleCreate(nullptr, url) : nullptr;
        if (url != nullptr) CFRelease(url);
        if (bundle == nullptr) continue;
        CFBundleLoadExecutable(bundle);
        bundles.push_back(bundle);  // the array's reference

        CFURLRef executableURL = CFBundleCopyExecutableURL(bundle);
        const std::string executable = PathOfURL(executableURL);
        if (executableURL != nullptr) CFRelease(executableURL);
        if (executable.empty()) continue;
        // Opened once more by us and never closed: the pack's code stays for the process.
        void *image = dlopen(executable.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (image == nullptr) continue;
        void *factory = dlsym(image, kBundleFactoryFn);
        if (!VERIFY_TEXT(factory != nullptr, " code : NSIsSymbolNameDefinedInImage(mach_image, kBundleFactoryFn)")) {
            report(pack + ": no " + kBundleFactoryFn);
            continue;
        }
        std::shared_ptr<QFXBundleProtocol> object(reinterpret_cast<QFXBundleFactoryFunction>(factory)());
        if (!object) continue;

        // Every composition opens now, or its pack and name are reported now.
        for (const QString &fileName : object->compositionFileNames()) {
            const QByteArray data = object->compositionDataForCompositionFileName(fileName);
            std::string error = "no data";
            if (!data.isEmpty() && QCComposition::compositionWithBytes(data.constData(), size_t(data.size()), &error))
                continue;
            const QString line = pack + ": the composition " + fileName + " does not open: " + QString::fromStdString(error);
            VERIFY_TEXT(false, (" code : " + line).toUtf8().constData());
            report(line);
        }
        mFxbundles.push_back(std::move(object));
    }
    setBundles(bundles);
    for (CFBundleRef bundle : bundles) CFRelease(bundle);

    didChangeValueForKey(kCompositionFileNamesKey);
    didChangeValueForKey(kCompositionNamesKey);
    if (auto *delegate = dynamic_cast<QFXBundleControllerDelegate *>(mDelegate.data()))
        delegate->qfxbundleDidFinishLoadingCompositions(this, compositionNames());
}

QStringList QFXBundleController::compositionFileNames() const {
    QStringList names;
    for (const auto &pack : mFxbundles) names.append(pack->compositionFileNames());
    return names;
}

QStringList QFXBundleController::compositionNames() const {
    QStringList names;
    for (const QString &fileName : compositionFileNames()) names.append(DeletingPathExtension(fileName));
    return names;
}

QByteArray QFXBundleController::compositionDataWithCompositionName(const QString &name) const {
    const QString fileName = name + ".qtz";
    for (const auto &pack : mFxbundles)
        if (pack->compositionFileNames().contains(fileName)) return pack->compositionDataForCompositionFileName(fileName);
    return QByteArray();
}

bool import_QFXBundleController() { return true; }
