#include <CoreX/LUnixPath.h>

#include <CoreX/CoreMachDebugLog.h>

using CoreUnixPathRules::Fault;

bool import_LUnixPath() { return import_CoreMachDebugLog() && import_T_UnixPath(); }

LUnixPath::LUnixPath(const char *in_unix_path) { Construct(in_unix_path); }

LUnixPath::~LUnixPath() = default;

const char *LUnixPath::FaultText(Fault fault) {
    switch (fault) {
    case Fault::kRootPath: return " code : !LUnixPath::IsRootPath(path.c_str())";
    case Fault::kRootPathToChange: return " code : !LUnixPath::IsRootPath(inout_path.c_str())";
    // A path without an extension is no fault here.
    case Fault::kNoExtensionDot:
    case Fault::kExtensionInFolderName:
    case Fault::kExtensionStartsName:
    case Fault::kNoExtensionToCompare: return nullptr;
    case Fault::kNewExtensionNotAdded: return " code : LUnixPath::AddPathExtension(new_path,in_extension)";
    case Fault::kExtensionNotAdded: return " code : LUnixPath::AddPathExtension(inout_path,in_extension)";
    case Fault::kNullPath: return " code : LUnixPath_NotNull";
    default: return CoreUnixPathRules::SharedFaultText(fault);
    }
}
