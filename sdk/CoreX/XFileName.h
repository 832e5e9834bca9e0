// XFileName: a portable file name over an LFSRef. Every operation forwards to the
// reference; failures are reported through the debug log.
//
// A name is valid (IsConstructed) when its reference yields both a classic file
// FSSpec and a POSIX path.
#pragma once

#include <cstdio>
#include <string>

#include <Carbon/Carbon.h>
#include <CoreX/LFSRef.h>

class LUnixPath;

class XFileName {
public:
    XFileName() = default;
    XFileName(const XFileName &copyOf) = default;
    XFileName &operator=(const XFileName &copyOf) = default;

    bool Construct(const XFileName *copyOf);
    bool Construct(const FSRef &in_file_ref);
    bool Construct(const LFSRef &in_file_ref);
    // The item an FSSpec names, or in_name (length-prefixed) below its folder.
    bool Construct(const FSSpec &in_file_spec, ConstStr255Param in_name = nullptr);
    // An existing item `relative_path` (one name) in the folder `parent`.
    bool Construct(const FSRef &parent, const char *relative_path);
    bool Construct(const char *in_unix_path);

    bool IsConstructed() const;

    // This file was modified later than rhs (false for equal times, and when either time
    // cannot be read).
    bool IsNewerThan(const XFileName &rhs) const;
    bool GetDateTimeModified(UTCDateTime &out_time) const;
    bool GetDateTimeCreated(UTCDateTime &out_time) const;
    bool GetFileTypeCreator(OSType &out_type, OSType &out_code) const;

    bool DeleteFile();
    bool RenameFile(const char *in_filename);
    bool GetJustName(std::string &s_unix_name) const;
    bool GetParentFolder(XFileName &out_folder) const;
    // The item exists (a file or a folder).
    bool Exists() const;

    bool GetSystemRepresentation(FSRef &out_file_ref) const;
    bool GetSystemRepresentation(LUnixPath &out_unix_path) const;
    bool GetSystemRepresentation(FSSpec &out_file_spec) const;

    // MAC_fopen of the file with type and creator 'BINA'.
    std::FILE *fopen(const char *open_mode) const;

    const LFSRef &GetFileRef() const { return m_filename; }

private:
    LFSRef m_filename;
};

bool import_XFileName();
