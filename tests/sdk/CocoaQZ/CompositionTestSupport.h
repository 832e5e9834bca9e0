// Compositions written in tests: XML property lists from nodes, wires and published ports,
// and the pixels of a CGImage.
#pragma once

#include <QuartzComposer/QCComposition.h>

#include <CoreFoundation/CFData.h>
#include <CoreGraphics/CGDataProvider.h>
#include <CoreGraphics/CGImage.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace cocoaqz_test {

using Pixel = std::array<int, 4>;  // R, G, B, A bytes

inline bool Near(const Pixel &a, const Pixel &b, int tolerance = 1) {
    for (size_t i = 0; i < 4; ++i)
        if (std::abs(a[i] - b[i]) > tolerance) return false;
    return true;
}

inline std::string Composition(const std::string &nodes, const std::string &connections = "",
                               const std::string &inputs = "", const std::string &outputs = "") {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
           "<key>rootPatch</key><dict><key>class</key><string>QCPatch</string><key>state</key><dict>"
           "<key>nodes</key><array>" + nodes + "</array>"
           "<key>connections</key><dict>" + connections + "</dict>"
           "<key>publishedInputPorts</key><array>" + inputs + "</array>"
           "<key>publishedOutputPorts</key><array>" + outputs + "</array>"
           "</dict></dict></dict></plist>";
}

inline std::string Node(const std::string &key, const std::string &className, const std::string &state = "") {
    return "<dict><key>key</key><string>" + key + "</string><key>class</key><string>" + className +
           "</string><key>state</key><dict>" + state + "</dict></dict>";
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

inline QCCompositionRef Open(const std::string &xml) {
    return QCComposition::compositionWithBytes(xml.data(), xml.size());
}

inline CFDataRef CreateData(const std::string &bytes) {
    return CFDataCreate(nullptr, reinterpret_cast<const UInt8 *>(bytes.data()), CFIndex(bytes.size()));
}

// A CGImage's pixels (32-bit, premultiplied first, little-endian: B, G, R, A bytes), (x, y)
// with y down from the top row.
struct ImagePixels {
    size_t width = 0, height = 0, rowBytes = 0;
    std::vector<uint8_t> bytes;
    explicit ImagePixels(CGImageRef image) {
        if (!image) return;
        width = CGImageGetWidth(image);
        height = CGImageGetHeight(image);
        rowBytes = CGImageGetBytesPerRow(image);
        CFDataRef data = CGDataProviderCopyData(CGImageGetDataProvider(image));
        bytes.assign(CFDataGetBytePtr(data), CFDataGetBytePtr(data) + CFDataGetLength(data));
        CFRelease(data);
    }
    Pixel at(size_t x, size_t y) const {
        const uint8_t *p = &bytes[y * rowBytes + x * 4];
        return {p[2], p[1], p[0], p[3]};
    }
};

} // namespace cocoaqz_test
