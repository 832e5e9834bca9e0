// Component Manager: the components this layer provides are built in (graphics importers,
// the Sequence Grabber, movie controllers and the media handlers of open movies); an
// instance is opened by type and subtype and closed with CloseComponent.
#pragma once

#include <QuickTime/MacMemory.h>

// The layer's calls have C linkage, as the framework's exported entry points do.
extern "C" {

typedef SInt32 ComponentResult;

enum : ComponentResult {
    badComponentInstance = ComponentResult(0x80008001),
    badComponentSelector = ComponentResult(0x80008002),
};

enum : OSErr {
    invalidComponentID = -3000,  // no component of that type and subtype
};

struct ComponentDescription {
    OSType componentType;
    OSType componentSubType;
    OSType componentManufacturer;
    UInt32 componentFlags;
    UInt32 componentFlagsMask;
};

typedef struct ComponentRecord *Component;
typedef struct ComponentInstanceRecord *ComponentInstance;

// A new instance of the component of that type and subtype; null when there is none.
ComponentInstance OpenDefaultComponent(OSType componentType, OSType componentSubType);
// The same with a status: invalidComponentID when there is none.
OSErr OpenADefaultComponent(OSType componentType, OSType componentSubType, ComponentInstance *ci);
// Closes an instance opened by this layer. invalidComponentID for null or for an
// instance that belongs to another object (a media handler lives as long as its media).
OSErr CloseComponent(ComponentInstance aComponentInstance);
// The description (and, into the handles that are not null, the name as a Pascal string
// and an empty info and icon) of an instance passed as a Component; invalidComponentID
// for anything else.
OSErr GetComponentInfo(Component aComponent, ComponentDescription *cd, Handle componentName,
                       Handle componentInfo, Handle componentIcon);


struct FSRef;

enum : OSErr {
    componentDllLoadErr = -2091,         // the component file cannot be read or loaded
    componentDllEntryNotFoundErr = -2092  // an entry point it names is not exported
};

// Registers the components of a component bundle (ComponentRegistry.h) for this process.
// global must be false: components are never registered for other processes (paramErr).
// A null or unresolvable reference is fnfErr; a bundle whose Info.plist lists no valid
// component, or whose executable cannot be loaded, componentDllLoadErr; a missing entry
// point componentDllEntryNotFoundErr. On any error nothing is registered.
OSErr RegisterComponentFileRef(const FSRef *ref, Boolean global);
// The number of registered components that match: a field of 0 in `looking` (and a null
// `looking`) matches anything.
long CountComponents(const ComponentDescription *looking);

}  // extern "C"
