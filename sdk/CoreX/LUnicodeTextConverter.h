// LUnicodeTextConverter: the Text Encoding Converter objects for one script (or one text
// encoding hint). Legacy text becomes UTF-16 or UTF-8 in the HFS Plus mapping (canonically
// decomposed, as HFS Plus stores names); UTF-8 and UTF-16 convert into each other.
//
// Nothing here throws. Failures are reported through the debug log and answered as the
// status; a converter whose objects could not all be made answers paramErr from the
// conversions that need the missing ones.
#pragma once

#include <string>

#include <Carbon/Carbon.h>

class LUnicodeTextConverter {
public:
    LUnicodeTextConverter(ScriptCode inForScript, RegionCode inForRegion);
    explicit LUnicodeTextConverter(TextEncoding textEncodingHint);
    ~LUnicodeTextConverter();
    LUnicodeTextConverter(const LUnicodeTextConverter &) = delete;
    LUnicodeTextConverter &operator=(const LUnicodeTextConverter &) = delete;

    // Disposes what the converter holds, then makes the objects again. True when all six
    // were made.
    bool InitUnicodeTextConverter(ScriptCode inForScript, RegionCode inForRegion);
    bool InitUnicodeTextConverter(TextEncoding textEncodingHint);

    // Legacy text (a length-prefixed string, or bytes) to an HFS Unicode name, with loose
    // mappings. Text that does not fit in the name's 255 units answers the converter's
    // status (kTECOutputBufferFullStatus) with the units that fit.
    OSStatus TextToUnicode(const unsigned char *in_pstring, HFSUniStr255 &out_name);
    OSStatus TextToUnicode(const std::string &in_bytes, HFSUniStr255 &out_name);
    OSStatus UTF8ToUnicode(const std::string &in_utf8, HFSUniStr255 &out_name);
    OSStatus UnicodeToUTF8(const HFSUniStr255 &in_name, std::string &out_utf8);

    // The four infos of the HFS Plus mapping between the hint's base encoding and Unicode
    // 2.0 (decomposed): UTF-8 to text, UTF-16 to text, text to UTF-8, text to UTF-16. On
    // failure none is left and all four are null.
    static OSStatus CreateTextToUnicodeConverters(TextEncoding textEncodingHint, UnicodeToTextInfo &mUTF8ToTextInfo,
                                                  UnicodeToTextInfo &mUnicodeToTextInfo,
                                                  TextToUnicodeInfo &mTextToUTF8Info,
                                                  TextToUnicodeInfo &mTextToUnicodeInfo);
    // The same for the text encoding of a script and region; a region the system rejects
    // is retried without a region, and a script without an encoding falls back to MacRoman.
    static OSStatus CreateTextToUnicodeConverters(ScriptCode inForScript, RegionCode inForRegion,
                                                  UnicodeToTextInfo &mUTF8ToTextInfo,
                                                  UnicodeToTextInfo &mUnicodeToTextInfo,
                                                  TextToUnicodeInfo &mTextToUTF8Info,
                                                  TextToUnicodeInfo &mTextToUnicodeInfo);
    OSStatus CreateUnicodeToUnicodeConverters();

private:
    void Dispose();

    UnicodeToTextInfo mUTF8ToTextInfo = nullptr;
    UnicodeToTextInfo mUnicodeToTextInfo = nullptr;
    TextToUnicodeInfo mTextToUTF8Info = nullptr;
    TextToUnicodeInfo mTextToUnicodeInfo = nullptr;
    TECObjectRef mUTF8ToUnicode = nullptr;
    TECObjectRef mUnicodeToUTF8 = nullptr;
};

bool import_LUnicodeTextConverter();
