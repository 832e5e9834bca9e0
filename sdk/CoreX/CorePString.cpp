#include <CoreX/CorePString.h>

#include <cstring>

#include <CoreX/CoreException.h>
#include <CoreX/CoreMachDebugLog.h>

bool import_CorePString() { return import_CoreException() && import_CoreMachDebugLog(); }

CorePString::CorePString() { std::memset(mPString, 0, sizeof mPString); }

CorePString::CorePString(const CorePString &other) {
    std::memcpy(mPString, other.mPString, sizeof mPString);
}

CorePString::CorePString(const char *cstring) : CorePString() { *this = cstring; }

CorePString::CorePString(const unsigned char *prefixed) : CorePString() { *this = prefixed; }

void CorePString::SetLength(std::size_t length) {
    if (length > kMaxLength) length = kMaxLength;
    mPString[0] = static_cast<unsigned char>(length);
    mPString[length + 1] = 0;
}

CorePString &CorePString::operator=(const CorePString &other) {
    if (this != &other) std::memcpy(mPString, other.mPString, sizeof mPString);
    return *this;
}

CorePString &CorePString::operator=(const char *cstring) {
    if (cstring == nullptr) {
        SetLength(0);
        return *this;
    }
    const std::size_t length = ::strnlen(cstring, kMaxLength);
    std::memmove(mPString + 1, cstring, length);
    SetLength(length);
    return *this;
}

CorePString &CorePString::operator=(const unsigned char *prefixed) {
    if (prefixed == nullptr) {
        SetLength(0);
        return *this;
    }
    const std::size_t length = prefixed[0];
    std::memmove(mPString + 1, prefixed + 1, length);
    SetLength(length);
    return *this;
}

void CorePString::AssignTo(unsigned char *prefixed, unsigned short maximum) const {
    if (prefixed == nullptr) return;
    std::size_t count = length();
    if (count > maximum) count = maximum;
    std::memmove(prefixed + 1, mPString + 1, count);
    prefixed[0] = static_cast<unsigned char>(count);
}

const unsigned char *CorePString::strcat(const unsigned char *prefixed) {
    const std::size_t pstring_len = length();
    const std::size_t rhs_len = prefixed != nullptr ? prefixed[0] : 0;
    VERIFY(pstring_len+rhs_len);
    std::size_t count = rhs_len;
    if (pstring_len + count > kMaxLength) count = kMaxLength - pstring_len;
    if (count > 0) std::memmove(mPString + 1 + pstring_len, prefixed + 1, count);
    SetLength(pstring_len + count);
    return mPString;
}

bool CorePString::operator==(const unsigned char *prefixed) const {
    if (prefixed == nullptr) throw CoreException("Nil exception pointer");
    const CorePString rhs(prefixed);
    return std::strcmp(c_str(), rhs.c_str()) == 0;
}
