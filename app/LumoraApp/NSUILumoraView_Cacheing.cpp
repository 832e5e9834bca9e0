// NSUILumoraView(DragAndDrop, Cacheing, Bookmarks): which effect composition is open, and the
// whole look of the studio as a settings dictionary.
//
// Opening. A composition opens by name (the application's own "<name>.qtz", then the effect
// packs'), by path, by data, or by URL. The rewritten data of the open composition is kept
// (compositionData), so reloadComposition reopens the same composition whatever opened it.
//
// URLs. A local file URL opens as a path. An http or https URL opens from the download cache
// (LumoraCompositionCache.h) when it was fetched before; otherwise the "Loading" placeholder
// opens and the download runs on a worker thread; the main thread never waits on the network.
// When it finishes, the composition opens only if the URL is still the one asked for (a later
// open wins). The identity stays the URL (the cache file is kept as compositionURLPath), so a
// bookmark made from a downloaded composition records the URL and travels.
//
// Drops. Only a local "qtz" file is taken; performDragOperation answers whether it opened.
//
// Bookmarks. The design bookmark table below ties each settings key to a control of the
// studio, found through the view's outlets when settings are first read or applied; the effect
// input controller adds its own keys. A settings dictionary from outside (a shared text) is
// checked before it is applied: a dictionary of more than kMaximumSettingsEntries entries is
// refused, a value that is not a string, number or boolean, or longer than
// kMaximumSettingsValueLength characters, is dropped; keys without a row are ignored; a value a
// control cannot take is logged and the others still apply.
#include "NSUILumoraView.h"
#include "LumoraStartup.h"

#include "LumoraRenderBuffer.h"
#include "QFXBundleController.h"
#include "QTZInputController.h"

#include <CocoaFoundation/PersistentKeyPaths.h>
#include <CoreFoundation/CFData.h>
#include <Foundation/NSKeyValueCoding.h>
#include <Foundation/NSObjCRuntime.h>
#include <UIParamMapping/NSUIParamMapping.h>

#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>

#include <cmath>
#include <optional>

namespace {

constexpr qsizetype kMaximumSettingsEntries = 4096;
constexpr qsizetype kMaximumSettingsValueLength = 256 * 1024;
constexpr qsizetype kMaximumIdentityLength = 4096;

// An outlet of a nib object, by key; null when the object has no such key or it holds nothing.
QObject *Outlet(QObject *object, const char *key) {
    if (object == nullptr) return nullptr;
    const std::optional<QVariant> value = NSKeyValueCoding::accessorValueForKey(object, QString::fromLatin1(key));
    return value.has_value() ? NSKeyValueCoding::objectFromVariant(*value) : nullptr;
}

void Report(const QString &what, const QString &code) {
    NSLog(QStringLiteral("NSUILumoraView::%1 code : %2\n").arg(what, code));
}

// A plain composition name: no folder part, not hidden, not too long.
bool IsPlainName(const QString &name) {
    return !name.isEmpty() && name.size() <= 255 && !name.startsWith(QLatin1Char('.')) &&
           !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) && !name.contains(QChar(0));
}

// The first local file URL of the drag, or an empty URL.
QUrl DroppedFileURL(const QMimeData *data) {
    if (data == nullptr || !data->hasUrls()) return QUrl();
    for (const QUrl &url : data->urls())
        if (url.isLocalFile()) return url;
    return QUrl();
}

// The keys whose values are normal values (0 to 1).
bool IsNormalKey(const QString &key) {
    static const QStringList keys = {
        QStringLiteral("camera.interpolation.time"),   QStringLiteral("camera.interpolation.amplitude"),
        QStringLiteral("camera.interpolation.parameter"), QStringLiteral("camera.filter.vertical.amount"),
        QStringLiteral("camera.filter.horizontal.amount"), QStringLiteral("camera.draw.scale.xy"),
        QStringLiteral("camera.draw.translate.x"),     QStringLiteral("camera.draw.translate.y"),
        QStringLiteral("camera.draw.translate.z"),     QStringLiteral("camera.draw.angle"),
        QStringLiteral("camera.draw.angle.x"),         QStringLiteral("camera.draw.angle.y")};
    return keys.contains(key, Qt::CaseInsensitive);
}

}  // namespace

