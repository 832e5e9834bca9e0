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
// The same with a status: invalidComponentID when there is none. A registered component
// (RegisterComponentFileRef) is opened when no built-in one matches; its open error comes back.
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

// ---- Registered components: finding, opening and calling ---------------------------------
//
// A registered component is called through its entry point with a parameter block and the
// instance's storage. The block holds the selector (`what`, negative for the Component
// Manager's own requests) and the call's parameters in call order, each widened to a machine
// word (a short as a sign-extended short, a byte as an unsigned byte); `paramSize` counts the
// bytes of parameters in use and is never more than the block's capacity.
//
// The component's code reaches the Component Manager of the program that loaded it: a
// component is linked without the platform layers, whose symbols it takes from the host
// program at load (hosts are linked with lumora_plugin_host, cmake/Lumora.cmake).

enum : SInt16 {
    kComponentOpenSelect = -1,      // params[0]: the new instance
    kComponentCloseSelect = -2,     // params[0]: the instance
    kComponentCanDoSelect = -3,     // params[0]: the selector asked about (a short)
    kComponentVersionSelect = -4,
    kComponentRegisterSelect = -5,
    kComponentTargetSelect = -6,
    kComponentUnregisterSelect = -7,
};

enum { kComponentMaxParameters = 8 };

struct ComponentParameters {
    UInt8 flags;
    UInt8 paramSize;  // bytes of params in use: parameter count x sizeof(long)
    SInt16 what;
    long params[kComponentMaxParameters];
};

typedef ComponentResult (*ComponentRoutineProcPtr)(ComponentParameters *cp, Handle componentStorage);
typedef void (*ProcPtr)(void);
typedef UInt32 ProcInfoType;

// Calls a component's routine with the storage and the block's parameters, as the layout
// code says: bits 0-3 calling convention (ignored), bits 4-5 result size, then two bits per
// parameter from bit 6 (1 = one byte, 2 = two bytes, 3 = four bytes or a pointer; 0 ends
// the list). The first parameter is the storage and must be code 3. paramErr (-50) for a
// null block or routine, a layout without the storage, with a gap or more than
// kComponentMaxParameters further parameters, or a block that holds fewer parameters than
// the layout names. Narrow parameters reach the routine in the low bits of a machine word,
// as the x86-64 and AArch64 calling conventions pass them.
ComponentResult CallComponentFunctionWithStorageProcInfo(Handle storage, ComponentParameters *params, ProcPtr func,
                                                        ProcInfoType procInfo);

// The registered component after `aComponent` (null: the first) that matches `looking` (a
// field of 0 matches anything; null matches every component); null after the last.
Component FindNextComponent(Component aComponent, const ComponentDescription *looking);
// Opens a new instance of a registered component: the component's open request is called
// with the new instance; its error (or badComponentInstance for a Component that is not
// registered) comes back and no instance is made.
OSErr OpenAComponent(Component aComponent, ComponentInstance *ci);
ComponentInstance OpenComponent(Component aComponent);
// Passes the block to the instance's component with the instance's storage.
// badComponentInstance for anything that is not an open instance of a registered component,
// paramErr for a null block or one whose paramSize exceeds its capacity.
ComponentResult CallComponent(ComponentInstance ci, ComponentParameters *params);
// 1 when the component answers the selector (its can-do request), else 0.
long ComponentFunctionImplemented(ComponentInstance ci, SInt16 ftnNumber);
// The instance's storage (null until the component sets it). Unknown instances: ignored / null.
void SetComponentInstanceStorage(ComponentInstance aComponentInstance, Handle theStorage);
Handle GetComponentInstanceStorage(ComponentInstance aComponentInstance);
// Item `index` (from 1) of the string list `strListID` of the component's resources (a
// registered component or an open instance of one), as a Pascal string. resNotFound (-192)
// when the list or the item does not exist, badComponentInstance for anything else.
OSErr GetComponentIndString(Component aComponent, Str255 theString, SInt16 strListID, SInt16 index);

}  // extern "C"
