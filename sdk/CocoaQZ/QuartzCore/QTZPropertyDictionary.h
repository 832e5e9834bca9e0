// NSMutableDictionary(QTZPropertyDictionary): a Quartz Composer composition held as one
// mutable property list, its graph read and edited in place, and the rewriting that lets the
// camera image be pushed into a composition from outside.
//
// The composition's paths, from the root:
//   "rootPatch" / "state"                     the graph (the state below), a mutable dictionary
//   state / "nodes"                           mutable array of node dictionaries, in file order
//   state / "connections"                     dictionary: connection name -> connection
//   state / "publishedInputPorts"             mutable array of {"key", "node", "port"}
// A node has a string "key", unique within the patch; a connection has "sourceNode" and
// "sourcePort" (and its destination, never touched here).
//
// Failed checks are reported, one VERIFY line each, with the check's text (" code : state"),
// the operation's method name ("-[NSMutableDictionary(QTZPropertyDictionary) state]") and the
// source "sdk/CocoaQZ/QuartzCore/QTZPropertyDictionary"; the operation then answers null or
// false. Nothing here throws. Values of the wrong type anywhere in the graph (a node that is
// not a dictionary, a key that is not a string, ...) never match and are never edited, and a
// container that is not mutable is never changed: the edit answers false with a report.
//
// Not thread-safe: one composition is built, edited and written by one thread at a time.
#pragma once

#include <CoreFoundation/CFArray.h>
#include <CoreFoundation/CFData.h>
#include <CoreFoundation/CFDictionary.h>
#include <CoreFoundation/CFString.h>

#include <memory>
#include <type_traits>

class QTZPropertyDictionary {
public:
    // Releases a created Core Foundation reference.
    struct ReleaseCF {
        void operator()(CFTypeRef object) const {
            if (object != nullptr) CFRelease(object);
        }
    };
    // A created reference, released when the holder goes.
    template <class T>
    using Owned = std::unique_ptr<std::remove_pointer_t<T>, ReleaseCF>;

    // ---- Class operations

    // The composition of the data: the property list (XML or binary) read with mutable
    // containers and given to propertyDictionaryFor. Data that is not a property list, or
    // whose root is not a dictionary, gives an empty composition.
    static QTZPropertyDictionary propertyDictionaryForData(CFDataRef data);
    // A new mutable dictionary holding the entries of the dictionary (a mutable copy of its
    // top level; what it holds is shared, not copied). Null or not a dictionary: empty.
    static QTZPropertyDictionary propertyDictionaryFor(CFDictionaryRef dictionary);

    // {"key": published name, "node": node key, "port": port name}; a null argument leaves
    // its entry out.
    static Owned<CFDictionaryRef> publishedPort(CFStringRef publishedName, CFStringRef nodeKey, CFStringRef portName);
    // {"class": "QCSplitter", "key": keyValue, "state": {"portClass": "QCGLImagePort",
    // "version": 1}}. The identifier is accepted and not stored.
    static Owned<CFDictionaryRef> imageSplitterNodeWithIdentifier(CFStringRef identifier, CFStringRef keyValue);
    // {"class": "QCImageFilter", "identifier": identifier, "key": keyValue, "state": S}, where S
    // is one immutable dictionary made on first use and shared by every such node:
    // {"anisotropy": 0, "borderColor": "R=0 G=0 B=0 A=0", "filteringMode": "Bilinear",
    // "mipmapLevels": 0, "target": "GL_TEXTURE_RECTANGLE_EXT", "wrappingMode": "ClampToEdge"}.
    static Owned<CFDictionaryRef> filterNodeWithIdentifier(CFStringRef identifier, CFStringRef keyValue);

    // The rewriting for the camera input (the effect input controller's
    // transformCompositionData: calls it; nil data from it is that caller's failed check
    // "resultData"):
    //   1. propertyDictionaryForData;
    //   2. the first of "VideoInput_1" ... "VideoInput_9" for which hasNodeWithKey says yes is
    //      the video-input key (none: null);
    //   3. that node is replaced in its place by imageSplitterNodeWithIdentifier
    //      ("unused_inputSplitter_unused", key) (a failure: null);
    //   4. addPublishedPort(publishedPort("cameraImage", key, "input")) (a failure: null; a
    //      composition already publishing "cameraImage" keeps its own);
    //   5. remapConnectionsWithSourceNode(key, "outputImage", "output"), its answer unused;
    //   6. quartzComposerPropertyListData.
    static Owned<CFDataRef> transformCompositionDataForCameraInput(CFDataRef data);

