#include <USecuritySandbox/USandboxFolderController.h>

#include <QFileDialog>
#include <QFile>

#include <CocoaGraphics/NSBitmapImageRep_QuickSaveFile.h>
#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSNotification.h>
#include <USecuritySandbox/USandboxUserFolder.h>

bool import_USandboxFolderController() {
    return import_USandboxUserFolder() && import_NSBitmapImageRep_QuickSaveFile();
}

NS_REGISTER_CLASS(USandboxFolderController);
NS_REGISTER_CLASS(USandboxFriendlyQuickSaveFolder);

namespace {
const QString kWillTerminate = QStringLiteral("NSApplicationWillTerminateNotification");
QPointer<USandboxFriendlyQuickSaveFolder> sSharedQuickSaveFolder;
}  // namespace

USandboxFolderController::USandboxFolderController(QObject *parent) : NSObject(parent) {}

USandboxFolderController::~USandboxFolderController() {
    if (mObservingTermination) NSNotificationCenter::defaultCenter().removeObserver(this);
}

QObject *USandboxFolderController::outletRequiredPrefsFolder() const { return mFolder.data(); }

void USandboxFolderController::setOutletRequiredPrefsFolder(QObject *folder) {
    mFolder = qobject_cast<USandboxUserFolder *>(folder);
    VERIFY(folder == nullptr || mFolder != nullptr);
}

void USandboxFolderController::awakeFromNib() {
    serializedPrefsLoad(this);
    if (!mObservingTermination) {
        NSNotificationCenter::defaultCenter().addObserver(this, "applicationWillTerminate", kWillTerminate, nullptr);
        mObservingTermination = true;
    }
}

void USandboxFolderController::applicationWillTerminate() {
    serializedPrefsSave(this);
    NSNotificationCenter::defaultCenter().removeObserver(this, kWillTerminate, nullptr);
    mObservingTermination = false;
}

QString USandboxFolderController::serializationKey() const {
    if (mFolder) return mFolder->serializationKey();
    if (!mOptionalUserDefaultsKey.isEmpty()) return mOptionalUserDefaultsKey;
    return className();
}

void USandboxFolderController::serializedPrefsSave(QObject *) {
    if (mFolder) mFolder->serializeSaveDataWithKey(serializationKey());
}

void USandboxFolderController::serializedPrefsLoad(QObject *) {
    if (mFolder) mFolder->serializeLoadDataWithKey(serializationKey());
}

QUrl USandboxFolderController::runFolderPanel(const QString &startFolder) {
    const QString chosen = QFileDialog::getExistingDirectory(nullptr, QString(), startFolder);
    return chosen.isEmpty() ? QUrl() : QUrl::fromLocalFile(chosen);
}

bool USandboxFolderController::browseForFolder(QObject *) {
    const QUrl url = runFolderPanel(mFolder ? mFolder->folderPath() : QString());
    if (url.isEmpty() || !mFolder) return false;
    mFolder->setSandboxURLForSandboxBookmarkData(url, USandboxUserFolder::sandboxBookmarkDataWithFolderURL(url));
    serializedPrefsSave(this);
    return true;
}

USandboxFriendlyQuickSaveFolder::USandboxFriendlyQuickSaveFolder(QObject *parent) : USandboxFolderController(parent) {}

USandboxFriendlyQuickSaveFolder::~USandboxFriendlyQuickSaveFolder() = default;

USandboxFriendlyQuickSaveFolder *USandboxFriendlyQuickSaveFolder::sharedInstance() { return sSharedQuickSaveFolder.data(); }

void USandboxFriendlyQuickSaveFolder::awakeFromNib() {
    sSharedQuickSaveFolder = this;
    USandboxFolderController::awakeFromNib();
    loadQuickSaveDocumentFolderPathFromPreferences();
    QuickSaveFile::setQuikSaveImageType(QuikSaveImageType_PNG);
}

bool USandboxFriendlyQuickSaveFolder::loadQuickSaveDocumentFolderPathFromPreferences() {
    serializedPrefsLoad(this);
    return !quickSaveDocumentFolder().isEmpty();
}

QUrl USandboxFriendlyQuickSaveFolder::quickSaveDocumentFolder() const { return folder() ? folder()->folderURL() : QUrl(); }

std::string USandboxFriendlyQuickSaveFolder::quickSaveDocumentFolderPath(bool browse) {
    if (quickSaveDocumentFolder().isEmpty()) loadQuickSaveDocumentFolderPathFromPreferences();
    if (browse) browseQuickSaveDocumentFolder(this);
    if (!folder()) return {};
    const QString path = folder()->folderPath();
    return path.isNull() ? std::string() : QFile::encodeName(path).toStdString();
}

bool USandboxFriendlyQuickSaveFolder::browseQuickSaveDocumentFolder(QObject *sender) { return browseForFolder(sender); }

void USandboxFriendlyQuickSaveFolder::quickSaveDocumentsFolderBrowseAction(QObject *) {
    const std::string path = quickSaveDocumentFolderPath(true);
    if (!path.empty()) QuickSaveFile::setQuickSaveFolderUnixPathUTF8(path.c_str());
}

void USandboxFriendlyQuickSaveFolder::quickSaveDocumentsFolderUpdateAction(QObject *) {
    const std::string path = quickSaveDocumentFolderPath(false);
    if (!path.empty()) QuickSaveFile::setQuickSaveFolderUnixPathUTF8(path.c_str());
}

QString USandboxFriendlyQuickSaveFolder::sharedSnapshotFolder() {
    USandboxFriendlyQuickSaveFolder *shared = sharedInstance();
    if (shared == nullptr) return {};
    const std::string path = shared->quickSaveDocumentFolderPath(false);
    if (path.empty() || !QuickSaveFile::setQuickSaveFolderUnixPathUTF8(path.c_str())) return {};
    return QFile::decodeName(QByteArray::fromStdString(path));
}
