#include <QuickTime/Components.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <unordered_set>

#include <QuickTime/StandardCompression.h>

#include "QTComponent.h"

namespace {

struct LiveInstances {
    std::mutex lock;
    std::unordered_set<const void *> instances;
};

LiveInstances &Live() {
    static LiveInstances *live = new LiveInstances;  // outlives instances released at exit
    return *live;
}

}  // namespace

namespace lumora::qt {

ComponentInstanceRecord *LiveComponent(const void *instance) {
    if (instance == nullptr) return nullptr;
    LiveInstances &live = Live();
    std::lock_guard<std::mutex> guard(live.lock);
    if (live.instances.count(instance) == 0) return nullptr;
    return static_cast<ComponentInstanceRecord *>(const_cast<void *>(instance));
}

}  // namespace lumora::qt

ComponentInstanceRecord::ComponentInstanceRecord(const ComponentDescription &description, const char *name,
                                                 bool closable)
    : mDescription(description), mName(name), mClosable(closable) {
    LiveInstances &live = Live();
    std::lock_guard<std::mutex> guard(live.lock);
    live.instances.insert(this);
}

ComponentInstanceRecord::~ComponentInstanceRecord() {
    LiveInstances &live = Live();
    std::lock_guard<std::mutex> guard(live.lock);
    live.instances.erase(this);
}

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
    if (componentType == SeqGrabComponentType && componentSubType == 0) instance = NewSequenceGrabber();
    if (componentType == StandardCompressionType && componentSubType == StandardCompressionSubType)
        instance = NewStandardCompression();
    if (instance == nullptr) {
        // A registered component of that type and subtype.
        ComponentDescription looking{componentType, componentSubType, 0, 0, 0};
        if (Component component = FindNextComponent(nullptr, &looking))
            return OpenAComponent(component, ci);
        return invalidComponentID;
    }
    *ci = instance;
    return noErr;
}

OSErr CloseComponent(ComponentInstance aComponentInstance) {
    ComponentInstanceRecord *instance = LiveComponent(aComponentInstance);
    if (instance == nullptr || !instance->mClosable) return invalidComponentID;
    OSErr closed = noErr;
    if (CloseRegisteredInstance(instance, closed)) return closed;
    delete instance;
    return noErr;
}

OSErr GetComponentInfo(Component aComponent, ComponentDescription *cd, Handle componentName,
                       Handle componentInfo, Handle componentIcon) {
    ComponentInstanceRecord *instance = LiveComponent(aComponent);
    ComponentDescription description{};
    const char *name = nullptr;
    if (instance != nullptr) {
        description = instance->mDescription;
        name = instance->mName;
    } else if (!RegisteredComponentInfo(aComponent, description, name)) {
        return invalidComponentID;
    }
    if (cd != nullptr) *cd = description;
    if (componentName != nullptr) {
        const size_t length = std::min<size_t>(std::strlen(name), 255);
        SetHandleSize(componentName, Size(length + 1));
        if (MemError() != noErr) return MemError();
        (*componentName)[0] = char(length);
        std::memcpy(*componentName + 1, name, length);
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
