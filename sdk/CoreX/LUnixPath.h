// LUnixPath: the path class of the Carbon file layer (LFSRef, LFSSpec, XFileName).
//
// The same value class and the same rules as CoreUnixPath (see CoreUnixPath.h): both are
// T_UnixPath, the one implementation of the string operations. LUnixPath has those only: no
// construction from Core Foundation objects or references, no file-system calls. Unlike
// CoreUnixPath, asking for the extension of a path that has none answers false without a
// report.
#pragma once

#include <string>

#include <CoreX/T_UnixPath.h>

class LUnixPath : public T_UnixPath<LUnixPath> {
public:
    LUnixPath() = default;
    LUnixPath(const char *in_unix_path);
    LUnixPath(const LUnixPath &copyOf) = default;
    virtual ~LUnixPath();

    LUnixPath &operator=(const LUnixPath &copyOf) = default;

private:
    friend class T_UnixPath<LUnixPath>;
    // This class's words for the faults the shared operations find (null: not reported).
    static const char *FaultText(CoreUnixPathRules::Fault fault);
};

bool import_LUnixPath();
