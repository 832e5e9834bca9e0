// Window properties from arbitrary bytes: the window list's readers of the name, text and
// number properties other programs set on their windows (type, format, value, and whether
// the value was cut at the read limit).
//
// Input: flags (bit 0 the first property present, bit 1 it was cut, bit 2 the second present,
// bit 3 it was cut), the first property's format, the second's type selector and format, the
// first value's big-endian length, the first value, then the second value.
#include "FuzzSupport.h"

#include <CoreGraphics/CGWindowInternal.h>

#include <algorithm>
#include <string>

namespace {

constexpr uint32_t kUTF8String = 300;  // the atom UTF8_STRING stands for here

cg::window::Property Make(bool present, bool cut, uint32_t type, uint8_t format, std::string_view value) {
    cg::window::Property property;
    property.present = present;
    property.type = type;
    property.format = format;
    property.data = value.data();
    property.length = value.size();
    property.cut = cut;
    return property;
}

void Check(const cg::window::Property &property) {
    if (auto text = cg::window::PropertyText(property)) {
        LUMORA_CHECK(text->size() <= property.length);
        LUMORA_CHECK(text->find('\0') == std::string::npos);
        std::string trimmed = *text;
        cg::window::TrimPartialUTF8(trimmed);
        LUMORA_CHECK(trimmed.size() <= text->size() && text->size() - trimmed.size() <= 3);
        LUMORA_CHECK(text->compare(0, trimmed.size(), trimmed) == 0);
    }
    const auto values = cg::window::PropertyCardinals(property);
    LUMORA_CHECK(values.size() == (property.present && property.format == 32 ? property.length / 4 : 0));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    lumora::fuzz::Input input(data, size);
    const uint8_t flags = input.byte();
    const uint8_t netFormat = input.byte();
    const uint8_t wmTypes[] = {0, 1, 2};
    const uint8_t wmSelector = wmTypes[input.byte() % 3];
    const uint8_t wmFormat = input.byte();
    const size_t netLength = input.u16();
    const std::string_view rest = input.rest();
    const std::string_view netValue = rest.substr(0, std::min(netLength, rest.size()));
    const std::string_view wmValue = rest.substr(netValue.size());

    const uint32_t wmType = wmSelector == 0 ? kUTF8String : wmSelector == 1 ? cg::window::kAtomString : 400;
    const auto netName = Make(flags & 1, flags & 2, kUTF8String, netFormat, netValue);
    const auto wmName = Make(flags & 4, flags & 8, wmType, wmFormat, wmValue);
    Check(netName);
    Check(wmName);
    if (CFStringRef name = cg::window::CreateWindowName(netName, wmName, kUTF8String)) {
        // Never more characters than bytes were given.
        LUMORA_CHECK(size_t(CFStringGetLength(name)) <= std::max(netValue.size(), wmValue.size()));
        CFRelease(name);
    }
    return 0;
}
