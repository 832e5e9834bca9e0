// Inside the QuickTime layer: the compressors, each a codec type over one of FFmpeg's
// encoders (the one file that asks libavcodec which encoders exist is CodecEncoders.cpp).
#pragma once

#include <QuickTime/ImageCompression.h>

#include <vector>

namespace lumora::qt {

struct CodecEncoder {
    CodecType type;
    const char *typeName;  // the name the dialogs show
    const char *encoder;   // FFmpeg's encoder
    CodecQ minQuality;     // the qualities the encoder honours
    CodecQ maxQuality;
};

// The compressors whose encoder libavcodec has, in the order of ImageCompression.h; looked up
// once.
const std::vector<CodecEncoder> &AvailableCodecEncoders();
// The present compressor of the type, or null.
const CodecEncoder *FindCodecEncoder(CodecType type);

}  // namespace lumora::qt