std::optional<QVariantMap> NSUILumoraView::checkedSettingsDictionary(const QVariantMap &settings) {
    if (settings.size() > kMaximumSettingsEntries) return std::nullopt;
    QVariantMap checked;
    for (auto it = settings.cbegin(); it != settings.cend(); ++it) {
        const QVariant &value = it.value();
        switch (value.typeId()) {
        case QMetaType::QString:
            if (value.toString().size() > kMaximumSettingsValueLength) continue;
            break;
        case QMetaType::QByteArray:
            if (value.toByteArray().size() > kMaximumSettingsValueLength) continue;
            break;
        case QMetaType::Bool:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Double:
        case QMetaType::Float:
            break;
        default:
            continue;  // lists, dictionaries, objects
        }
        if (it.key().isEmpty() || it.key().size() > 256) continue;
        if (IsNormalKey(it.key())) {
            // A number, put into 0 to 1; anything else is dropped.
            bool ok = false;
            const double number = value.typeId() == QMetaType::QString ? value.toString().trimmed().toDouble(&ok)
                                                                        : value.toDouble(&ok);
            if (!ok || !std::isfinite(number)) continue;
            if (number < 0.0 || number > 1.0) {
                checked.insert(it.key(), QString::number(number < 0.0 ? 0.0 : 1.0, 'f', 1));
                continue;
            }
        }
        checked.insert(it.key(), value);
    }
    return checked;
}

// ---- Drag and drop --------------------------------------------------------------------------------

void NSUILumoraView::dragAndDropRegisterUserInterface() { setAcceptDrops(true); }

bool NSUILumoraView::acceptFileName(const QString &fileName) {
    const QString extension = QFileInfo(fileName).suffix();
    if (extension.isEmpty()) {
        Report(QStringLiteral("acceptFileName"), QStringLiteral("urlFileExtension"));
        return false;
    }
    return extension.compare(QLatin1String("qtz"), Qt::CaseInsensitive) == 0;
}

bool NSUILumoraView::draggingEntered(const QMimeData *data) {
    if (DroppedFileURL(data).isEmpty()) return false;
    setDropHighlight(true);
    return true;
}

void NSUILumoraView::draggingExited() { setDropHighlight(false); }

void NSUILumoraView::setDropHighlight(bool highlight) {
    mDropHighlight = highlight;
    update();
}

bool NSUILumoraView::prepareForDragOperation(const QMimeData *data) {
    setDropHighlight(false);
    const QUrl url = DroppedFileURL(data);
    if (url.isEmpty()) return false;
    const QString path = url.toLocalFile();
    if (QFileInfo(path).suffix().isEmpty()) {
        Report(QStringLiteral("prepareForDragOperation"), QStringLiteral("urlFileExtension"));
        return false;
    }
    return acceptFileName(path) && QFileInfo(path).isFile();
}

bool NSUILumoraView::performDragOperation(const QMimeData *data, QObject *source) {
    if (source == this) return true;
    const QUrl url = DroppedFileURL(data);
    if (url.isEmpty()) {
        Report(QStringLiteral("performDragOperation"), QStringLiteral("fileURL"));
        return false;
    }
    return compositionOpenFileURL(url);
}

