// The window list's readers of window properties, which other programs write: kept apart
// from xcb so that they can be fed any bytes (fuzz/window_properties.cpp).
#pragma once

#include <CoreFoundation/CFString.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cg::window {

// One property as a GetProperty reply gives it.
struct Property {
    bool present = false;  // the reply's type is not None
    uint32_t type = 0;
    uint8_t format = 0;        // 8, 16 or 32 as the owner set it, anything as a reply says
    const void *data = nullptr;
    size_t length = 0;         // bytes at data
    bool cut = false;          // the owner's value goes on past what was read
};

// The atoms the readers compare types with.
inline constexpr uint32_t kAtomString = 31;  // STRING, predefined by the protocol

// The bytes of a format-8 property up to the first NUL; nullopt when missing or of
// another format.
std::optional<std::string> PropertyText(const Property &property);
// The values of a format-32 property.
std::vector<uint32_t> PropertyCardinals(const Property &property);
// Drops an incomplete UTF-8 sequence at the end of text (a value cut at the read limit).
void TrimPartialUTF8(std::string &text);
// A window's name (the caller releases it): _NET_WM_NAME as UTF-8, else WM_NAME (type
// utf8StringAtom as UTF-8, STRING as Latin-1, anything else when it is plain ASCII without
// escapes). Null when neither gives a name.
CFStringRef CreateWindowName(const Property &netWmName, const Property &wmName, uint32_t utf8StringAtom);

}  // namespace cg::window
