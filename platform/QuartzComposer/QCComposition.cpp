#include <QuartzComposer/QCComposition.h>

#include <QuartzComposer/QCPatch.h>

#include <CoreFoundation/CFArray.h>
#include <CoreFoundation/CFError.h>
#include <CoreFoundation/CFNumber.h>
#include <CoreFoundation/CFPropertyList.h>
#include <CoreFoundation/CFString.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>

namespace {

// Bounds on what a file may hold: a composition with more is refused, not played slowly.
constexpr CFIndex kMaxNodes = 4096;
constexpr CFIndex kMaxConnections = 16384;
constexpr CFIndex kMaxPorts = 1024;
constexpr size_t kMaxFileBytes = size_t(64) << 20;

CFTypeRef Get(CFDictionaryRef d, const char *key) {
    CFStringRef k = CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8);
    CFTypeRef v = CFDictionaryGetValue(d, k);
    CFRelease(k);
    return v;
}

CFDictionaryRef GetDictionary(CFDictionaryRef d, const char *key) {
    CFTypeRef v = d ? Get(d, key) : nullptr;
    return v && CFGetTypeID(v) == CFDictionaryGetTypeID() ? static_cast<CFDictionaryRef>(v) : nullptr;
}

CFArrayRef GetArray(CFDictionaryRef d, const char *key) {
    CFTypeRef v = d ? Get(d, key) : nullptr;
    return v && CFGetTypeID(v) == CFArrayGetTypeID() ? static_cast<CFArrayRef>(v) : nullptr;
}

bool GetString(CFDictionaryRef d, const char *key, std::string *out) { return QCStateString(d, key, out); }

std::string Text(CFStringRef s) {
    QCValue v = QCValueFromPropertyList(s);
    return v.stringValue();
}

} // namespace

struct QCCompositionReader {
    std::string error;

    QCCompositionRef fail(std::string message) {
        error = std::move(message);
        return nullptr;
    }

    bool readPorts(CFArrayRef array, const char *what, std::vector<QCCompositionPublishedPort> *out) {
        if (!array) return true;
        const CFIndex count = CFArrayGetCount(array);
        if (count > kMaxPorts) return error = std::string("too many ") + what, false;
        std::set<std::string> keys;
        for (CFIndex i = 0; i < count; ++i) {
            CFTypeRef item = CFArrayGetValueAtIndex(array, i);
            if (!item || CFGetTypeID(item) != CFDictionaryGetTypeID())
                return error = std::string(what) + " entry " + std::to_string(i) + " is not a dictionary", false;
            const auto d = static_cast<CFDictionaryRef>(item);
            QCCompositionPublishedPort port;
            if (!GetString(d, "key", &port.key) || !GetString(d, "node", &port.node) || !GetString(d, "port", &port.port))
                return error = std::string(what) + " entry " + std::to_string(i) + " lacks \"key\", \"node\" or \"port\"",
                       false;
            if (!keys.insert(port.key).second)
                return error = std::string(what) + " publish \"" + port.key + "\" twice", false;
            out->push_back(std::move(port));
        }
        return true;
    }

    QCCompositionRef read(CFDataRef data) {
        if (!data) return fail("no data");
        CFErrorRef why = nullptr;
        CFPropertyListRef plist = CFPropertyListCreateWithData(nullptr, data, kCFPropertyListImmutable, nullptr, &why);
        if (!plist) {
            std::string reason = "unreadable";
            if (why) {
                if (CFStringRef description = CFErrorCopyDescription(why)) {
                    reason = Text(description);
                    CFRelease(description);
                }
                CFRelease(why);
            }
            return fail("not a property list (" + reason + ")");
        }
        QCCompositionRef result = readRoot(plist);
        CFRelease(plist);
        return result;
    }

