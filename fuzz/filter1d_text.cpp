// The two text forms of a 1-D filter (letters, hexadecimal samples) read from arbitrary text,
// as presets and bookmarks bring them: the first input byte picks the form and the filter's
// starting size. A filter never grows past 256 samples, every sample stays within 0..1, and
// what was read is written and read back unchanged.
#include "FuzzSupport.h"

#include <CocoaGL/NSOGL1DFilterValues.h>

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    lumora::fuzz::Input input(data, size);
    const uint8_t selector = input.byte();
    const uint32_t before = uint32_t(input.byte()) + 1;  // 1..256 samples
    const std::string_view rest = input.rest();
    const QString text = QString::fromUtf8(rest.data(), qsizetype(rest.size()));

    NSOGL1DFilterValues filter(0.5f, before);
    if (selector & 1) {
        const uint32_t count = NSOGL1DFilterValues::valuesCountFromStringSampleValuesEncoding(text);
        const bool read = filter.setStringSampleValues(text);
        if (read && count > 0) LUMORA_CHECK(filter.valuesCount() >= std::min<uint32_t>(count, 256));
        if (!read) LUMORA_CHECK(filter.valuesCount() == before);
    } else {
        filter.setStringValues(text);
    }
    LUMORA_CHECK(filter.valuesCount() <= 256);
    for (uint32_t i = 0; i < filter.valuesCount(); ++i)
        LUMORA_CHECK(filter.values()[i] >= 0.0f && filter.values()[i] <= 1.0f);

    NSOGL1DFilterValues copy(0.0f, 1);
    LUMORA_CHECK(copy.setStringSampleValues(filter.stringSampleValues()));
    LUMORA_CHECK(copy.stringSampleValues() == filter.stringSampleValues());
    NSOGL1DFilterValues letters(0.0f, 1);
    letters.setStringValues(filter.stringValues());
    LUMORA_CHECK(letters.stringValues() == filter.stringValues());
    return 0;
}
