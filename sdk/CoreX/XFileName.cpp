#include <CoreX/XFileName.h>

#include <cstring>

#include <CoreX/CoreMachDebugLog.h>
#include <CoreX/LFSRefFunctions.h>
#include <CoreX/LUnixPath.h>
#include <CoreX/MAC_fopen.h>

bool import_XFileName() { return import_CoreMachDebugLog() && import_LFSRef() && import_MAC_fopen(); }

namespace {

// Later than: high seconds, then low seconds, then the fraction, all unsigned.
bool IsLater(const UTCDateTime &lhs, const UTCDateTime &rhs) {
    if (lhs.highSeconds != rhs.highSeconds) return lhs.highSeconds > rhs.highSeconds;
    if (lhs.lowSeconds != rhs.lowSeconds) return lhs.lowSeconds > rhs.lowSeconds;
    return lhs.fraction > rhs.fraction;
}

}  // namespace

bool XFileName::Construct(const XFileName *copyOf) {
    if (!VERIFY(copyOf)) {
        m_filename = LFSRef();
        return false;
    }
    m_filename = copyOf->m_filename;
    return IsConstructed();
}

bool XFileName::Construct(const FSRef &in_file_ref) {
    VERIFY(m_filename.Construct(&in_file_ref));
    return IsConstructed();
}

bool XFileName::Construct(const LFSRef &in_file_ref) {
    m_filename = in_file_ref;
    return IsConstructed();
}

bool XFileName::Construct(const FSSpec &in_file_spec, ConstStr255Param in_name) {
    VERIFY(m_filename.Construct(in_file_spec, in_name));
    return IsConstructed();
}

bool XFileName::Construct(const FSRef &parent, const char *relative_path) {
    FSRef item_ref;
    if (!FSRef_ConstructFromParentAndRelativeName(item_ref, &parent, relative_path)) {
        m_filename = LFSRef();
        return false;
    }
    VERIFY(m_filename.Construct(&item_ref));
    return IsConstructed();
}

bool XFileName::Construct(const char *in_unix_path) {
    VERIFY(m_filename.Construct(in_unix_path));
    bool fOk;
    VERIFY(fOk=IsConstructed());
    return fOk;
}

bool XFileName::IsConstructed() const {
    FSSpec file_spec;
    std::string unix_path;
    return m_filename.GetFileSpec(file_spec) && m_filename.GetUnixPath(unix_path);
}

bool XFileName::IsNewerThan(const XFileName &rhs) const {
    UTCDateTime our_time;
    UTCDateTime their_time;
    if (!VERIFY(GetDateTimeModified(our_time) && rhs.GetDateTimeModified(their_time))) return false;
    return IsLater(our_time, their_time);
}

bool XFileName::GetDateTimeModified(UTCDateTime &out_time) const {
    bool fOk;
    VERIFY(fOk=m_filename.GetDateTimeModified(out_time));
    return fOk;
}

bool XFileName::GetDateTimeCreated(UTCDateTime &out_time) const {
    bool fOk;
    VERIFY(fOk=m_filename.GetDateTimeCreated(out_time));
    return fOk;
}

bool XFileName::GetFileTypeCreator(OSType &out_type, OSType &out_code) const {
    bool fOk;
    VERIFY(fOk=m_filename.GetFileTypeCreator(out_type, out_code));
    return fOk;
}

bool XFileName::DeleteFile() {
    LFSRef &non_const = m_filename;
    bool fOk;
    VERIFY(fOk=non_const.FileDelete());
    return fOk;
}

bool XFileName::RenameFile(const char *in_filename) {
    LFSRef &non_const = m_filename;
    bool fOk;
    VERIFY(fOk=non_const.RenameFile(in_filename));
    return fOk;
}

bool XFileName::GetJustName(std::string &s_unix_name) const {
    bool fOk;
    VERIFY(fOk = m_filename.GetJustName(s_unix_name));
    return fOk;
}

bool XFileName::GetParentFolder(XFileName &out_folder) const {
    bool fOk;
    VERIFY(fOk = m_filename.GetParentFolder(out_folder.m_filename));
    return fOk;
}

bool XFileName::Exists() const { return m_filename.FileExists() || m_filename.IsFolder(); }

bool XFileName::GetSystemRepresentation(FSRef &out_file_ref) const {
    std::memset(&out_file_ref, 0, sizeof out_file_ref);
    if (!m_filename.GetNormalizedRef(out_file_ref)) return false;
    bool fOk;
    VERIFY(fOk = bool_FSRef_IsValid(out_file_ref));
    return fOk;
}

bool XFileName::GetSystemRepresentation(LUnixPath &out_unix_path) const {
    bool fOk;
    VERIFY(fOk = m_filename.GetUnixPath(out_unix_path));
    return fOk;
}

bool XFileName::GetSystemRepresentation(FSSpec &out_file_spec) const {
    bool fOk;
    VERIFY(fOk = m_filename.GetFileSpec(out_file_spec));
    return fOk;
}

std::FILE *XFileName::fopen(const char *open_mode) const {
    FSSpec theSpec;
    if (!VERIFY(GetSystemRepresentation(theSpec))) return nullptr;
    std::FILE *file;
    file = MAC_fopen(&theSpec,open_mode,MakeFourCharCode("BINA"),MakeFourCharCode("BINA"));
    return file;
}