    QCCompositionRef readRoot(CFPropertyListRef plist) {
        if (CFGetTypeID(plist) != CFDictionaryGetTypeID()) return fail("the top level is not a dictionary");
        const auto root = static_cast<CFDictionaryRef>(plist);
        auto composition = std::make_shared<QCComposition>();
        GetString(root, "name", &composition->m_attributes.name);
        GetString(root, "description", &composition->m_attributes.description);
        GetString(root, "copyright", &composition->m_attributes.copyright);
        CFDictionaryRef rootPatch = GetDictionary(root, "rootPatch");
        if (!rootPatch) return fail("no \"rootPatch\" dictionary");
        CFDictionaryRef state = GetDictionary(rootPatch, "state");
        if (!state) return fail("the root patch has no \"state\" dictionary");
        CFArrayRef nodes = GetArray(state, "nodes");
        if (!nodes) return fail("the root patch has no \"nodes\" array");
        const CFIndex nodeCount = CFArrayGetCount(nodes);
        if (nodeCount > kMaxNodes) return fail("more than " + std::to_string(kMaxNodes) + " nodes");

        // The nodes: each class known, each patch made once to learn its ports.
        std::vector<std::unique_ptr<QCPatch>> patches;
        for (CFIndex i = 0; i < nodeCount; ++i) {
            CFTypeRef item = CFArrayGetValueAtIndex(nodes, i);
            if (!item || CFGetTypeID(item) != CFDictionaryGetTypeID())
                return fail("node " + std::to_string(i) + " is not a dictionary");
            const auto d = static_cast<CFDictionaryRef>(item);
            QCCompositionNode node;
            if (!GetString(d, "key", &node.key) || node.key.empty())
                return fail("node " + std::to_string(i) + " has no \"key\"");
            if (composition->m_nodeIndex.count(node.key)) return fail("two nodes have the key \"" + node.key + "\"");
            if (!GetString(d, "class", &node.className))
                return fail("node \"" + node.key + "\" has no \"class\"");
            GetString(d, "identifier", &node.identifier);
            CFTypeRef nodeState = Get(d, "state");
            if (nodeState && CFGetTypeID(nodeState) != CFDictionaryGetTypeID())
                return fail("node \"" + node.key + "\": \"state\" is not a dictionary");
            node.state = nodeState ? static_cast<CFDictionaryRef>(CFRetain(nodeState))
                                   : CFDictionaryCreate(nullptr, nullptr, nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                                        &kCFTypeDictionaryValueCallBacks);
            double layer = 0;
            if (QCStateNumber(node.state, "layer", &layer)) node.layer = int(std::clamp(layer, -1e6, 1e6));
            const std::string key = node.key, className = node.className;
            composition->m_nodeIndex[key] = int(composition->m_nodes.size());
            composition->m_nodes.push_back(std::move(node));
            const QCCompositionNode &stored = composition->m_nodes.back();
            QCPatchFactory factory = QCPatchFactoryForClass(className);
            if (!factory) return fail("node \"" + key + "\" is of the unknown class \"" + className + "\"");
            std::string why;
            std::unique_ptr<QCPatch> patch = factory(stored, &why);
            if (!patch) return fail("node \"" + key + "\" (" + className + "): " + (why.empty() ? "unusable" : why));
            // The stored input values, each for a port the patch has.
            if (CFDictionaryRef values = GetDictionary(stored.state, "inputValues")) {
                const CFIndex n = CFDictionaryGetCount(values);
                if (n > kMaxPorts) return fail("node \"" + key + "\" has too many input values");
                std::vector<const void *> keys(static_cast<size_t>(n)), vals(static_cast<size_t>(n));
                CFDictionaryGetKeysAndValues(values, keys.data(), vals.data());
                for (CFIndex k = 0; k < n; ++k) {
                    if (!keys[size_t(k)] || CFGetTypeID(keys[size_t(k)]) != CFStringGetTypeID()) continue;
                    const std::string port = Text(static_cast<CFStringRef>(keys[size_t(k)]));
                    const QCPortDescription *description = patch->inputPort(port);
                    if (!description) continue;  // values of ports the engine does not have are ignored
                    composition->m_nodes.back().inputValues[port] =
                        QCConvertValue(QCValueFromPropertyList(static_cast<CFTypeRef>(vals[size_t(k)])),
                                       description->type, description->defaultValue);
                }
            }
            patches.push_back(std::move(patch));
        }

        // The wires: between existing ports; one wire per destination port.
        CFTypeRef connectionsValue = Get(state, "connections");
        if (connectionsValue && CFGetTypeID(connectionsValue) != CFDictionaryGetTypeID())
            return fail("\"connections\" is not a dictionary");
        if (connectionsValue) {
            const auto connections = static_cast<CFDictionaryRef>(connectionsValue);
            const CFIndex n = CFDictionaryGetCount(connections);
            if (n > kMaxConnections) return fail("too many connections");
            std::vector<const void *> keys(static_cast<size_t>(n)), vals(static_cast<size_t>(n));
            CFDictionaryGetKeysAndValues(connections, keys.data(), vals.data());
            std::set<std::pair<std::string, std::string>> fed;
            for (CFIndex i = 0; i < n; ++i) {
                QCCompositionConnection c;
                if (keys[size_t(i)] && CFGetTypeID(keys[size_t(i)]) == CFStringGetTypeID())
                    c.name = Text(static_cast<CFStringRef>(keys[size_t(i)]));
                const void *v = vals[size_t(i)];
                if (!v || CFGetTypeID(v) != CFDictionaryGetTypeID())
                    return fail("connection \"" + c.name + "\" is not a dictionary");
                const auto d = static_cast<CFDictionaryRef>(v);
                if (!GetString(d, "sourceNode", &c.sourceNode) || !GetString(d, "sourcePort", &c.sourcePort) ||
                    !GetString(d, "destinationNode", &c.destinationNode) ||
                    !GetString(d, "destinationPort", &c.destinationPort))
                    return fail("connection \"" + c.name + "\" lacks a source or destination");
                const int source = composition->nodeIndex(c.sourceNode);
                const int destination = composition->nodeIndex(c.destinationNode);
                if (source < 0 || destination < 0)
                    return fail("connection \"" + c.name + "\" names a node that does not exist");
                if (!patches[size_t(source)]->outputPort(c.sourcePort))
                    return fail("connection \"" + c.name + "\": node \"" + c.sourceNode + "\" has no output \"" +
                                c.sourcePort + "\"");
                if (!patches[size_t(destination)]->inputPort(c.destinationPort))
                    return fail("connection \"" + c.name + "\": node \"" + c.destinationNode + "\" has no input \"" +
                                c.destinationPort + "\"");
                if (!fed.insert({c.destinationNode, c.destinationPort}).second)
                    return fail("connection \"" + c.name + "\": input \"" + c.destinationPort + "\" of node \"" +
                                c.destinationNode + "\" is fed twice");
                composition->m_connections.push_back(std::move(c));
            }
            // Wires in a stable order (a dictionary has none of its own).
            std::sort(composition->m_connections.begin(), composition->m_connections.end(),
                      [](const QCCompositionConnection &a, const QCCompositionConnection &b) { return a.name < b.name; });
        }

        // No cycles: a node never feeds itself, however far round.
        const size_t count = composition->m_nodes.size();
        std::vector<std::vector<int>> feeds(count);
        for (const QCCompositionConnection &c : composition->m_connections)
            feeds[size_t(composition->nodeIndex(c.sourceNode))].push_back(composition->nodeIndex(c.destinationNode));
        std::vector<int> mark(count, 0);  // 0 unseen, 1 on the path, 2 done
        for (size_t start = 0; start < count; ++start) {
            if (mark[start]) continue;
            std::vector<std::pair<int, size_t>> stack{{int(start), 0}};
            mark[start] = 1;
            while (!stack.empty()) {
                auto &[node, next] = stack.back();
                if (next < feeds[size_t(node)].size()) {
                    const int to = feeds[size_t(node)][next++];
                    if (mark[size_t(to)] == 1)
                        return fail("node \"" + composition->m_nodes[size_t(to)].key + "\" is in a cycle");
                    if (mark[size_t(to)] == 0) {
                        mark[size_t(to)] = 1;
                        stack.push_back({to, 0});
                    }
                } else {
                    mark[size_t(node)] = 2;
                    stack.pop_back();
                }
            }
        }

        // The published ports, each on an existing port.
        CFTypeRef inputs = Get(state, "publishedInputPorts"), outputs = Get(state, "publishedOutputPorts");
        if ((inputs && CFGetTypeID(inputs) != CFArrayGetTypeID()) || (outputs && CFGetTypeID(outputs) != CFArrayGetTypeID()))
            return fail("published ports that are not arrays");
        if (!readPorts(static_cast<CFArrayRef>(inputs), "published inputs", &composition->m_inputs) ||
            !readPorts(static_cast<CFArrayRef>(outputs), "published outputs", &composition->m_outputs))
            return nullptr;
        for (const QCCompositionPublishedPort &p : composition->m_inputs) {
            const int node = composition->nodeIndex(p.node);
            if (node < 0 || !patches[size_t(node)]->inputPort(p.port))
                return fail("published input \"" + p.key + "\" names no input of a node (\"" + p.node + "\", \"" + p.port + "\")");
        }
        for (const QCCompositionPublishedPort &p : composition->m_outputs) {
            const int node = composition->nodeIndex(p.node);
            if (node < 0 || !patches[size_t(node)]->outputPort(p.port))
                return fail("published output \"" + p.key + "\" names no output of a node (\"" + p.node + "\", \"" + p.port + "\")");
        }
        return composition;
    }
};

