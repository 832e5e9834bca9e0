// Folder Manager: the standard folders of each domain.
//
//   domain        Library folder                                    Logs folder
//   kUserDomain   $XDG_DATA_HOME/Lumora/Library                     $XDG_STATE_HOME/Logs
//                 (XDG_DATA_HOME default ~/.local/share)            (default ~/.local/state)
//   kLocalDomain  $LUMORA_LOCAL_LIBRARY, else /usr/local/share/Lumora/Library   <Library>/Logs
//   kSystemDomain $LUMORA_SYSTEM_LIBRARY, else /usr/share/Lumora/Library        <Library>/Logs
//
//   kFrameworksFolderType ('fram')           <Library>/Frameworks
//   kQuickTimeComponentsFolderType ('wcmp')  <Library>/QuickTime
//   kLogsFolderType ('logs')                 the Logs folder above
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
    kLogsFolderType = MakeFourCharCode("logs"),
    kFrameworksFolderType = MakeFourCharCode("fram"),
    kQuickTimeComponentsFolderType = MakeFourCharCode("wcmp"),
};

enum : Boolean {
    kDontCreateFolder = 0,
    kCreateFolder = 1,
};

// Finds the folder of `folderType` in the domain `vRefNum` and makes a reference to it.
// A missing folder answers fnfErr unless createFolder is kCreateFolder, which creates it
// and every missing folder above it (mode 0700 in the user domain, 0755 elsewhere, less the
// umask). paramErr for an unknown folder type or a null ref, nsvErr for an unknown domain,
// dirNFErr when something other than a folder stands at the path, the mapped system error
// when creating fails. On any error *ref is cleared (no reference).
OSErr FSFindFolder(short vRefNum, OSType folderType, Boolean createFolder, FSRef *ref);

namespace lumora::carbon {

// The path FSFindFolder maps a domain and folder type to, whether or not it exists.
// paramErr for an unknown folder type, nsvErr for an unknown domain, fnfErr when no home
// folder is known.
OSErr FolderPath(short domain, OSType folderType, std::string &path);

}  // namespace lumora::carbon
