// Inside the QuickTime layer: the common part of every component instance.
#pragma once

#include <QuickTime/Components.h>
#include <QuickTime/QuickTimeComponents.h>

struct ComponentInstanceRecord {
    // Live instances are registered, so a stale or forged reference is recognised without
    // reading through it.
    ComponentInstanceRecord(const ComponentDescription &description, const char *name, bool closable);
    virtual ~ComponentInstanceRecord();
    ComponentInstanceRecord(const ComponentInstanceRecord &) = delete;
    ComponentInstanceRecord &operator=(const ComponentInstanceRecord &) = delete;

    ComponentDescription mDescription;
    const char *mName;  // a literal
    bool mClosable;     // false for instances owned by another object
};

namespace lumora::qt {

// The instance behind a ComponentInstance or Component, or null when it is not one.
ComponentInstanceRecord *LiveComponent(const void *instance);

// Closes an open instance of a registered component (its close request, then the record);
// false when the record is not one.
bool CloseRegisteredInstance(ComponentInstanceRecord *record, OSErr &err);
// The description and name of a registered component; false when it is not one.
bool RegisteredComponentInfo(const void *component, ComponentDescription &description, const char *&name);

// A graphics importer of the subtype (kQTFileTypePNG, kQTFileTypeJPEG, kQTFileTypeTIFF);
// null for another subtype.
ComponentInstanceRecord *NewGraphicsImporter(OSType subtype);

// A Sequence Grabber (SequenceGrabber.h).
ComponentInstanceRecord *NewSequenceGrabber();

// A standard compression component (StandardCompression.h).
ComponentInstanceRecord *NewStandardCompression();

}  // namespace lumora::qt
