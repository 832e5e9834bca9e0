// What an effect pack's generated source defines (qtzbuild writes it; the pack's code reads
// it): its compositions as exported byte arrays named after their file names
// ("L2PolarWarp.qtz" is `L2PolarWarp_qtz`), a table of them in the pack's order, and the
// pack's version. The stored bytes are the composition files transformed by
// QFXSwapNibbles; the pack undoes the transform on a copy when it hands a composition out.
//
//     QFX_PACK_TABLE_DECLARATIONS(L2Geometry)
//     for (uint32_t i = 0; i < L2GeometryCompositionCount; ++i)
//         use(L2GeometryCompositionTable[i].fileName, ...);
#pragma once

#include <cstddef>
#include <cstdint>

struct QFXCompositionRecord {
    const char *fileName;        // "L2PolarWarp.qtz", UTF-8
    const unsigned char *bytes;  // the transformed file
    uint32_t length;
};

// Exchanges the two 4-bit halves of every byte, in place; its own inverse.
inline void QFXSwapNibbles(unsigned char *bytes, size_t length) {
    for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<unsigned char>(bytes[i] << 4 | bytes[i] >> 4);
}

#define QFX_PACK_TABLE_DECLARATIONS(Pack)                                   \
    extern "C" const QFXCompositionRecord Pack##CompositionTable[];         \
    extern "C" const uint32_t Pack##CompositionCount;                       \
    extern "C" const unsigned char Pack##VersionString[];                   \
    extern "C" const double Pack##VersionNumber;
