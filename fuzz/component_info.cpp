// The component lists of component bundles' Info.plist files, read from arbitrary bytes:
// every entry that is accepted has four-character codes and a plain symbol name. The same
// bytes read as a bundle's Component.plist resources: texts and lists within their limits.
#include "FuzzSupport.h"

#include <QuickTime/ComponentRegistry.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::vector<lumora::qt::ComponentFileEntry> entries;
    const bool ok = lumora::qt::ParseComponentInfo(data, size, entries);
    LUMORA_CHECK(ok == !entries.empty());
    for (const lumora::qt::ComponentFileEntry &entry : entries) {
        LUMORA_CHECK(!entry.entryPoint.empty() && entry.entryPoint.size() <= 255);
        for (char c : entry.entryPoint)
            LUMORA_CHECK(c == '_' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'));
        for (OSType code : {entry.description.componentType, entry.description.componentSubType,
                            entry.description.componentManufacturer})
            for (int shift = 0; shift < 32; shift += 8) {
                const unsigned byte = (code >> shift) & 0xFF;
                LUMORA_CHECK(byte >= 0x20 && byte <= 0x7e);
            }
    }
    lumora::qt::ComponentResources resources;
    const bool read = lumora::qt::ParseComponentResources(data, size, resources);
    LUMORA_CHECK(read || (resources.name.empty() && resources.stringLists.empty()));
    LUMORA_CHECK(resources.name.size() <= 255 && resources.info.size() <= 255);
    LUMORA_CHECK(resources.stringLists.size() <= 64);
    for (const auto &list : resources.stringLists) {
        LUMORA_CHECK(list.second.size() <= 255);
        for (const std::string &item : list.second) LUMORA_CHECK(item.size() <= 255);
    }
    return 0;
}
