// A property list as the composition build tool edits it: read from XML through the Core
// Foundation layer, changed in place, written back as an XML property list.
//
// The writer sorts dictionary keys (the same source always gives the same bytes), escapes
// '&', '<' and '>' in every text and carriage returns as character references, and refuses
// what an XML property list cannot carry: control characters other than tab, newline and
// carriage return, and reals that are not finite.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qtzbuild {

struct PlistValue {
    enum class Kind { String, Integer, Real, Boolean, Data, Array, Dictionary };

    Kind kind = Kind::String;
    std::string text;          // a string's UTF-8 text, or data's bytes
    int64_t integer = 0;
    double real = 0;
    bool boolean = false;
    std::vector<PlistValue> items;   // an array's values, or a dictionary's values
    std::vector<std::string> keys;   // a dictionary's keys (parallel to items)

    static PlistValue String(std::string text);
    static PlistValue Integer(int64_t value);
    static PlistValue Real(double value);
    static PlistValue Boolean(bool value);
    static PlistValue Data(std::string bytes);
    static PlistValue Array(std::vector<PlistValue> items = {});
    static PlistValue Dictionary();

    bool isDictionary() const { return kind == Kind::Dictionary; }
    bool isArray() const { return kind == Kind::Array; }
    bool isString() const { return kind == Kind::String; }

    // A dictionary's value under the key, or null.
    PlistValue *find(const std::string &key);
    const PlistValue *find(const std::string &key) const;
    // Sets (replacing) or removes a dictionary's value.
    void set(const std::string &key, PlistValue value);
    bool remove(const std::string &key);
};

// The property list of XML text; false with the reason when it is not one.
bool ReadPropertyList(const std::string &xml, PlistValue *out, std::string *error);

// The XML text of the property list; false with the reason when it holds something XML
// cannot carry.
bool WritePropertyList(const PlistValue &value, std::string *xml, std::string *error);

}  // namespace qtzbuild
