// What the tests of compositions share: a composition's XML built from its nodes, wires and
// published ports, and an offscreen renderer's picture read back.
#pragma once

#include <QuartzComposer/QCRenderer.h>

#include <CoreFoundation/CFData.h>
#include <CoreGraphics/CGDataProvider.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace qc_test {

// A composition's XML from its nodes, connections and published ports (each already XML).
inline std::string Composition(const std::string &nodes, const std::string &connections = "",
                               const std::string &inputs = "", const std::string &outputs = "") {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
           "<key>name</key><string>Test</string><key>description</key><string>A test</string>"
           "<key>rootPatch</key><dict><key>class</key><string>QCPatch</string><key>state</key><dict>"
           "<key>nodes</key><array>" + nodes + "</array>"
           "<key>connections</key><dict>" + connections + "</dict>"
           "<key>publishedInputPorts</key><array>" + inputs + "</array>"
           "<key>publishedOutputPorts</key><array>" + outputs + "</array>"
           "</dict></dict></dict></plist>";
}

inline std::string Node(const std::string &key, const std::string &className, const std::string &state = "",
                        const std::string &identifier = "") {
    return "<dict><key>key</key><string>" + key + "</string><key>class</key><string>" + className + "</string>" +
           (identifier.empty() ? "" : "<key>identifier</key><string>" + identifier + "</string>") +
           "<key>state</key><dict>" + state + "</dict></dict>";
}

inline std::string Wire(const std::string &name, const std::string &from, const std::string &fromPort,
                        const std::string &to, const std::string &toPort) {
    return "<key>" + name + "</key><dict><key>sourceNode</key><string>" + from +
           "</string><key>sourcePort</key><string>" + fromPort + "</string><key>destinationNode</key><string>" + to +
           "</string><key>destinationPort</key><string>" + toPort + "</string></dict>";
}

inline std::string Published(const std::string &key, const std::string &node, const std::string &port) {
    return "<dict><key>key</key><string>" + key + "</string><key>node</key><string>" + node +
           "</string><key>port</key><string>" + port + "</string></dict>";
}

// A kernel node's "source", escaped for XML.
inline std::string Kernel(const std::string &source) {
    std::string escaped;
    for (char c : source) {
        if (c == '<') escaped += "&lt;";
        else if (c == '&') escaped += "&amp;";
        else if (c == '>') escaped += "&gt;";
        else escaped += c;
    }
    return "<key>source</key><string>" + escaped + "</string>";
}

inline QCCompositionRef Open(const std::string &xml, std::string *error = nullptr) {
    return QCComposition::compositionWithBytes(xml.data(), xml.size(), error);
}

// An offscreen renderer's destination as premultiplied RGBA bytes, (x, y) with y up.
struct Snapshot {
    size_t width = 0, height = 0, rowBytes = 0;
    std::vector<uint8_t> bytes;  // BGRA, top row first
    std::array<int, 4> rgba(size_t x, size_t y) const {
        const uint8_t *p = &bytes[(height - 1 - y) * rowBytes + x * 4];
        return {p[2], p[1], p[0], p[3]};
    }
};

inline Snapshot Read(QCRenderer &renderer) {
    Snapshot s;
    CGImageRef image = renderer.createSnapshotCGImage();
    if (!image) return s;
    s.width = CGImageGetWidth(image);
    s.height = CGImageGetHeight(image);
    s.rowBytes = CGImageGetBytesPerRow(image);
    CFDataRef data = CGDataProviderCopyData(CGImageGetDataProvider(image));
    s.bytes.assign(CFDataGetBytePtr(data), CFDataGetBytePtr(data) + CFDataGetLength(data));
    CFRelease(data);
    CGImageRelease(image);
    return s;
}

} // namespace qc_test
