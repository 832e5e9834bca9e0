// The QuickTime data reference of a file reference of the foundation library (LFSRef).
//
// It lives beside the QuickTime calls it needs, since the foundation library does not
// depend on this one.
#pragma once

#include <CoreQ/QFramework.h>
#include <CoreX/LFSRef.h>

// A data reference (a handle the caller disposes) for the item: from the reference alone
// for an existing item (State_Exists), else from the item's folder and its name (the item
// need not exist, its folder must). paramErr (dataRef null, dataRefType 0) for an invalid
// reference or a missing folder; otherwise QuickTime's status.
OSErr GetQuickTimeDataRef(const LFSRef &ref, Handle &dataRef, OSType &dataRefType);

bool import_LFSRefQuickTime();
