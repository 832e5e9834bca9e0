// A shared bookmark text as the camera view takes it: parsed into settings, then checked before
// anything is applied. A checked dictionary holds only strings, numbers and booleans of bounded
// length, and every normal value in it lies in 0 to 1.
#include "FuzzSupport.h"

#include <LumoraApp/NSUILumoraView.h>
#include <UIParamMapping/NSUIDesignCodes.h>

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::unique_ptr<NSUIDesignCodes> codes = NSUIDesignCodes::codesWithCodeString(text);
    if (codes == nullptr) return 0;
    const std::optional<QVariantMap> checked = NSUILumoraView::checkedSettingsDictionary(codes->codeDictionary());
    if (!checked) return 0;
    for (auto entry = checked->cbegin(); entry != checked->cend(); ++entry) {
        LUMORA_CHECK(!entry.key().isEmpty() && entry.key().size() <= 256);
        LUMORA_CHECK(entry.value().toString().size() <= 256 * 1024);
        if (entry.key().startsWith(QLatin1String("camera.interpolation.")) && entry.key() != QLatin1String("camera.interpolation.mirror") &&
            entry.key() != QLatin1String("camera.interpolation.auto")) {
            bool ok = false;
            const double value = entry.value().toString().trimmed().toDouble(&ok);
            LUMORA_CHECK(ok && std::isfinite(value) && value >= 0.0 && value <= 1.0);
        }
    }
    return 0;
}
