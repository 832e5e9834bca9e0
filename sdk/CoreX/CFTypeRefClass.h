// CFTypeRefClass: static operations that describe any Core Foundation reference, convert it
// to numbers or text, and check its type.
#pragma once

#include <exception>
#include <string>

#include <CoreFoundation/CFBase.h>

class CFTypeRefClass {
public:
    // Thrown when a reference is null or not of the expected type.
    class TypeException : public std::exception {
    public:
        ~TypeException() override;
    };

    // Throws TypeException when reference is null or of another type; else answers type.
    static CFTypeID ThrowIfNotTypeMatch(const void *reference, CFTypeID type);

    // UTF-8 texts of CFCopyTypeIDDescription and CFCopyDescription.
    static bool GetTypeDescription(CFTypeID type, std::string &text);
    static bool GetDescription(const void *reference, std::string &text);

    // The value of a CFNumber (TCFNumber::GetValue). A reference that is not a CFNumber
    // throws TypeException; a null one gives false.
    static bool ConvertTo(const void *reference, double &value);
    static bool ConvertTo(const void *reference, float &value);
    static bool ConvertTo(const void *reference, unsigned long &value);
    static bool ConvertTo(const void *reference, long &value);
    static bool ConvertTo(const void *reference, unsigned int &value);
    static bool ConvertTo(const void *reference, int &value);
    static bool ConvertTo(const void *reference, unsigned short &value);
    static bool ConvertTo(const void *reference, short &value);

    // False for null; a CFString gives its UTF-8 text, anything else its description.
    static bool ConvertTo(const void *reference, std::string &text);
};

bool import_CFTypeRefClass();
