#include <CoreX/CFTypeRefClass.h>

#include <CoreX/TCFNumber.h>
#include <CoreX/TCFString.h>

// TCFString and TCFNumber, used below, are linked through import_TCFString (which calls this).
bool import_CFTypeRefClass() { return true; }

CFTypeRefClass::TypeException::~TypeException() = default;

CFTypeID CFTypeRefClass::ThrowIfNotTypeMatch(const void *reference, CFTypeID type) {
    if (reference == nullptr || CFGetTypeID(reference) != type) throw TypeException();
    return type;
}

bool CFTypeRefClass::GetTypeDescription(CFTypeID type, std::string &text) {
    const TCFString description(CFCopyTypeIDDescription(type), kCFTypeRef_Owned);
    return description.GetValue(text, kCFStringEncodingUTF8);
}

bool CFTypeRefClass::GetDescription(const void *reference, std::string &text) {
    if (reference == nullptr) {
        text.clear();
        return false;
    }
    const TCFString description(CFCopyDescription(reference), kCFTypeRef_Owned);
    return description.GetValue(text, kCFStringEncodingUTF8);
}

namespace {

template <class T>
bool ConvertNumber(const void *reference, T &value) {
    const TCFNumber number(static_cast<CFNumberRef>(reference), kCFTypeRef_Borrowed);
    return number.GetValue(value);
}

}  // namespace

bool CFTypeRefClass::ConvertTo(const void *reference, double &value) { return ConvertNumber(reference, value); }
bool CFTypeRefClass::ConvertTo(const void *reference, float &value) { return ConvertNumber(reference, value); }
bool CFTypeRefClass::ConvertTo(const void *reference, unsigned long &value) { return ConvertNumber(reference, value); }
bool CFTypeRefClass::ConvertTo(const void *reference, long &value) { return ConvertNumber(reference, value); }
bool CFTypeRefClass::ConvertTo(const void *reference, unsigned int &value) { return ConvertNumber(reference, value); }
bool CFTypeRefClass::ConvertTo(const void *reference, int &value) { return ConvertNumber(reference, value); }
bool CFTypeRefClass::ConvertTo(const void *reference, unsigned short &value) { return ConvertNumber(reference, value); }
bool CFTypeRefClass::ConvertTo(const void *reference, short &value) { return ConvertNumber(reference, value); }

bool CFTypeRefClass::ConvertTo(const void *reference, std::string &text) {
    if (reference == nullptr) {
        text.clear();
        return false;
    }
    if (CFGetTypeID(reference) == T_CFTypeID<CFStringRef>::TypeID()) {
        const TCFString string(static_cast<CFStringRef>(reference), kCFTypeRef_Borrowed);
        return string.GetValue(text, kCFStringEncodingUTF8);
    }
    return GetDescription(reference, text);
}