void NSUILumoraView::dragEnterEvent(QDragEnterEvent *event) {
    if (draggingEntered(event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void NSUILumoraView::dragLeaveEvent(QDragLeaveEvent *event) {
    draggingExited();
    event->accept();
}

void NSUILumoraView::dropEvent(QDropEvent *event) {
    QObject *source = event->source();
    const bool accepted = prepareForDragOperation(event->mimeData()) &&
                          performDragOperation(event->mimeData(), source);
    if (accepted) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

// ---- Identity -------------------------------------------------------------------------------------

namespace {
void ClearIdentity(QString &path, QString &urlPath, QString &url, QString &name) {
    path.clear();
    urlPath.clear();
    url.clear();
    name.clear();
}
}  // namespace

void NSUILumoraView::setCompositionName(const QString &name) {
    endCompositionDownload();  // a new choice ends the download of an earlier one
    ClearIdentity(mCompositionPath, mCompositionURLPath, mCompositionURL, mCompositionName);
    mCompositionName = name;
    if (auto *popUp = qobject_cast<QComboBox *>(outletEffectsPopupButton.data())) {
        const int index = popUp->findText(name);
        if (index >= 0) {
            const QSignalBlocker quiet(popUp);
            popUp->setCurrentIndex(index);
        }
    }
}

void NSUILumoraView::setCompositionPath(const QString &path) {
    if (!path.isEmpty()) {
        endCompositionDownload();
        ClearIdentity(mCompositionPath, mCompositionURLPath, mCompositionURL, mCompositionName);
    }
    mCompositionPath = path;
}

void NSUILumoraView::setCompositionURL(const QString &url) {
    endCompositionDownload();
    ClearIdentity(mCompositionPath, mCompositionURLPath, mCompositionURL, mCompositionName);
    mCompositionURL = url;
}

void NSUILumoraView::endCompositionDownload() {
    if (!mDownload) return;
    delete mDownload.data();
    setToolTip(QString());
}

// ---- Opening --------------------------------------------------------------------------------------

QByteArray NSUILumoraView::applicationCompositionDataWithCompositionName(const QString &name) {
    if (!IsPlainName(name)) return QByteArray();
    const QString path = DirectoryLocations::mainBundleResourcePath(name, QStringLiteral("qtz"));
    if (path.isEmpty()) return QByteArray();
    QFile file(path);
    if (file.size() > LumoraCompositionCache::kMaximumCompositionBytes || !file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

bool NSUILumoraView::openCompositionName(const QString &name, bool privately) {
    if (!IsPlainName(name)) return false;
    QByteArray data = applicationCompositionDataWithCompositionName(name);
    if (data.isEmpty())
        if (auto *packs = qobject_cast<QFXBundleController *>(outletBundleCompositions.data()))
            data = packs->compositionDataWithCompositionName(name);
    if (data.isEmpty()) return false;
    // The name is recorded only for a composition that opened: the identity never names
    // something that is not playing.
    const bool opened = openCompositionData(data);
    if (opened && !privately) setCompositionName(name);
    return opened;
}

bool NSUILumoraView::openCompositionNameWithSenderTitle(const QString &title) { return openCompositionName(title); }

bool NSUILumoraView::openCompositionData(const QByteArray &data) {
    if (data.isEmpty()) return false;
    CFDataRef bytes = CFDataCreate(nullptr, reinterpret_cast<const UInt8 *>(data.constData()), CFIndex(data.size()));
    if (bytes == nullptr) return false;
    CFDataRef rewritten = QTZInputController::transformCompositionData(bytes);
    CFRelease(bytes);
    if (rewritten == nullptr) return false;
    mCompositionData = QByteArray(reinterpret_cast<const char *>(CFDataGetBytePtr(rewritten)),
                                  qsizetype(CFDataGetLength(rewritten)));
    CFRelease(rewritten);
    return openCompositionCachedData();
}

bool NSUILumoraView::openCompositionCachedData() {
    // The composition plays in the render buffer on the root sharing context: the buffer stands
    // for the view's context here.
    closeCompositionPrivate();
    if (mCompositionData.isEmpty() || lumoraBuffer() == nullptr) return false;
    openCompositionPrivateData(mCompositionData);
    return isCompositionOpenPrivate();
}

bool NSUILumoraView::openCompositionCachedPath(const QString &path) {
    if (path.isEmpty() || !acceptFileName(path)) return false;
    QFile file(path);
    if (!QFileInfo(path).isFile() || file.size() > LumoraCompositionCache::kMaximumCompositionBytes ||
        !file.open(QIODevice::ReadOnly))
        return false;
    return openCompositionData(file.readAll());
}

bool NSUILumoraView::openCompositionPath(const QString &path) {
    if (path.size() > kMaximumIdentityLength) return false;
    const bool opened = openCompositionCachedPath(path);
    if (opened) setCompositionPath(path);
    return opened;
}

bool NSUILumoraView::compositionOpenFileURL(const QUrl &url) {
    if (!url.isLocalFile()) return false;
    return openCompositionPath(url.toLocalFile());
}

bool NSUILumoraView::openCompositionURL(const QString &urlString) {
    if (urlString.isEmpty() || urlString.size() > kMaximumIdentityLength) return false;
    const QUrl url(urlString, QUrl::StrictMode);
    if (!url.isValid()) return false;
    if (url.isLocalFile()) return openCompositionPath(url.toLocalFile());
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) return false;

    const QString cached = LumoraCompositionCache::cachedPathForURL(url);
    if (!cached.isEmpty()) {
        if (!openCompositionCachedPath(cached)) return false;
        setCompositionURL(urlString);
        mCompositionURLPath = cached;
        return true;
    }

    openCompositionName(QStringLiteral("Loading"), true);
    setCompositionURL(urlString);
    auto *download = new LumoraCompositionDownload(url, QString(), this);
    mDownload = download;
    connect(download, &LumoraCompositionDownload::progress, this, [this, urlString](qint64 received, qint64 total) {
        setToolTip(total > 0 ? QStringLiteral("Loading %1 (%2%)").arg(urlString).arg(received * 100 / total)
                             : QStringLiteral("Loading %1 (%2 KB)").arg(urlString).arg(received / 1024));
        emit compositionDownloadProgress(received, total);
    });
    connect(download, &LumoraCompositionDownload::finished, this,
            [this, download, urlString](const QString &path, const QString &error) {
                if (!error.isEmpty()) NSLog(QStringLiteral("NSUILumoraView::openCompositionURL %1: %2\n").arg(urlString, error));
                // A later open of something else wins over a late download.
                if (!path.isEmpty() && mCompositionURL == urlString) {
                    mCompositionURLPath = path;
                    openCompositionCachedPath(path);
                }
                if (mDownload == download) mDownload = nullptr;
                setToolTip(QString());
                download->deleteLater();
                emit compositionDownloadFinished(path, error);
            });
    if (!download->start()) {
        Report(QStringLiteral("openCompositionURL"), QStringLiteral("theDownload"));
        mDownload = nullptr;
        download->deleteLater();
        return false;
    }
    return true;
}

void NSUILumoraView::closeComposition() {
    closeCompositionPrivate();
    setCompositionPath(QString());
}

bool NSUILumoraView::reloadComposition() {
    closeComposition();
    return openCompositionCachedData();
}

bool NSUILumoraView::resetComposition() { return openCompositionName(QStringLiteral("iSight")); }

QString NSUILumoraView::getURLCachedPathName(const QString &url) {
    return LumoraCompositionCache::cachedPathForURL(QUrl(url, QUrl::StrictMode));
}

QString NSUILumoraView::getUserCompositionsFilePath(const QString &fileName) {
    const QString folder = LumoraCompositionCache::cacheFolderPath();
    if (folder.isEmpty()) {
        Report(QStringLiteral("getUserCompositionsFilePath"),
               QStringLiteral("UserCompositionsFolder.GetUnixPath(sUserCompositionsPath)"));
        return QString();
    }
    if (!LumoraCompositionCache::isSafeCacheFileName(fileName)) return QString();
    return QDir(folder).filePath(fileName);
}

// ---- Bookmark settings ----------------------------------------------------------------------------

ParamMapping &NSUILumoraView::bookmarkParamMapping() {
    if (!mBookmarkMapping) mBookmarkMapping = std::make_unique<ParamMapping>(LumoraDesignBookmarkParamTable().rows);
    return *mBookmarkMapping;
}

void NSUILumoraView::bookmarksLinkUserInterfaceOnce() {
    if (mBookmarksLinked) return;
    mBookmarksLinked = true;
    ParamMapping &map = bookmarkParamMapping();
    for (const char *key : {"bookmark.refines", "requires.version", "camera.composition.menu",
                            "camera.composition.pathname", "camera.composition.url"})
        map.SetParamControl(QLatin1String(key), this);
    map.SetParamControl(QStringLiteral("camera.shutter.menu"), outletShutterPopupButton.data());
    QObject *layer = outletLumoraLayerController.data();
    map.SetParamControl(QStringLiteral("camera.background.color.rgba"), Outlet(layer, "outletBackgroundColorWell"));
    map.SetParamControl(QStringLiteral("camera.background.color.erase"), Outlet(layer, "outletBackgroundColorDraw"));
    map.SetParamControl(QStringLiteral("camera.background.picture.enabled"), Outlet(layer, "outletBackgroundImageDraw"));
    QObject *picture = Outlet(layer, "outletBackgroundImageView");
    for (const char *key : {"camera.background.picture.menu", "camera.background.picture.url",
                            "camera.background.picture.pathname"})
        map.SetParamControl(QLatin1String(key), picture);
    QObject *matrix = Outlet(layer, "outletLayerMatrixController");
    const struct {
        const char *key, *outlet;
    } matrixRows[] = {
        {"camera.draw.enabled", "outletTextureEnabled"},      {"camera.draw.flipped.x", "outletTextureFlippedX"},
        {"camera.draw.flipped.y", "outletTextureFlippedY"},   {"camera.draw.scale.xy", "outletMatrixScaleSlider"},
        {"camera.draw.angle", "outletMatrixAngleZSlider"},    {"camera.draw.angle.x", "outletMatrixAngleXSlider"},
        {"camera.draw.angle.y", "outletMatrixAngleYSlider"},  {"camera.draw.translate.x", "outletMatrixTranslateXSlider"},
        {"camera.draw.translate.y", "outletMatrixTranslateYSlider"},
        {"camera.draw.translate.z", "outletMatrixTranslateZSlider"},
    };
    for (const auto &row : matrixRows) map.SetParamControl(QLatin1String(row.key), Outlet(matrix, row.outlet));
    for (const char *key : {"camera.interpolation.mirror", "camera.interpolation.auto", "camera.interpolation.time",
                            "camera.interpolation.amplitude", "camera.interpolation.parameter"})
        map.SetParamControl(QLatin1String(key), outletInterpolator.data());
    for (const char *suffix : {"function.type", "function.phase", "function.amplitude", "function.frequency",
                               "quantization", "values", "savesamplevalues", "sampledata"}) {
        map.SetParamControl(QStringLiteral("camera.filter.vertical.%1").arg(QLatin1String(suffix)),
                            outletVerticalImageFilter.data());
        map.SetParamControl(QStringLiteral("camera.filter.horizontal.%1").arg(QLatin1String(suffix)),
                            outletHorizontalImageFilter.data());
    }
    map.SetParamControl(QStringLiteral("camera.filter.horizontal.amount"), outletLumoraBuffer.data());
    map.SetParamControl(QStringLiteral("camera.filter.vertical.amount"), outletLumoraBuffer.data());
    if (auto *input = qobject_cast<QTZInputController *>(outletInputController.data())) input->mapParamControls();
}

QVariantMap NSUILumoraView::currentSettingsDictionary(bool includeAllParameters) {
    QVariantMap settings;
    settings.insert(QStringLiteral("bookmark.version"), 1);
    bookmarksLinkUserInterfaceOnce();
    bookmarkParamMapping().AddParamsToDictionary(settings);
    if (auto *input = qobject_cast<QTZInputController *>(outletInputController.data()))
        input->addControlParamsToDictionary(&settings, includeAllParameters);
    return settings;
}

bool NSUILumoraView::setSettingsDictionary(const QVariantMap &settings) {
    if (settings.isEmpty()) return false;
    const std::optional<QVariantMap> checked = checkedSettingsDictionary(settings);
    if (!checked) {
        NSLog(QStringLiteral("NSUILumoraView::setSettingsDictionary refused %1 entries\n").arg(settings.size()));
        return false;
    }
    bookmarksLinkUserInterfaceOnce();
    ParamMapping &map = bookmarkParamMapping();
    bool known = false;
    for (auto it = checked->cbegin(); it != checked->cend() && !known; ++it)
        known = !map.FindParam(it.key()).name.isEmpty() || it.key().startsWith(QLatin1String("video.input."));
    if (!known) return false;
    bool applied = true;
    beginUpdateCompositionSequence();
    try {
        map.SetParamsFromDictionary(*checked);
        if (auto *input = qobject_cast<QTZInputController *>(outletInputController.data()))
            applied = input->setControlParamsFromDictionary(*checked);
    } catch (const std::exception &exception) {
        NSLog(QStringLiteral("NSUILumoraView::setSettingsDictionary exception:%1\n").arg(QString::fromUtf8(exception.what())));
        applied = false;
    }
    endUpdateCompositionSequence();
    return applied;
}

QString NSUILumoraView::currentSettingsDictionaryName() {
    QString name;
    if (QObject *browser = outletBrowseController.data())
        if (::respondsToSelector(browser, "designName")) name = ::performSelector(browser, "designName").toString();
    return QStringLiteral("My %1").arg(name);
}

void NSUILumoraView::setCompositionRefinesParamValue(const QString &value) {
    if (value.compare(QLatin1String("defaults"), Qt::CaseInsensitive) == 0) resetDefaultValues(this);
}

QString NSUILumoraView::compositionNameValue() const {
    return mCompositionPath.isEmpty() && mCompositionURL.isEmpty() ? mCompositionName : QString();
}

void NSUILumoraView::setCompositionNameValue(const QString &name) {
    if (!name.isEmpty()) openCompositionName(name);
}

QString NSUILumoraView::compositionPathValue() const { return mCompositionURL.isEmpty() ? mCompositionPath : QString(); }

void NSUILumoraView::setCompositionPathValue(const QString &path) {
    if (!path.isEmpty()) openCompositionPath(path);
}

void NSUILumoraView::setCompositionURLParamValue(const QString &url) {
    if (!url.isEmpty()) openCompositionURL(url);
}

void NSUILumoraView::resetDefaultValues(QObject *sender) {
    beginUpdateCompositionSequence();
    try {
        QObject *layer = outletLumoraLayerController.data();
        NSParamMapping::sendSetter(Outlet(layer, "outletBackgroundImageView"), "setNameParamValue:",
                                   QStringLiteral("Samples"));
        if (QObject *matrix = Outlet(layer, "outletLayerMatrixController"))
            if (::respondsToSelector(matrix, "setDefaultValues")) ::performSelector(matrix, "setDefaultValues");
        NSParamMapping::sendSetter(Outlet(layer, "outletBackgroundColorDraw"), "setIntParam:", 1);
        NSParamMapping::sendSetter(Outlet(layer, "outletBackgroundColorWell"), "setColor4DParam:",
                                   QStringLiteral("rgba(0.0,0.0,0.0,1.0)"));
        NSParamMapping::sendSetter(Outlet(layer, "outletBackgroundImageDraw"), "setIntParam:", 0);
        NSParamMapping::sendSetter(outletShutterPopupButton.data(), "setStringParamValue:", QStringLiteral("Default"));
        for (QObject *controller : {outletInputController.data(), outletInterpolator.data()})
            if (controller != nullptr && ::respondsToSelector(controller, "resetDefaultValues"))
                ::performSelector(controller, "resetDefaultValues", NSKeyValueCoding::variantFromObject(sender));
    } catch (const std::exception &exception) {
        NSLog(QStringLiteral("NSUILumoraView::resetDefaultValues exception:%1\n").arg(QString::fromUtf8(exception.what())));
    }
    endUpdateCompositionSequence();
    if (sender != this) openCompositionName(QStringLiteral("iSight"));
}

void NSUILumoraView::openBackgroundImagePath(const QString &path) {
    NSParamMapping::sendSetter(Outlet(outletLumoraLayerController.data(), "outletBackgroundImageView"),
                               "setPathParamValue:", path);
}
