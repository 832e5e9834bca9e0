// Plug-in payloads: the plug-ins the application carries in its bundle, and where they go
// when they are installed for every user of the machine.
//
// A payload is a file name inside the bundle (looked up in Resources, then PlugIns, then
// Helpers) and a location name. Location names map to folders of the local domain's Library
// folder (/usr/local/share/Lumora/Library, or $LUMORA_LOCAL_LIBRARY; see Carbon/Folders.h):
//
//   "Library.QuickTime"       <Library>/QuickTime
//   "Library.CoreMediaIO"     <Library>/CoreMediaIO/Plug-Ins/DAL
//   "Library.CoreImage"       <Library>/Graphics/Image Units
//   "Library.QuartzComposer"  <Library>/Graphics/Quartz Composer Plug-Ins
//   "Library.Compositions"    <Library>/Compositions
//
// Kernel extensions have no place on Linux: "System.Library.KEXT" is no location here, and
// neither is any other name. An unknown location has no folder and no destination, so
// nothing is ever made of a name it does not know.
//
// These operations are shared by the application and by the install helper program
// (LumoraInstallHelper), which is why they use no Qt.
#pragma once

#include <string>
#include <string_view>

struct tagBundlePayload {
    std::string FileName;        // the payload's file name inside the bundle
    std::string SystemLocation;  // a location name of the table above
};

class AuthDittoTool {
public:
    // A known location: its name, the Carbon domain of its Library folder and the sub-folder.
    struct Location {
        const char *name;
        short domain;
        const char *subFolder;
    };
    // The location of that name; null for an unknown one.
    static const Location *locationWithName(std::string_view locationName);

    // The folder of the application bundle (the program's main bundle); "" when unknown.
    static std::string payloadBundle();
    // The path when it is not empty and something exists there (a dangling link does not
    // count), else "".
    static std::string bundleValidPathThatExistsOrNil(const std::string &path);
    // <bundle>/Contents/PlugIns/<name>, <bundle>/Contents/Resources/<name> and
    // <bundle>/Contents/Helpers/<name> when they exist, else "". An empty bundle means the
    // main bundle. A name that is empty, ".", ".." or holds a "/" finds nothing.
    static std::string mainBundlePayloadPathForPlugInName(const std::string &name, const std::string &bundle = {});
    static std::string mainBundlePayloadPathForResourceName(const std::string &name, const std::string &bundle = {});
    static std::string mainBundlePayloadPathForHelperName(const std::string &name, const std::string &bundle = {});

    // "<Library folder of the domain>/<subPath>" (the Library folder alone for an empty
    // sub-path); "" when the domain has none.
    static std::string libraryFolderInDomain(short domain, const std::string &subPath);
    static std::string usersLibraryFolderWithSubDirectoryPathName(const std::string &subPath);
    static std::string slashLibraryFolderWithSubDirectoryPathName(const std::string &subPath);
    static std::string systemLibraryFolderWithSubDirectoryPathName(const std::string &subPath);

    // The location's folder; "" for an unknown location.
    static std::string locationPathWithLocationName(std::string_view locationName);
    // The name a payload path installs under: the text after its last "/". "" when that is
    // empty, "." or "..", or longer than a file name may be: such a payload has no
    // destination (it would name the location folder itself or its parent).
    static std::string payloadNameWithSourcePath(std::string_view sourcePath);
    // "<location folder>/<payload name>"; "" for an unknown location or a payload without
    // a name.
    static std::string destinationWithLocationName(std::string_view locationName, std::string_view sourcePath);
};

// System version strings ("major.minor.fix") as numbers.
//
// The display code packs the version into Gestalt nibbles (10.9.5 is 0x1095, 10.10.0 is
// 0x10A0). It is not ordered: 10.16 wraps to 0x1000 and 11.0.1 gives 0x1001, below 10.6.
// Comparisons use the order code instead: major, minor and fix in 12, 10 and 10 bits, each
// clamped to its field, which grows with every version.
class AuthDittoSystem {
public:
    // The display code; 0 when the text is not three numbers separated by ".".
    static unsigned systemVersionWithSystemVersionString(std::string_view version);
    // The order code; 0 when the text is not three numbers separated by ".".
    static unsigned systemVersionOrderWithSystemVersionString(std::string_view version);
    // The running system's version as "major.minor.fix" (Gestalt).
    static std::string runningSystemVersionString();
    // Whether `running` is at least `required` (both version strings); false when either
    // cannot be read.
    static bool systemVersionIsAtLeast(std::string_view running, std::string_view required);

    std::string systemMinimumRequired = "10.6.6";
    unsigned systemMinimumRequiredUINT32() const;
    bool systemMeetsMinimumRequirement() const;

    static bool systemSnowLeopardOrLater();              // 10.6.0
    static bool systemMacAppStoreOrLater();              // 10.6.6
    static bool systemSnowLeopardFinalOrLater();         // 10.6.8
    static bool systemLionOrLater();                     // 10.7.0
    static bool systemMacAppStoreWithInAppPurchasesOrLater();  // 10.7.0
    static bool systemLionFinalOrLater();                // 10.7.5
    static bool systemMountainLionOrLater();             // 10.8.0
    static bool systemMountainLionFinalOrLater();        // 10.8.5
    static bool systemMavericksOrLater();                // 10.9.0
};
