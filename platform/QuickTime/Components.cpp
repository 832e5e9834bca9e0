#include <QuickTime/Components.h>

#include <cstring>

#include "QTComponent.h"

namespace lumora::qt {

ComponentInstanceRecord *LiveComponent(const void *instance) {
    auto *record = static_cast<ComponentInstanceRecord *>(const_cast<void *>(instance));
    return record != nullptr && record->mMagic == ComponentInstanceRecord::kMagic ? record : nullptr;
}

}  // namespace lumora::qt

ComponentInstanceRecord::~ComponentInstanceRecord() { mMagic = 0; }

using namespace lumora::qt;

ComponentInstance OpenDefaultComponent(OSType componentType, OSType componentSubType) {
    ComponentInstance instance = nullptr;
    OpenADefaultComponent(componentType, componentSubType, &instance);
    return instance;
}

OSErr OpenADefaultComponent(OSType componentType, OSType componentSubType, ComponentInstance *ci) {
    if (ci == nullptr) return paramErr;
    *ci = nullptr;
    ComponentInstanceRecord *instance = nullptr;
    if (componentType == kGraphicsImporterComponentType) instance = NewGraphicsImporter(componentSubType);
    if (instance == nullptr) return invalidComponentID;
    *ci = instance;
    return noErr;
}

OSErr CloseComponent(ComponentInstance aComponentInstance) {
    ComponentInstanceRecord *instance = LiveComponent(aComponentInstance);
    if (instance == nullptr || !instance->mClosable) return invalidComponentID;
    delete instance;
    return noErr;
}

OSErr GetComponentInfo(Component aComponent, ComponentDescription *cd, Handle componentName,
                       Handle componentInfo, Handle componentIcon) {
    ComponentInstanceRecord *instance = LiveComponent(aComponent);
    if (instance == nullptr) return invalidComponentID;
    if (cd != nullptr) *cd = instance->mDescription;
    if (componentName != nullptr) {
        const size_t length = std::strlen(instance->mName);
        SetHandleSize(componentName, Size(length + 1));
        if (MemError() != noErr) return MemError();
        (*componentName)[0] = char(length);
        std::memcpy(*componentName + 1, instance->mName, length);
    }
    if (componentInfo != nullptr) {
        SetHandleSize(componentInfo, 1);
        if (MemError() != noErr) return MemError();
        (*componentInfo)[0] = 0;
    }
    if (componentIcon != nullptr) {
        SetHandleSize(componentIcon, 0);
        if (MemError() != noErr) return MemError();
    }
    return noErr;
}