QCComposition::~QCComposition() {
    for (QCCompositionNode &node : m_nodes)
        if (node.state) CFRelease(node.state);
}

static QCCompositionRef Finish(QCCompositionReader &reader, QCCompositionRef composition, std::string *error) {
    if (!composition) {
        std::fprintf(stderr, "Quartz Composer: the composition cannot be opened: %s\n", reader.error.c_str());
        if (error) *error = reader.error;
    } else if (error) {
        error->clear();
    }
    return composition;
}

QCCompositionRef QCComposition::compositionWithData(CFDataRef data, std::string *error) {
    QCCompositionReader reader;
    if (data && size_t(CFDataGetLength(data)) > kMaxFileBytes) return Finish(reader, reader.fail("a file too large"), error);
    return Finish(reader, reader.read(data), error);
}

QCCompositionRef QCComposition::compositionWithBytes(const void *bytes, size_t length, std::string *error) {
    QCCompositionReader reader;
    if (length > kMaxFileBytes) return Finish(reader, reader.fail("a file too large"), error);
    CFDataRef data = CFDataCreate(nullptr, static_cast<const UInt8 *>(bytes), CFIndex(length));
    QCCompositionRef result = reader.read(data);
    if (data) CFRelease(data);
    return Finish(reader, std::move(result), error);
}

QCCompositionRef QCComposition::compositionWithFile(const std::string &path, std::string *error) {
    QCCompositionReader reader;
    std::ifstream file(path, std::ios::binary);
    if (!file) return Finish(reader, reader.fail("cannot read \"" + path + "\""), error);
    std::string bytes;
    char buffer[65536];
    while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
        bytes.append(buffer, size_t(file.gcount()));
        if (bytes.size() > kMaxFileBytes) return Finish(reader, reader.fail("\"" + path + "\" is too large"), error);
    }
    return compositionWithBytes(bytes.data(), bytes.size(), error);
}

std::vector<std::string> QCComposition::inputKeys() const {
    std::vector<std::string> keys;
    for (const QCCompositionPublishedPort &p : m_inputs) keys.push_back(p.key);
    return keys;
}

std::vector<std::string> QCComposition::outputKeys() const {
    std::vector<std::string> keys;
    for (const QCCompositionPublishedPort &p : m_outputs) keys.push_back(p.key);
    return keys;
}

int QCComposition::nodeIndex(const std::string &key) const {
    auto it = m_nodeIndex.find(key);
    return it == m_nodeIndex.end() ? -1 : it->second;
}
