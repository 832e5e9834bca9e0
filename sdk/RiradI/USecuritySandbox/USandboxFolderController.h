// USandboxFolderController: a nib object that keeps one user folder. It loads the folder's
// bookmark when it wakes from the nib, saves it when the user picks another folder and at
// quit. USandboxFriendlyQuickSaveFolder is the controller of the snapshot folder: it hands
// the folder's path to the quick-save writer (NSBitmapImageRep_QuickSaveFile.h).
#pragma once

#include <Foundation/NSObject.h>

#include <QPointer>
#include <QString>
#include <QUrl>

#include <string>

class USandboxUserFolder;

class USandboxFolderController : public NSObject {
    Q_OBJECT
    Q_PROPERTY(QString outletOptionalUserDefaultsKey MEMBER mOptionalUserDefaultsKey)
    Q_PROPERTY(QObject *outletRequiredPrefsFolder READ outletRequiredPrefsFolder WRITE setOutletRequiredPrefsFolder)
public:
    Q_INVOKABLE explicit USandboxFolderController(QObject *parent = nullptr);
    ~USandboxFolderController() override;

    QObject *outletRequiredPrefsFolder() const;
    void setOutletRequiredPrefsFolder(QObject *folder);
    USandboxUserFolder *folder() const { return mFolder; }

    // Loads the folder; saves it at quit.
    Q_INVOKABLE virtual void awakeFromNib();
    Q_INVOKABLE void applicationWillTerminate();

    // The folder's key; without a folder the nib's key or else the class name.
    QString serializationKey() const;
    Q_INVOKABLE void serializedPrefsSave(QObject *sender = nullptr);
    Q_INVOKABLE void serializedPrefsLoad(QObject *sender = nullptr);
    // Asks the user for a folder, opening at the current one; the chosen folder is kept and
    // saved at once. A cancelled choice changes nothing. True when a folder was chosen.
    Q_INVOKABLE bool browseForFolder(QObject *sender = nullptr);

protected:
    // The folder panel (modal, folders only); an empty URL when cancelled.
    virtual QUrl runFolderPanel(const QString &startFolder);

private:
    QString mOptionalUserDefaultsKey;
    QPointer<USandboxUserFolder> mFolder;
    bool mObservingTermination = false;
};

class USandboxFriendlyQuickSaveFolder : public USandboxFolderController {
    Q_OBJECT
public:
    Q_INVOKABLE explicit USandboxFriendlyQuickSaveFolder(QObject *parent = nullptr);
    ~USandboxFriendlyQuickSaveFolder() override;

    // The controller that woke last from a nib, or null.
    static USandboxFriendlyQuickSaveFolder *sharedInstance();

    // Becomes the shared instance, loads the folder, and makes PNG the quick-save type.
    void awakeFromNib() override;
    bool loadQuickSaveDocumentFolderPathFromPreferences();
    QUrl quickSaveDocumentFolder() const;
    // The folder's path (loading it first when none is known; asking the user first when
    // browse is true); "" when there is no folder.
    std::string quickSaveDocumentFolderPath(bool browse);
    bool browseQuickSaveDocumentFolder(QObject *sender = nullptr);
    Q_INVOKABLE void quickSaveDocumentsFolderBrowseAction(QObject *sender = nullptr);
    Q_INVOKABLE void quickSaveDocumentsFolderUpdateAction(QObject *sender = nullptr);

    // The snapshot folder's path, pushed to the quick-save writer; null without a shared
    // instance or a folder. Asked before each snapshot.
    static QString sharedSnapshotFolder();
};

bool import_USandboxFolderController();
