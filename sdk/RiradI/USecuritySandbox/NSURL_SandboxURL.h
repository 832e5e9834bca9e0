// NSURL(SandboxURL): bookmarks of folders the user picked, access to them, and the display
// form of a path.
//
// Linux has no security-scoped bookmarks: a folder's bookmark data is its absolute path
// (the file-system bytes, no terminator), for security-scoped and plain bookmarks alike.
// Resolving takes the path back and answers the folder's URL only while something exists
// there, so a bookmark of a folder since moved or deleted resolves to nothing. Beginning
// and ending access do nothing and answer false, as on a system without the sandbox.
#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

namespace SandboxURL {

// Bookmark creation and resolution options (kept for callers; the path form ignores them).
enum : unsigned {
    kBookmarkCreationSuitableForBookmarkFile = 1024,
    kBookmarkCreationWithSecurityScope = 2048,
    kBookmarkResolutionWithSecurityScope = 1024,
    kBookmarkResolutionWithoutMounting = 512,
};

// The bookmark of a file URL with an absolute path; empty for anything else.
QByteArray standardBookmarkDataForSandboxURL(const QUrl &url);
QByteArray securityBookmarkDataForSandboxURL(const QUrl &url);
QByteArray bookmarkDataForSandboxURL(const QUrl &url);

// The URL of the item a bookmark names; empty for empty data, data that is not an absolute
// path (a NUL byte, a relative path, over PATH_MAX bytes), or a path where nothing exists.
QUrl resolvedURLWithSecurityBookmarkData(const QByteArray &data, unsigned options);
QUrl sandboxURLWithSecurityBookmarkData(const QByteArray &data);

// No security-scoped resources here: false, nothing happens.
bool sandboxURLBeginSecurityAccess(const QUrl &url);
bool sandboxURLEndSecurityAccess(const QUrl &url);

// The URL's file path with symbolic links resolved (as it is when it cannot be resolved);
// null for a URL that is not a file URL.
QString sandboxURLFilePath(const QUrl &url);
QString localizedDisplaySandboxURLFilePath(const QUrl &url);
// "<volume>:<folder>/<folder>/...": the name of the volume holding the path (its label, else
// its mount point's last name, "/" for the root) and the path below the volume's mount
// point. "" for an empty path.
QString localizedDisplayPathWithSandboxFilePath(const QString &path);

}  // namespace SandboxURL

bool import_NSURL_SandboxURL();