    // ---- Instance operations on the composition dictionary

    // The composition's dictionary, mutable, edited in place by the operations below.
    CFMutableDictionaryRef dictionary() const { return mDictionary.get(); }

    // The dictionary as an XML property list (version 1.0); null when it cannot be written.
    Owned<CFDataRef> quartzComposerPropertyListData() const;

    // The getters answer the entry as it is found (owned by the composition; of whatever type
    // it has, so callers check it).
    // rootPatch / "state". No dictionary "rootPatch": reports "rootPatch", null. A state that
    // is missing or not a mutable dictionary: reports "state" and answers it all the same.
    CFTypeRef state() const;
    // state / "nodes". No state: reports "state", null. Missing or not a mutable array:
    // reports "nodes" and answers it all the same.
    CFTypeRef nodes() const;
    // state / "connections". No state: reports "state", null.
    CFTypeRef connections() const;
    // state / "publishedInputPorts". No state: null, without a report. When missing, a new
    // empty mutable array is stored there (when the state is a mutable dictionary) and
    // answered.
    CFTypeRef inputPorts();

    // Every node's "key", in node order (nodes without one are left out); null and a report
    // of "nodes" when there is no array of nodes.
    Owned<CFArrayRef> nodeKeys() const;
    // Whether a node's "key" equals the key (case-sensitive). No nodes: reports "nodes",
    // false. Null key: reports "key", false.
    bool hasNodeWithKey(CFStringRef key) const;
    // Empties the first node whose "key" equals the key and fills it with the entries of
    // `node`, so that it keeps its place in "nodes"; true. The entries are taken before the
    // node is emptied, so `node` may be that very node (nothing changes) or be held by it. No
    // such node: false, without a report. No nodes, null key, null node: reports "nodes",
    // "key", "node"; false. A found node that is not mutable: reports, false.
    bool replaceNodeWithKey(CFStringRef key, CFDictionaryRef node);
    // The first published input port whose "key" equals the key; ports without one (or that
    // are not dictionaries) are skipped. Null when none.
    CFDictionaryRef inputPortWithKey(CFStringRef key);
    // True when a published port with the port's "key" exists already (nothing added), or
    // after appending the port to inputPorts. No published-port array: reports "inputPorts",
    // false. Null port: reports "inputPort", false. An array that is not mutable: reports,
    // false.
    bool addInputPortIfUniqueKey(CFDictionaryRef port);
    // addInputPortIfUniqueKey of the port. No published-port array: reports "inputPorts",
    // false. Null port: reports "publishedPort", false.
    bool addPublishedPort(CFDictionaryRef port);
    // For the connection of that name whose "sourceNode" equals sourceNodeKeyValue: empties it
    // and fills it with the entries of `connection` (taken first, as replaceNodeWithKey does);
    // true. No such connection, or another source node: false. No connections, null source
    // node key, null connection: reports "connections", "withSourceNodeKeyValue",
    // "connection"; false. A found connection that is not mutable: reports, false.
    bool replaceConnectionNamed(CFStringRef name, CFStringRef sourceNodeKeyValue, CFDictionaryRef connection);
    // Every connection leaving port oldSourcePort of node nodeKey is replaced, under its own
    // name, by a copy of itself leaving newSourcePort. True when every such connection was
    // replaced. No connections: reports "connections", false; a null argument: reports it
    // ("nodeKey", "oldSourcePort", "newSourcePort"), false.
    bool remapConnectionsWithSourceNode(CFStringRef nodeKey, CFStringRef oldSourcePort, CFStringRef newSourcePort);

private:
    explicit QTZPropertyDictionary(Owned<CFMutableDictionaryRef> dictionary) : mDictionary(std::move(dictionary)) {}

    Owned<CFMutableDictionaryRef> mDictionary;
};

bool import_QTZPropertyDictionary();
