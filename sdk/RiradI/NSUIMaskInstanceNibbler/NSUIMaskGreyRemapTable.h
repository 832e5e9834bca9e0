// The grey remapping of a picture-based mask: a 256-entry table built from a contrast and a
// brightness factor (and gamma, offset, maximum and scale), reversed for an inverted mask, and
// applied to every byte of the mask.
//
// This file keeps Qt out: the mask header brings the QuickTime library's QPoint along.
#pragma once

#include <cstdint>

namespace CoreGraphics {
class MaskContext;
}

struct NSUIMaskGreyRemapTable {
    uint16_t table[256] = {};
    float contrast = 1.0f;
    float brightness = 1.0f;
    float gamma = 1.0f;
    int offset = 0;
    int maximum = 255;
    float scale = 256.0f / 255.0f;

    // Fills the table, for each grey i: v = i; with contrast other than 1,
    // v = ((i / 255 - 0.5) x contrast + 0.5) x 255; v = brightness x v; with gamma other than 1,
    // v = (v / 255)^(1 / gamma) x 255; v = (v - offset) x scale, truncated and kept in
    // 0..maximum. Single precision throughout; a value that is not a number gives 0.
    void Build(float contrastFactor, float brightnessFactor);
    // Entry k and entry 255 - k change places.
    void Reverse();
    // Every byte of the mask through the table.
    void MapMask(CoreGraphics::MaskContext &mask) const;
};

bool import_NSUIMaskGreyRemapTable();
