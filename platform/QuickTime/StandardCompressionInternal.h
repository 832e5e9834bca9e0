// Inside the QuickTime layer: the standard compression component's instance.
#pragma once

#include <QuickTime/StandardCompression.h>

#include <vector>

#include "CodecEncoders.h"
#include "QTComponent.h"

struct StandardCompressionInstance final : ComponentInstanceRecord {
    StandardCompressionInstance();

    long mPreferenceFlags = 0;
    SCSpatialSettings mSpatial;
    SCTemporalSettings mTemporal;
    std::vector<CodecType> mCodecTypes;  // empty: every compressor
};

namespace lumora::qt {

// The instance behind ci, or null when it is no standard compression instance.
StandardCompressionInstance *LiveStandardCompression(ComponentInstance ci);

// Whether the settings lie inside the ranges of StandardCompression.h (the codec type is
// checked separately).
bool ValidSpatialValues(const SCSpatialSettings &settings);
bool ValidTemporalSettings(const SCTemporalSettings &settings);

// The compressors a dialog offers: the instance's list (or every one) that the layer has.
std::vector<const CodecEncoder *> OfferedCodecEncoders(const StandardCompressionInstance &instance);

// Shows the settings dialog (StandardCompressionDialog.cpp) and stores the accepted choice.
ComponentResult RunStandardCompressionDialog(StandardCompressionInstance &instance, bool sequence);

}  // namespace lumora::qt
