// USandboxUserFolder: a folder the user picked, kept as bookmark data (NSURL_SandboxURL.h:
// the folder's path on Linux) and as the URL it resolved to. The bookmark is stored in the
// user defaults under "<class name>UserDefaultsKey". Subclasses differ in their default
// folder: Movies, Pictures, Documents (the user's XDG folders, else the home folder) and the
// process's private temporary folder (USecurityAppSandbox).
//
// Key-value observing: folderPath, folderURL, sandboxURL, folderName and
// localizedDisplayFolderPath depend on securityURL.
#pragma once

#include <Foundation/NSObject.h>

#include <QByteArray>
#include <QString>
#include <QUrl>

// What hands out file URLs inside a folder (the movie recorder takes its output files here).
class FileURLFactory {
public:
    virtual ~FileURLFactory() = default;
    // A new file URL for the name inside the folder, or an empty URL.
    virtual QUrl createFileURLWithFileName(const QString &name) = 0;
    // Gives back a URL made by createFileURLWithFileName.
    virtual void releaseFileURLWithFileName(const QUrl &url) = 0;
};

class USandboxUserFolder : public NSObject, public FileURLFactory {
    Q_OBJECT
    Q_PROPERTY(QByteArray sandboxBookmarkData READ sandboxBookmarkData WRITE setSandboxBookmarkData NOTIFY
                   sandboxBookmarkDataChanged)
    Q_PROPERTY(QUrl securityURL READ securityURL NOTIFY securityURLChanged)
    Q_PROPERTY(QUrl folderURL READ folderURL)
    Q_PROPERTY(QUrl sandboxURL READ folderURL)
    Q_PROPERTY(QString folderPath READ folderPath)
    Q_PROPERTY(QString folderName READ folderName)
    Q_PROPERTY(QString localizedDisplayFolderPath READ localizedDisplayFolderPath)
public:
    // The home folder.
    Q_INVOKABLE explicit USandboxUserFolder(QObject *parent = nullptr);
    ~USandboxUserFolder() override;

    // Folders made from a URL, bookmark data or the bookmark stored under a defaults key.
    static USandboxUserFolder *sandboxPrefsFolderWithFolderURL(const QUrl &url, QObject *parent = nullptr);
    static USandboxUserFolder *sandboxPrefsFolderWithSandboxBookmarkData(const QByteArray &data,
                                                                         QObject *parent = nullptr);
    static USandboxUserFolder *sandboxPrefsFolderWithUserDefaultsKey(const QString &key, QObject *parent = nullptr);
    static QByteArray sandboxBookmarkDataWithFolderURL(const QUrl &url);
    static QUrl folderURLWithSandboxBookmarkData(const QByteArray &data);

    static QString defaultFolderPath();
    // "<class name>UserDefaultsKey" of this object's class.
    QString serializationKey() const;

    QByteArray sandboxBookmarkData() const { return mPrivateSandboxData; }
    QUrl securityURL() const { return mSecurityURL; }
    QUrl folderURL() const { return mSecurityURL; }
    QString folderPath() const;
    QString folderName() const;
    QString localizedDisplayFolderPath() const;

    // Ends access on the old URL, keeps the new one and begins access on it.
    void setSandboxURL(const QUrl &url);
    // New data (not equal to the data held) is kept and resolved; the folder's URL follows
    // (empty when the bookmark does not resolve). The same data again changes nothing.
    void setSandboxBookmarkData(const QByteArray &data);
    // Keeps both as given, without resolving.
    void setSandboxURLForSandboxBookmarkData(const QUrl &url, const QByteArray &data);

    void serializeSaveDataWithKey(const QString &key);
    void serializeLoadDataWithKey(const QString &key);

    // A file URL for one file name in the folder: the bookmark is resolved afresh, so a
    // folder that has gone gives an empty URL. The name must be one name (no "/", not "",
    // "." or ".."). URLs are values: releasing one has nothing to free.
    QUrl createFileURLWithFileName(const QString &name) override;
    void releaseFileURLWithFileName(const QUrl &url) override;

    QSet<QString> keyPathsForValuesAffectingValueForKey(const QString &key) const override;

signals:
    void sandboxBookmarkDataChanged();
    void securityURLChanged();

protected:
    // Subclasses: a folder for their own default folder.
    USandboxUserFolder(const QString &defaultFolder, QObject *parent);

private:
    void initWithFolderPath(const QString &path);

    QByteArray mPrivateSandboxData;
    QUrl mSecurityURL;
};

class USandboxMoviesFolder : public USandboxUserFolder {
    Q_OBJECT
public:
    Q_INVOKABLE explicit USandboxMoviesFolder(QObject *parent = nullptr);
    static QString defaultFolderPath();
};

class USandboxPicturesFolder : public USandboxUserFolder {
    Q_OBJECT
public:
    Q_INVOKABLE explicit USandboxPicturesFolder(QObject *parent = nullptr);
    static QString defaultFolderPath();
};

class USandboxDocumentsFolder : public USandboxUserFolder {
    Q_OBJECT
public:
    Q_INVOKABLE explicit USandboxDocumentsFolder(QObject *parent = nullptr);
    static QString defaultFolderPath();
};

class USandboxTemporaryFolder : public USandboxUserFolder {
    Q_OBJECT
public:
    Q_INVOKABLE explicit USandboxTemporaryFolder(QObject *parent = nullptr);
    static QString defaultFolderPath();
};

bool import_USandboxUserFolder();
