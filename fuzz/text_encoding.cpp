// Text in every encoding from arbitrary bytes: Core Foundation strings made from the bytes
// and converted to each encoding (exact round trips through the Unicode forms), and the
// Unicode Converter and Text Encoding Converter both ways with small and large buffers.
//
// Input: an encoding selector, a Carbon encoding selector, an output size, control flags,
// then the text.
#include "FuzzSupport.h"

#include <algorithm>
#include <iterator>
#include <vector>

#include <Carbon/TextEncodingConverter.h>
#include <Carbon/UnicodeConverter.h>
#include <CoreFoundation/CoreFoundation.h>

namespace {

constexpr CFStringEncoding kCFEncodings[] = {
    kCFStringEncodingMacRoman, kCFStringEncodingWindowsLatin1, kCFStringEncodingISOLatin1,
    kCFStringEncodingNextStepLatin, kCFStringEncodingASCII, kCFStringEncodingUTF8,
    kCFStringEncodingNonLossyASCII, kCFStringEncodingUTF16, kCFStringEncodingUTF16BE,
    kCFStringEncodingUTF16LE,
};

constexpr TextEncodingBase kTextBases[] = {
    kTextEncodingMacRoman, kTextEncodingMacJapanese, kTextEncodingMacChineseTrad, kTextEncodingMacKorean,
    kTextEncodingMacArabic, kTextEncodingMacHebrew, kTextEncodingMacGreek, kTextEncodingMacCyrillic,
    kTextEncodingMacThai, kTextEncodingMacChineseSimp, kTextEncodingMacCentralEurRoman, kTextEncodingMacTurkish,
    kTextEncodingMacCroatian, kTextEncodingMacIcelandic, kTextEncodingMacRomanian, kTextEncodingMacFarsi,
    kTextEncodingMacUkrainian,
};

bool IsUnicodeForm(CFStringEncoding encoding) {
    return encoding == kCFStringEncodingUTF8 || encoding == kCFStringEncodingUTF16 ||
           encoding == kCFStringEncodingUTF16BE || encoding == kCFStringEncodingUTF16LE ||
           encoding == kCFStringEncodingNonLossyASCII;
}

void ConvertString(CFStringRef string) {
    const CFIndex length = CFStringGetLength(string);
    std::vector<UniChar> units(size_t(length) + 1);
    CFStringGetCharacters(string, CFRangeMake(0, length), units.data());
    for (CFStringEncoding encoding : kCFEncodings) {
        (void)CFStringGetCStringPtr(string, encoding);
        const CFIndex maximum = CFStringGetMaximumSizeForEncoding(length, encoding);
        LUMORA_CHECK(maximum >= 0);
        std::vector<UInt8> bytes(size_t(maximum) + 2);
        CFIndex used = -1;
        CFIndex converted = CFStringGetBytes(string, CFRangeMake(0, length), encoding, '?', false, bytes.data(),
                                             maximum, &used);
        LUMORA_CHECK(converted >= 0 && converted <= length && used >= 0 && used <= maximum);
        // Without a loss byte the conversion stops at the first character the encoding
        // cannot hold; when it does not, the bytes read back as the same string.
        converted = CFStringGetBytes(string, CFRangeMake(0, length), encoding, 0, false, bytes.data(), maximum, &used);
        LUMORA_CHECK(converted >= 0 && converted <= length && used >= 0 && used <= maximum);
        if (converted == length && IsUnicodeForm(encoding)) {
            CFStringRef back = CFStringCreateWithBytes(nullptr, bytes.data(), used, encoding, false);
            LUMORA_CHECK(back != nullptr && CFStringCompare(back, string, 0) == kCFCompareEqualTo);
            CFRelease(back);
        }
        (void)CFStringGetCString(string, reinterpret_cast<char *>(bytes.data()), CFIndex(bytes.size()), encoding);
    }
}

void CoreFoundationStrings(uint8_t selector, std::string_view text) {
    const CFStringEncoding encoding = kCFEncodings[selector % std::size(kCFEncodings)];
    const bool external = selector & 0x80;
    CFStringRef string = CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8 *>(text.data()),
                                                 CFIndex(text.size()), encoding, external);
    if (string != nullptr) {
        ConvertString(string);
        CFRelease(string);
    }
    // The text as a C string, which ends at a zero unit: a zero byte, or for UTF-16 two
    // zero bytes at an even offset (three zero bytes end it whatever the alignment).
    std::string cString(text);
    cString.append(2, '\0');
    string = CFStringCreateWithCString(nullptr, cString.c_str(), encoding);
    if (string != nullptr) CFRelease(string);
    unsigned char pascal[256];
    pascal[0] = UInt8(std::min<size_t>(text.size(), 255));
    std::memcpy(pascal + 1, text.data(), pascal[0]);
    string = CFStringCreateWithPascalString(nullptr, pascal, encoding);
    if (string != nullptr) CFRelease(string);
}

