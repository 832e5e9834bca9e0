#include "CodecEncoders.h"

#include <algorithm>
#include <cstring>
#include <new>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace lumora::qt {

namespace {

// Every compressor the layer knows, with the encoders that can serve it, best first.
struct CodecCandidate {
    CodecType type;
    const char *typeName;
    const char *encoders[2];
    CodecQ minQuality;
    CodecQ maxQuality;
};

constexpr CodecCandidate kCandidates[] = {
    {kAnimationCodecType, "Animation", {"qtrle", nullptr}, codecMaxQuality, codecLosslessQuality},
    {kH264CodecType, "H.264", {"libx264", "libopenh264"}, codecMinQuality, codecLosslessQuality},
    {kMPEG4VisualCodecType, "MPEG-4 Video", {"mpeg4", nullptr}, codecMinQuality, codecMaxQuality},
    {kJPEGCodecType, "Photo - JPEG", {"mjpeg", nullptr}, codecMinQuality, codecMaxQuality},
    {kMotionJPEGACodecType, "Motion JPEG A", {"mjpeg", nullptr}, codecMinQuality, codecMaxQuality},
    {kMotionJPEGBCodecType, "Motion JPEG B", {"mjpeg", nullptr}, codecMinQuality, codecMaxQuality},
};

}  // namespace

const std::vector<CodecEncoder> &AvailableCodecEncoders() {
    static const std::vector<CodecEncoder> *available = [] {
        auto *list = new std::vector<CodecEncoder>;  // kept for the life of the process
        for (const CodecCandidate &candidate : kCandidates) {
            for (const char *encoder : candidate.encoders) {
                if (encoder == nullptr || avcodec_find_encoder_by_name(encoder) == nullptr) continue;
                list->push_back({candidate.type, candidate.typeName, encoder, candidate.minQuality,
                                 candidate.maxQuality});
                break;
            }
        }
        return list;
    }();
    return *available;
}

const CodecEncoder *FindCodecEncoder(CodecType type) {
    for (const CodecEncoder &codec : AvailableCodecEncoders())
        if (codec.type == type) return &codec;
    return nullptr;
}

}  // namespace lumora::qt

using namespace lumora::qt;

namespace {

// Writes text as a Pascal string of at most `room` characters.
void SetPascal(unsigned char *pascal, const char *text, size_t room) {
    const size_t length = std::min(std::strlen(text), room);
    pascal[0] = static_cast<unsigned char>(length);
    std::memcpy(pascal + 1, text, length);
}

}  // namespace

OSErr GetCodecNameList(CodecNameSpecListPtr *list, short /*showAll*/) {
    if (list == nullptr) return paramErr;
    *list = nullptr;
    const std::vector<CodecEncoder> &codecs = AvailableCodecEncoders();
    auto *result = new (std::nothrow) CodecNameSpecList{0, nullptr};
    if (result == nullptr) return memFullErr;
    result->list = new (std::nothrow) CodecNameSpec[codecs.size() + 1]();
    if (result->list == nullptr) {
        delete result;
        return memFullErr;
    }
    for (const CodecEncoder &codec : codecs) {
        CodecNameSpec &spec = result->list[result->count];
        spec.codec = anyCodec;
        spec.cType = codec.type;
        SetPascal(spec.typeName, codec.typeName, sizeof(spec.typeName) - 1);
        const size_t length = std::min<size_t>(std::strlen(codec.encoder), 255);
        spec.name = NewHandle(Size(length + 1));
        if (spec.name == nullptr) {
            DisposeCodecNameList(result);
            return memFullErr;
        }
        SetPascal(reinterpret_cast<unsigned char *>(*spec.name), codec.encoder, 255);
        ++result->count;
    }
    *list = result;
    return noErr;
}

OSErr DisposeCodecNameList(CodecNameSpecListPtr list) {
    if (list == nullptr) return noErr;
    if (list->list != nullptr) {
        for (short index = 0; index < list->count; ++index)
            if (list->list[index].name != nullptr) DisposeHandle(list->list[index].name);
        delete[] list->list;
    }
    delete list;
    return noErr;
}
