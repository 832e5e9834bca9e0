#include "UILocalLanguageStringID.h"

#include "UILocalLanguageController.h"

#include <mutex>

namespace {

// Filled by static objects before main, in whatever order the files are initialised: made on
// first use and never destroyed, so string IDs of any file can enter it.
struct Table {
    std::mutex mutex;
    std::map<std::string, std::string> texts;
};

Table &SharedTable() {
    static Table *table = new Table;
    return *table;
}

}  // namespace

void UILocalLanguageStringTable::setDefaultText(const std::string &stringID, const std::string &defaultText) {
    Table &table = SharedTable();
    std::lock_guard<std::mutex> lock(table.mutex);
    table.texts.insert_or_assign(stringID, defaultText);
}

std::map<std::string, std::string> UILocalLanguageStringTable::defaultTexts() {
    Table &table = SharedTable();
    std::lock_guard<std::mutex> lock(table.mutex);
    return table.texts;
}

UILocalLanguageStringID::UILocalLanguageStringID(const char *stringID, const char *defaultText)
    : mStringID(stringID != nullptr ? stringID : "") {
    UILocalLanguageStringTable::setDefaultText(mStringID, defaultText != nullptr ? defaultText : "");
}

QString UILocalLanguageStringWithID(const UILocalLanguageStringID &stringID) {
    const QVariant text = UILocalLanguageController::stringWithID(QString::fromStdString(stringID.stringID()));
    return text.isValid() ? text.toString() : QString();
}

std::string UILocalLanguageStringWithIDUTF8(const UILocalLanguageStringID &stringID) {
    return UILocalLanguageStringWithID(stringID).toStdString();
}

bool import_UILocalLanguageStringID() { return true; }
