#include "NSUIMaskGreyRemapTable.h"

#include <CoreG/Masks/namespace_CoreGraphics_MaskContext.h>

#include <algorithm>
#include <cmath>
#include <utility>

void NSUIMaskGreyRemapTable::Build(float contrastFactor, float brightnessFactor) {
    contrast = contrastFactor;
    brightness = brightnessFactor;
    gamma = 1.0f;
    offset = 0;
    maximum = 255;
    scale = 256.0f / 255.0f;
    for (int i = 0; i < 256; ++i) {
        float v = float(i);
        if (contrast != 1.0f) v = ((float(i) / 255.0f - 0.5f) * contrast + 0.5f) * 255.0f;
        v = brightness * v;
        if (gamma != 1.0f) v = std::pow(v / 255.0f, 1.0f / gamma) * 255.0f;
        v = (v - float(offset)) * scale;
        // Clamped as a float first, so that no value out of int's range is converted.
        const float limited = std::isnan(v) ? 0.0f : std::clamp(v, 0.0f, float(maximum));
        table[i] = uint16_t(int(limited));
    }
}

void NSUIMaskGreyRemapTable::Reverse() {
    for (int k = 0; k < 128; ++k) std::swap(table[k], table[255 - k]);
}

void NSUIMaskGreyRemapTable::MapMask(CoreGraphics::MaskContext &mask) const { mask.MapThroughTable(table); }

bool import_NSUIMaskGreyRemapTable() { return import_namespace_CoreGraphics_MaskContext(); }
