// Folder Manager: the standard folders of each domain.
//
//   domain        Library folder
//   kUserDomain   $XDG_DATA_HOME/Lumora/Library (XDG_DATA_HOME default ~/.local/share)
//   kLocalDomain  $LUMORA_LOCAL_LIBRARY, else /usr/local/share/Lumora/Library
//   kSystemDomain $LUMORA_SYSTEM_LIBRARY, else /usr/share/Lumora/Library
//
//   folder type                              user domain                    local, system
//   kDomainLibraryFolderType ('dlib')        <Library>                      <Library>
//   kLogsFolderType ('logs')                 $XDG_STATE_HOME/Logs           <Library>/Logs
//                                            (default ~/.local/state)
//   kFrameworksFolderType ('fram')           <Library>/Frameworks           <Library>/Frameworks
//   kQuickTimeComponentsFolderType ('wcmp')  <Library>/QuickTime            <Library>/QuickTime
//   kDesktopPicturesFolderType ('dtp\xC6')   $XDG_DATA_HOME/backgrounds     <Library>/Desktop Pictures
//   kPictureDocumentsFolderType ('pdoc')     XDG Pictures folder            none (fnfErr)
//   kMovieDocumentsFolderType ('mdoc')       XDG Videos folder              none (fnfErr)
//   kDocumentsFolderType ('docs')            XDG Documents folder           none (fnfErr)
//   kDesktopFolderType ('desk')              XDG Desktop folder             none (fnfErr)
//
// The XDG user folders are read as xdg-user-dir reads them: the line XDG_PICTURES_DIR=
// (VIDEOS, DOCUMENTS, DESKTOP) of $XDG_CONFIG_HOME/user-dirs.dirs (default
// ~/.config/user-dirs.dirs), a double-quoted "$HOME/..." or absolute path; else the
// variable of the same name in the environment when it is an absolute path; else
// ~/Pictures, ~/Videos, ~/Documents, ~/Desktop.
//
// A variable that is unset, empty or not an absolute path counts as unset; ~ is $HOME (or
// the account's home folder when HOME is not an absolute path).
#pragma once

#include <string>

#include <Carbon/Files.h>

enum : short {
    kSystemDomain = -32766,
    kLocalDomain = -32765,
    kUserDomain = -32763,
};

enum : OSType {
    kDomainLibraryFolderType = MakeFourCharCode("dlib"),
    kLogsFolderType = MakeFourCharCode("logs"),
    kFrameworksFolderType = MakeFourCharCode("fram"),
    kQuickTimeComponentsFolderType = MakeFourCharCode("wcmp"),
    kDesktopPicturesFolderType = MakeFourCharCode("dtp\xC6"),
    kPictureDocumentsFolderType = MakeFourCharCode("pdoc"),
    kMovieDocumentsFolderType = MakeFourCharCode("mdoc"),
    kDocumentsFolderType = MakeFourCharCode("docs"),
    kDesktopFolderType = MakeFourCharCode("desk"),
};

enum : Boolean {
    kDontCreateFolder = 0,
    kCreateFolder = 1,
};

// Finds the folder of `folderType` in the domain `vRefNum` and makes a reference to it.
// A missing folder answers fnfErr unless createFolder is kCreateFolder, which creates it
// and every missing folder above it (mode 0700 in the user domain, 0755 elsewhere, less the
// umask). paramErr for an unknown folder type or a null ref, nsvErr for an unknown domain,
// fnfErr for a folder type the domain does not have, dirNFErr when something other than a
// folder stands at the path, the mapped system error when creating fails. On any error
// *ref is cleared (no reference).
OSErr FSFindFolder(short vRefNum, OSType folderType, Boolean createFolder, FSRef *ref);

namespace lumora::carbon {

// The path FSFindFolder maps a domain and folder type to, whether or not it exists.
// paramErr for an unknown folder type, nsvErr for an unknown domain, fnfErr when no home
// folder is known or the domain has no such folder.
OSErr FolderPath(short domain, OSType folderType, std::string &path);

}  // namespace lumora::carbon