// Text in `encoding` to the Unicode side and back.
void UnicodeConverter(TextEncoding encoding, TextEncoding unicode, OptionBits flags, ByteCount outputSize,
                      std::string_view text) {
    const UnicodeMapping mapping{unicode, encoding, (flags & 0x80) ? kUnicodeUseHFSPlusMapping : kUnicodeUseLatestMapping};
    flags &= kUnicodeUseFallbacksMask | kUnicodeLooseMappingsMask;
    TextToUnicodeInfo toUnicode = nullptr;
    if (CreateTextToUnicodeInfo(&mapping, &toUnicode) == noErr) {
        std::vector<UniChar> out(outputSize / 2 + 1);
        ByteCount read = 0, written = 0;
        (void)ConvertFromTextToUnicode(toUnicode, text.size(), text.data(), flags, 0, nullptr, nullptr, nullptr,
                                       outputSize, &read, &written, out.data());
        LUMORA_CHECK(read <= text.size() && written <= outputSize);
        DisposeTextToUnicodeInfo(&toUnicode);

        UnicodeToTextInfo toText = nullptr;
        if (CreateUnicodeToTextInfo(&mapping, &toText) == noErr) {
            std::vector<char> back(outputSize + 1);
            ByteCount backRead = 0, backWritten = 0;
            (void)ConvertFromUnicodeToText(toText, written, out.data(), flags, 0, nullptr, nullptr, nullptr,
                                           outputSize, &backRead, &backWritten, back.data());
            LUMORA_CHECK(backRead <= written && backWritten <= outputSize);
            // The input read as Unicode units itself.
            std::vector<UniChar> units(text.size() / 2 + 1);
            std::memcpy(units.data(), text.data(), text.size());
            (void)ConvertFromUnicodeToText(toText, text.size(), units.data(), flags, 0, nullptr, nullptr, nullptr,
                                           outputSize, &backRead, &backWritten, back.data());
            LUMORA_CHECK(backWritten <= outputSize);
            DisposeUnicodeToTextInfo(&toText);
        }
    }
}

void EncodingConverter(TextEncoding from, TextEncoding to, ByteCount outputSize, std::string_view text) {
    TECObjectRef converter = nullptr;
    if (TECCreateConverter(&converter, from, to) != noErr) return;
    std::vector<uint8_t> out(outputSize + 1);
    ByteCount read = 0, written = 0;
    (void)TECConvertText(converter, reinterpret_cast<ConstTextPtr>(text.data()), text.size(), &read, out.data(),
                         outputSize, &written);
    LUMORA_CHECK(read <= text.size() && written <= outputSize);
    TECDisposeConverter(converter);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    lumora::fuzz::Input input(data, size);
    const uint8_t cfSelector = input.byte();
    const uint8_t textSelector = input.byte();
    const uint8_t sizeSelector = input.byte();
    const uint8_t flags = input.byte();
    const std::string_view text = input.rest();

    CoreFoundationStrings(cfSelector, text);

    const TextEncoding encoding =
        CreateTextEncoding(kTextBases[textSelector % std::size(kTextBases)], 0, kTextEncodingDefaultFormat);
    const TextEncodingVariant variants[] = {kUnicodeNoSubset, kUnicodeCanonicalDecompVariant,
                                            kUnicodeHFSPlusDecompVariant};
    const TextEncoding unicode = CreateTextEncoding(kTextEncodingUnicodeDefault, variants[(textSelector >> 5) % 3],
                                                    (flags & 0x40) ? kUnicodeUTF8Format : kUnicode16BitFormat);
    // A small buffer tests the full-buffer paths; 0 asks for room for everything.
    const ByteCount outputSize = sizeSelector ? sizeSelector : text.size() * 8 + 16;
    UnicodeConverter(encoding, unicode, flags, outputSize, text);
    EncodingConverter(encoding, unicode, outputSize, text);
    EncodingConverter(unicode, encoding, outputSize, text);
    return 0;
}
