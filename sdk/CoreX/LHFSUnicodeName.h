// LHFSUnicodeName: an HFS Unicode file name (16-bit length, 255 UTF-16 units) with a 0
// unit after its characters, followed by two guard words (0xBAAD, 0xDEAD).
//
// A valid name is marked (both guard words intact) and null-terminated; it holds at most
// 253 characters (length < kMaxLength), so the 0 unit always fits. Every construction
// first clears the record; a construction that fails leaves the empty name, which is
// valid. Failures are reported through the debug log; nothing throws.
//
// The name is in memory an HFSUniStr255 followed by the guard words, so it can be passed
// wherever an HFSUniStr255 is expected.
#pragma once

#include <string>

#include <Carbon/Carbon.h>

class LHFSUnicodeName : public HFSUniStr255 {
public:
    typedef HFSUniStr255 superclass_t;

    enum : UInt16 {
        kMaxLength = 254,
        kGuardWord1 = 0xBAAD,  // 47789
        kGuardWord2 = 0xDEAD,  // 57005
    };

    // The argument of the special-name construction.
    enum : int {
        kSpecialName_Empty = 0,
        kSpecialName_DataFork = 256,      // FSGetDataForkName
        kSpecialName_ResourceFork = 257,  // FSGetResourceForkName
    };

    LHFSUnicodeName();
    explicit LHFSUnicodeName(int in_special_name);
    LHFSUnicodeName(const char *in_utf8_file_name);
    LHFSUnicodeName(const unsigned char *in_pstring, ScriptCode forScriptCode);
    LHFSUnicodeName(const HFSUniStr255 &copyOf);
    LHFSUnicodeName(const LHFSUnicodeName &copyOf);
    ~LHFSUnicodeName();

    LHFSUnicodeName &operator=(const HFSUniStr255 &copyOf);
    LHFSUnicodeName &operator=(const LHFSUnicodeName &copyOf);

    // 0, 256 or 257 (above); false for any other value.
    bool Construct(int in_special_name);
    // UTF-8; false for null, empty or a name of more than 253 UTF-16 units.
    bool Construct(const char *in_file_name);
    bool Construct(const std::string &in_file_name);
    // A MacRoman length-prefixed name.
    bool Construct(const unsigned char *in_mac_roman_file_name);
    // A length-prefixed name in the text encoding of a script (HFS Plus mapping, so accents
    // come out decomposed).
    bool Construct(const unsigned char *in_pstring, ScriptCode forScriptCode);
    // Null-terminated UTF-16, or UTF-32 (characters above U+FFFF become surrogate pairs);
    // false for null, empty, or more than 253 UTF-16 units.
    bool Construct(const unsigned short *in_file_name);
    bool Construct(const unsigned int *in_file_name);
    // A copy; false (and the empty name) for a source of kMaxLength units or more.
    bool Construct(const HFSUniStr255 &copyOf);

    // Sets the length (reported when kMaxLength or more; refused above 255).
    void set_length(UInt16 in_length);
    // Writes the 0 unit after the characters; false (reported) when length >= kMaxLength.
    bool NullTerminateIt();

    bool IsMarked() const { return mGuardWord1 == kGuardWord1 && mGuardWord2 == kGuardWord2; }
    bool IsNullTerminated() const { return length < 255 && unicode[length] == 0; }
    bool IsValid() const { return IsMarked() && IsNullTerminated(); }

    // The name as UTF-8 or wide text; the empty name gives "" and true. False (reported)
    // for a name that is not null-terminated or holds an unpaired surrogate.
    bool GetUnixPath(std::string &out_file_name) const;
    bool GetUnixPath(std::wstring &out_file_name) const;

    // A length-prefixed name in the script's encoding (and the current region) to UTF-16.
    static bool ConvertFileName(const unsigned char *in_pstring, ScriptCode forScriptCode,
                                HFSUniStr255 &out_file_name);
    static bool ConvertFileName(const std::string &in_utf8_file_name, HFSUniStr255 &out_file_name);

    // The process-wide fork names, made on first use.
    static const LHFSUnicodeName &sDataFork();
    static const LHFSUnicodeName &sResourceFork();

private:
    void Clear();

    UInt16 mGuardWord1;
    UInt16 mGuardWord2;
};

bool import_LHFSUnicodeName();
