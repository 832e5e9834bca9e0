// Property lists (XML or binary) read from arbitrary bytes; what reads is written back as
// XML and read again.
#include "FuzzSupport.h"

#include <Foundation/NSPropertyList.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    NSPropertyListSerialization::Format format{};
    QString error;
    const QVariant plist = NSPropertyListSerialization::propertyListWithData(bytes, &format, &error);
    if (plist.isNull()) {
        LUMORA_CHECK(!error.isEmpty());  // a refusal always says why
        return 0;
    }
    // What was read is a property list, so it can be written, and its XML reads back.
    LUMORA_CHECK(NSPropertyListSerialization::propertyListIsValid(plist));
    const QByteArray xml = NSPropertyListSerialization::dataWithPropertyList(plist, &error);
    LUMORA_CHECK(!xml.isEmpty());
    NSPropertyListSerialization::Format again{};
    const QVariant reread = NSPropertyListSerialization::propertyListWithData(xml, &again, &error);
    LUMORA_CHECK(!reread.isNull());
    LUMORA_CHECK(again == NSPropertyListSerialization::NSPropertyListXMLFormat_v1_0);
    return 0;
}
