// Compression settings read from arbitrary bytes, as they come back from the user defaults:
// as the standard compression component's atom container (the defaults value of the
// component's preferences) and as the settings data of a recording. Either is taken whole or
// refused, leaving the settings as they were; what is taken is written and read again
// unchanged.
#include "FuzzSupport.h"

#include <QCam/QImageCompressionSettings.h>
#include <QCam/QStandardCompressionComponent.h>

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    // The atom container straight into the layer's component.
    ComponentInstance sc = OpenDefaultComponent(StandardCompressionType, StandardCompressionSubType);
    LUMORA_CHECK(sc != nullptr);
    Handle container = NewHandle(Size(size));
    LUMORA_CHECK(container != nullptr);
    if (size > 0) std::memcpy(*container, data, size);
    QTAtomContainer before = nullptr;
    LUMORA_CHECK(SCGetSettingsAsAtomContainer(sc, &before) == noErr);
    const std::string beforeBytes(*before, size_t(GetHandleSize(before)));
    DisposeHandle(before);
    const ComponentResult taken = SCSetSettingsFromAtomContainer(sc, container);
    DisposeHandle(container);
    QTAtomContainer after = nullptr;
    LUMORA_CHECK(SCGetSettingsAsAtomContainer(sc, &after) == noErr);
    const std::string afterBytes(*after, size_t(GetHandleSize(after)));
    DisposeHandle(after);
    if (taken != noErr) LUMORA_CHECK(afterBytes == beforeBytes);
    SCTemporalSettings temporal{};
    LUMORA_CHECK(SCGetInfo(sc, scTemporalSettingsType, &temporal) == noErr);
    LUMORA_CHECK(temporal.frameRate > 0);
    Handle text = nullptr;
    LUMORA_CHECK(SCGetSettingsAsText(sc, &text) == noErr);
    DisposeHandle(text);
    CloseComponent(sc);

    // The same bytes through the wrapper, and as a recording's settings data.
    QStandardCompressionComponent component;
    const QByteArray componentBefore = component.settingsData();
    if (component.setSettingsData(bytes)) {
        const QByteArray written = component.settingsData();
        QStandardCompressionComponent again;
        LUMORA_CHECK(again.setSettingsData(written) && again.settingsData() == written);
    } else {
        LUMORA_CHECK(component.settingsData() == componentBefore);
    }

    QImageCompressionSettings settings(QByteArray{});
    const QByteArray settingsBefore = settings.settingsData();
    if (settings.setSettingsData(bytes)) {
        const QByteArray written = settings.settingsData();
        QImageCompressionSettings again(written);
        LUMORA_CHECK(again.settingsData() == written);
        LUMORA_CHECK(again.frameRate() > 0);
    } else {
        LUMORA_CHECK(settings.settingsData() == settingsBefore);
    }
    return 0;
}
