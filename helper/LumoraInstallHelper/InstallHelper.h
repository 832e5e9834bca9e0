// The install helper: installs a plug-in payload of the application into a location folder
// of the machine-wide Library, or deletes it from there, with administrator rights.
//
// Command lines (argv[0] is the program, argv[1] its path again, as the application passes
// it):
//   unprivileged   <helper> <helper> install|delete <location name> <payload path>
//   privileged     <helper> <helper> --self-repair install|delete <location name> <payload path>
//
// The unprivileged run checks the request, then starts the privileged run of this same
// program (/proc/self/exe) through pkexec when a graphical session is there and pkexec
// authorises it, else through "sudo -A" with the desktop's askpass helper; when it already
// runs as root it starts the privileged run directly. It waits for that run and exits with
// its status. The privileged run refuses to do anything unless it runs as root.
//
// Rules of the privileged run (every one is checked before anything is changed):
//   - the command is "install" or "delete"; the location is one of AuthDittoTool's names
//     (anything else, "System.Library.KEXT" included, is refused);
//   - the payload path is absolute; its last component (the text after its last "/") is
//     the name installed or deleted, and must not be "", "." or "..";
//   - the location folder's components below the domain's Library folder are real folders
//     (no links), made 0755 when missing (install only), and the folder resolves inside
//     the Library folder;
//   - the destination "<location folder>/<name>", links resolved, lies strictly inside the
//     location folder.
// An install copies the payload (a folder or a regular file; inside it, folders, regular
// files and symbolic links, links copied as links and never followed) into a fresh
// temporary folder inside the location folder, owned by root and the administrators' group
// ("sudo", else "wheel", else root's), modes kept less set-id bits and group or other
// write, then moves it over the destination in one rename. A delete removes the destination
// without following any link. Nothing outside the location folder is written.
//
// Exit statuses: 0 done; 64 bad command line; 65 request refused by the rules; 74 copying or
// deleting failed; 77 the privileged run is not root; 69 no way to obtain administrator
// rights; 71 the privileged run could not be started; 126 the user dismissed the
// authorisation; 128+n the privileged run died of signal n. Every line of the log goes to
// standard error and starts with "LumoraInstallHelper "; failures read
// "LumoraInstallHelper error: <what failed>".
#pragma once

#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace lumora::installhelper {

enum Status : int {
    kStatusDone = 0,
    kStatusUsage = 64,
    kStatusRefused = 65,
    kStatusNoElevation = 69,
    kStatusSpawnFailed = 71,
    kStatusFailed = 74,
    kStatusNotRoot = 77,
};

inline constexpr const char *kAuthDittoTool_Command_Install = "install";
inline constexpr const char *kAuthDittoTool_Command_Delete = "delete";
inline constexpr const char *kSelfRepair = "--self-repair";

enum class Command { Install, Delete };

struct Request {
    Command command = Command::Install;
    std::string commandName;
    std::string location;
    std::string payload;      // as given
    std::string name;         // its last component
    std::string libraryRoot;  // the domain's Library folder
    std::string folder;       // the location folder
    std::string destination;  // folder + "/" + name (resolved by ResolveInsideLocation)
};

// Checks the command, the location name and the payload path; no file-system access beyond
// reading the environment for the Library folders. False and the reason when refused.
bool ParseRequest(std::string_view command, std::string_view location, std::string_view payload, Request &request,
                  std::string &error);

// Resolves the location folder and the destination and checks that they lie inside the
// Library folder and the location folder. With `makeFolders` the missing location folders
// are made. `absent` tells that the location folder or the destination does not exist
// (then nothing has to be deleted). False and the reason when refused or failed.
bool ResolveInsideLocation(Request &request, bool makeFolders, bool &absent, std::string &error);

// The group that administrators belong to: "sudo", else "wheel", else 0.
gid_t AdministratorsGroup();

// The work of the privileged run, after ParseRequest; answers a status.
int RunPrivileged(Request &request, std::string &error);

// How the unprivileged run starts the privileged one.
enum class Elevation { AlreadyRoot, Pkexec, Sudo };
// The command line that starts the privileged run (the program to start first): the helper
// itself, "/usr/bin/pkexec" or "/usr/bin/sudo -A --", followed by the privileged command line.
std::vector<std::string> ElevatedCommand(Elevation elevation, const Request &request, const std::string &selfPath);

// The whole program. `selfPath` is the program's own file (for the relaunch).
int Main(int argc, const char *const *argv, const std::string &selfPath);

}  // namespace lumora::installhelper
