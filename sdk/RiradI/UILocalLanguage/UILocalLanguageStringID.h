// The static default-string table of the interface texts: one process-wide table
// {string ID: US English text}, both UTF-8, filled by static string-ID objects before main.
//
//     static const UILocalLanguageStringID kUSEnglish("app.string.localization.usenglish",
//                                                     "English (US)");
//     label->setText(UILocalLanguageStringWithID(kUSEnglish));
//
// Creating a string-ID object enters its ID and text into the table (made on first use; a
// later entry for the same ID replaces the text). The table is plain C++ data, so string-ID
// objects may be static objects of any file; the language controller copies the table into
// its defaults once, when it is made. The accessors ask the controller (stringWithID), so
// they answer in the selected language; they need the Qt application's thread.
#pragma once

#include <QString>

#include <map>
#include <string>

class UILocalLanguageStringID {
public:
    UILocalLanguageStringID(const char *stringID, const char *defaultText);

    const std::string &stringID() const { return mStringID; }

private:
    std::string mStringID;
};

// The text of the string ID in the selected language; null when no source knows it.
QString UILocalLanguageStringWithID(const UILocalLanguageStringID &stringID);
// The same as UTF-8; empty when no source knows it.
std::string UILocalLanguageStringWithIDUTF8(const UILocalLanguageStringID &stringID);

namespace UILocalLanguageStringTable {

// Enters (or replaces) an entry; what the string-ID objects do.
void setDefaultText(const std::string &stringID, const std::string &defaultText);
// A copy of the table, in key order.
std::map<std::string, std::string> defaultTexts();

}  // namespace UILocalLanguageStringTable

bool import_UILocalLanguageStringID();
