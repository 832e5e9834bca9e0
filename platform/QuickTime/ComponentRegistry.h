// Components registered from component bundles (RegisterComponentFileRef, Components.h).
//
// A component bundle is Name.component/Contents/Info.plist plus its executable
// Name.component/Contents/Linux/Name (a shared object). The Info.plist lists the bundle's
// components under "QTComponents", an array of dictionaries:
//
//   componentType, componentSubType, componentManufacturer   four-character strings
//   componentEntryPoint                                      the exported dispatch function
//
// Contents/Resources/Component.plist, when present, holds the component's resources: its
// registration record "thng" (a dictionary: "name" and "info", texts) and its string lists
// "STR#" (a dictionary from the list's number, as decimal text, to an array of texts).
// Names, infos and items are at most 255 bytes; at most 64 lists of 255 items.
//
// Registering reads that list, loads the executable (dlopen, RTLD_NOW | RTLD_LOCAL) and
// resolves every entry point before anything is registered; the components are then known
// to this process only. A file registered twice is registered once.
#pragma once

#include <QuickTime/Components.h>

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace lumora::qt {

struct ComponentFileEntry {
    ComponentDescription description;
    std::string entryPoint;
};

// The components listed by an Info.plist (XML or binary), in order. False for data that is
// not a property list, a list without "QTComponents", an empty list, an entry that is not
// a dictionary, a code that is not exactly four characters of 7-bit ASCII, or an entry point
// that is empty, longer than 255 bytes or holds characters other than letters, digits and
// '_'.
bool ParseComponentInfo(const void *bytes, size_t size, std::vector<ComponentFileEntry> &entries);

struct ComponentResources {
    std::string name;
    std::string info;
    std::vector<std::pair<SInt16, std::vector<std::string>>> stringLists;
};

// The resources of a Component.plist (XML or binary). False (and empty resources) for data
// that is not a property list dictionary, or holds a "thng" or "STR#" of the wrong kind, a
// list number that is not a decimal short, a text over the limits or too many lists or items.
bool ParseComponentResources(const void *bytes, size_t size, ComponentResources &resources);

}  // namespace lumora::qt
