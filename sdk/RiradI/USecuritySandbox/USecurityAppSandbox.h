// USecurityAppSandbox: folders shared by a group of this developer's programs (group
// containers) and per-group temporary folders.
//
// On Linux there is no sandbox container: the group containers live in the user's Library
// folder ("<user Library>/Group Containers"). The process's temporary folder is private to
// the user: $XDG_RUNTIME_DIR when it is a real folder the user owns with mode 0700, else
// "<$TMPDIR or /tmp>/lumora-<uid>", created with mode 0700 and accepted only when it is a real
// folder (not a symbolic link) owned by the user and closed to everyone else. A folder
// another user could have made beforehand is refused, never used.
#pragma once

#include <QString>
#include <QUrl>

class USecurityAppSandbox {
public:
    // The developer team identifier the program is signed with (ten letters and digits).
    static const char *const kDeveloperTeamID;

    // "<team>.<groupID>".
    static QString identifierStringWithTeamIDGroupID(const QString &groupID);

    // The folder of the group containers (created when missing); null when it cannot be made.
    static QString groupContainersFolderPath();
    static QString groupContainerTeamIDFolderPath(const QString &groupID);

    // The process's private temporary folder (see above); null when none is safe.
    static QString processTemporaryFolderPath();
    // The group's folder in the temporary folder, created private (mode 0700) under exactly
    // that name when missing; null when it cannot be made or what stands there is not a
    // private folder of this user. groupID is one name: no "/", not "", "." or "..".
    static QString temporaryTeamIDFolderPath(const QString &groupID);

    // An existing path must be a folder; a missing one is created with the folders above it
    // and must then be a folder.
    static bool folderPathExistsOrCreatedSuccessfully(const QString &path);

    // File URLs of the group-container and temporary folders; empty when unavailable.
    static QUrl secureGroupSharedFolderURL(const QString &groupID);
    static QUrl secureTemporaryFolderURL(const QString &groupID);
};

bool import_USecurityAppSandbox();
