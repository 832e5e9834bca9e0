// QCComposition: a composition file read and checked: its nodes (patches), the wires between
// their ports and the ports it publishes. The file is a property list (XML or binary):
//
//   "rootPatch": {"class": "QCPatch", "state": {
//       "nodes": [{"key", "class", "identifier"?, "state": {..., "inputValues": {port: value},
//                  "layer": integer}}],
//       "connections": {name: {"sourceNode", "sourcePort", "destinationNode", "destinationPort"}},
//       "publishedInputPorts": [{"key", "node", "port"}], "publishedOutputPorts": [...]}},
//   "name"?, "description"?, "copyright"?
//
// Opening refuses, with one clear message naming the node, anything the engine cannot play:
// an unknown patch class, a patch whose state it cannot use (a kernel that does not
// translate...), a wire or published port naming a node or port that does not exist, a
// cycle. A composition is immutable and shared; renderers instantiate its patches.
#pragma once

#include <CoreFoundation/CFData.h>
#include <CoreFoundation/CFDictionary.h>
#include <QuartzComposer/QCValue.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

class QCComposition;
using QCCompositionRef = std::shared_ptr<const QCComposition>;

struct QCCompositionNode {
    std::string key;
    std::string className;
    std::string identifier;
    CFDictionaryRef state = nullptr;  // retained by the composition; never null (may be empty)
    int layer = 0;                    // consumers draw in ascending layer, then node order
    std::map<std::string, QCValue> inputValues;  // "inputValues" of the state
};

struct QCCompositionConnection {
    std::string name;
    std::string sourceNode, sourcePort;
    std::string destinationNode, destinationPort;
};

struct QCCompositionPublishedPort {
    std::string key;
    std::string node, port;
};

// The file's descriptive keys.
struct QCCompositionAttributes {
    std::string name, description, copyright;
};

class QCComposition {
public:
    // Null, with the reason in `error` (and one line on standard error), for a file or data
    // that is not a composition the engine can play.
    static QCCompositionRef compositionWithFile(const std::string &path, std::string *error = nullptr);
    static QCCompositionRef compositionWithData(CFDataRef data, std::string *error = nullptr);
    static QCCompositionRef compositionWithBytes(const void *bytes, size_t length, std::string *error = nullptr);

    ~QCComposition();
    QCComposition(const QCComposition &) = delete;
    QCComposition &operator=(const QCComposition &) = delete;

    // The published ports' keys, in file order.
    std::vector<std::string> inputKeys() const;
    std::vector<std::string> outputKeys() const;
    const QCCompositionAttributes &attributes() const { return m_attributes; }

    const std::vector<QCCompositionNode> &nodes() const { return m_nodes; }
    const std::vector<QCCompositionConnection> &connections() const { return m_connections; }
    const std::vector<QCCompositionPublishedPort> &publishedInputPorts() const { return m_inputs; }
    const std::vector<QCCompositionPublishedPort> &publishedOutputPorts() const { return m_outputs; }
    // The index of the node with that key, or -1.
    int nodeIndex(const std::string &key) const;

    QCComposition() = default;  // made by the readers only

private:
    friend struct QCCompositionReader;
    QCCompositionAttributes m_attributes;
    std::vector<QCCompositionNode> m_nodes;
    std::vector<QCCompositionConnection> m_connections;
    std::vector<QCCompositionPublishedPort> m_inputs, m_outputs;
    std::map<std::string, int> m_nodeIndex;
};
