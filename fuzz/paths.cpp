// Paths and file names from arbitrary bytes: every string operation of CoreUnixPath and
// LUnixPath (no file-system calls), and the HFS Unicode name made from the bytes as UTF-8,
// as a length-prefixed name in each script, as UTF-16 and UTF-32 and as a raw record.
//
// Input: a path up to a zero byte, an extension up to the next zero byte, a script
// selector, then the name bytes.
#include "FuzzSupport.h"

#include <iterator>
#include <vector>

#include <CoreX/CoreUnixPath.h>
#include <CoreX/LHFSUnicodeName.h>
#include <CoreX/LUnixPath.h>

namespace {

// The walk over a path's levels ends, each base ending in "/" and base + name giving back
// a tail of the path.
template <class Path>
void Walk(const Path &path) {
    std::string base, name;
    int steps = 0;
    for (bool more = path.GetFirstPair(base, name); more; more = path.GetNextPair(base, name)) {
        LUMORA_CHECK(++steps <= int(path.str().size()) + 2);
    }
}

template <class Path>
void Operations(const std::string &text, const std::string &extension) {
    Path path(text.c_str());
    const std::string &s = path.str();
    std::string out, other;
    (void)path.IsRoot();
    (void)path.IsFullyQualified();
    (void)path.IsPartiallyQualified();
    (void)path.IsQualified();
    (void)path.IsJustName();
    if (path.GetParent(out)) LUMORA_CHECK(out.size() < s.size() && s.compare(0, out.size(), out) == 0);
    if (path.GetJustName(out)) LUMORA_CHECK(!out.empty() && s.find(out) != std::string::npos);
    (void)Path::HasValidFileExtension(s);
    if (path.GetExtension(out)) LUMORA_CHECK(s.size() > out.size());
    (void)path.HasExtension(extension.c_str());
    (void)Path::GetPathBasePartAndNamePart(s, out, other);
    Walk(path);

    Path changed(path);
    (void)changed.ReplaceExtension(extension.c_str());
    Walk(changed);
    std::string slashed = s;
    (void)Path::AddTrailingSlash(slashed);
    LUMORA_CHECK(!slashed.empty() && slashed.back() == '/');
    (void)Path::RemoveTrailingSlash(slashed);
    (void)Path::AddPathExtension(slashed, extension.c_str());
    (void)Path::IsRootPath(slashed.c_str());
}

void HFSNames(const std::string &utf8, uint8_t script, std::string_view bytes) {
    std::string back;
    LHFSUnicodeName fromUTF8;
    if (fromUTF8.Construct(utf8)) {
        LUMORA_CHECK(fromUTF8.IsValid());
        (void)fromUTF8.GetUnixPath(back);
    }
    LUMORA_CHECK(fromUTF8.IsValid());  // a failed construction leaves the empty name

    unsigned char pascal[256];
    pascal[0] = UInt8(std::min<size_t>(bytes.size(), 255));
    std::memcpy(pascal + 1, bytes.data(), pascal[0]);
    const ScriptCode scripts[] = {smRoman, smJapanese, smTradChinese, smKorean, smArabic, smHebrew, smGreek,
                                  smCyrillic, smThai, smSimpChinese, smCentralEuroRoman, smSystemScript};
    LHFSUnicodeName fromScript(pascal, scripts[script % std::size(scripts)]);
    LUMORA_CHECK(fromScript.IsValid());
    (void)fromScript.GetUnixPath(back);
    std::wstring wide;
    (void)fromScript.GetUnixPath(wide);
    LHFSUnicodeName fromRoman;
    (void)fromRoman.Construct(pascal);

    // Zero-terminated UTF-16 and UTF-32 of the bytes.
    std::vector<unsigned short> utf16(bytes.size() / 2 + 1);
    std::memcpy(utf16.data(), bytes.data(), bytes.size() & ~size_t(1));
    LHFSUnicodeName fromUTF16;
    if (fromUTF16.Construct(utf16.data())) (void)fromUTF16.GetUnixPath(back);
    std::vector<unsigned int> utf32(bytes.size() / 4 + 1);
    std::memcpy(utf32.data(), bytes.data(), bytes.size() & ~size_t(3));
    LHFSUnicodeName fromUTF32;
    if (fromUTF32.Construct(utf32.data())) (void)fromUTF32.GetUnixPath(wide);

    // A record as another file layer may hand it over: any length, any units.
    HFSUniStr255 record{};
    std::memcpy(&record, bytes.data(), std::min(bytes.size(), sizeof record));
    LHFSUnicodeName copy;
    if (copy.Construct(record)) (void)copy.GetUnixPath(back);
    LHFSUnicodeName assigned;
    assigned = record;
    (void)assigned.GetUnixPath(back);
    (void)LHFSUnicodeName::ConvertFileName(pascal, scripts[script % std::size(scripts)], record);
    (void)LHFSUnicodeName::ConvertFileName(utf8, record);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    lumora::fuzz::Input input(data, size);
    const std::string path(input.untilZero());
    const std::string extension(input.untilZero());
    const uint8_t script = input.byte();
    const std::string_view name = input.rest();

    Operations<CoreUnixPath>(path, extension);
    Operations<LUnixPath>(path, extension);
    CFStringRef string = CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8 *>(path.data()),
                                                 CFIndex(path.size()), kCFStringEncodingUTF8, false);
    if (string != nullptr) {
        CoreUnixPath fromString(string);
        LUMORA_CHECK(fromString.str() == path);
        CFRelease(string);
    }
    HFSNames(path, script, name);
    return 0;
}
