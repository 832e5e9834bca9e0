#include <CoreAudio/ExtendedAudioFile.h>

#include <sndfile.h>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr UInt32 kMostChannels = 8;
constexpr size_t kAsyncBlockFrames = 16384;

enum class SampleKind { Float32, Int16 };

struct ClientFormat {
    SampleKind kind = SampleKind::Int16;
    bool interleaved = true;
    bool bigEndian = false;
};

bool ParseClient(const AudioStreamBasicDescription &f, UInt32 channels, Float64 rate, ClientFormat *out) {
    if (f.mFormatID != kAudioFormatLinearPCM || f.mChannelsPerFrame != channels || f.mSampleRate != rate)
        return false;
    ClientFormat client;
    client.interleaved = !(f.mFormatFlags & kAudioFormatFlagIsNonInterleaved);
    client.bigEndian = (f.mFormatFlags & kAudioFormatFlagIsBigEndian) != 0;
    const UInt32 perSample = f.mBitsPerChannel / 8;
    const UInt32 frameBytes = client.interleaved ? perSample * channels : perSample;
    if ((f.mFormatFlags & kAudioFormatFlagIsFloat) && f.mBitsPerChannel == 32 && !client.bigEndian)
        client.kind = SampleKind::Float32;
    else if ((f.mFormatFlags & kAudioFormatFlagIsSignedInteger) && !(f.mFormatFlags & kAudioFormatFlagIsFloat) &&
             f.mBitsPerChannel == 16)
        client.kind = SampleKind::Int16;
    else
        return false;
    if (f.mBytesPerFrame != frameBytes)
        return false;
    *out = client;
    return true;
}

} // namespace

struct OpaqueExtAudioFile {
    SNDFILE *file = nullptr;
    std::string temporaryPath, finalPath;
    UInt32 channels = 0;
    Float64 sampleRate = 0;
    ClientFormat client;
    std::vector<short> pending; // interleaved, converted to the file's samples
    OSStatus deferredError = 0;
};

namespace {

// A float sample scaled by 32768, rounded to nearest and clipped; NaN becomes 0.
inline short FloatToSample(float sample) {
    float scaled = sample * 32768.0f;
    scaled = scaled == scaled ? scaled : 0.0f;
    scaled = scaled > 32767.0f ? 32767.0f : scaled;
    scaled = scaled < -32768.0f ? -32768.0f : scaled;
#if defined(__SSE__)
    return short(_mm_cvtss_si32(_mm_set_ss(scaled))); // the current rounding: nearest, ties to even
#else
    return short(std::lrintf(scaled));
#endif
}

// Converts the list into interleaved 16-bit samples (float scaled by 32768, rounded and
// clipped) appended to out; false when the list does not
// hold the frames in the client format.
bool Convert(const OpaqueExtAudioFile &f, UInt32 frames, const AudioBufferList *list, std::vector<short> *out) {
    const UInt32 channels = f.channels;
    const size_t sampleBytes = f.client.kind == SampleKind::Float32 ? 4 : 2;
    const UInt32 buffers = f.client.interleaved ? 1 : channels;
    if (!list || list->mNumberBuffers != buffers)
        return false;
    const size_t perBuffer = size_t(frames) * sampleBytes * (f.client.interleaved ? channels : 1);
    for (UInt32 b = 0; b < buffers; ++b)
        if (frames && (!list->mBuffers[b].mData || list->mBuffers[b].mDataByteSize < perBuffer))
            return false;
    const size_t base = out->size();
    out->resize(base + size_t(frames) * channels);
    short *dst = out->data() + base;
    if (f.client.kind == SampleKind::Float32 && !f.client.interleaved) {
        // The capture's and the effect unit's own format: one float buffer per channel.
        for (UInt32 c = 0; c < channels; ++c) {
            const float *src = static_cast<const float *>(list->mBuffers[c].mData);
            for (UInt32 i = 0; i < frames; ++i)
                dst[size_t(i) * channels + c] = FloatToSample(src[i]);
        }
        return true;
    }
    for (UInt32 c = 0; c < channels; ++c) {
        const unsigned char *src = static_cast<const unsigned char *>(list->mBuffers[f.client.interleaved ? 0 : c].mData);
        const size_t stride = f.client.interleaved ? sampleBytes * channels : sampleBytes;
        const size_t offset = f.client.interleaved ? sampleBytes * c : 0;
        for (UInt32 i = 0; i < frames; ++i) {
            const unsigned char *p = src + offset + stride * i;
            short value;
            if (f.client.kind == SampleKind::Float32) {
                float sample;
                memcpy(&sample, p, 4);
                value = FloatToSample(sample);
            } else {
                uint16_t bits;
                memcpy(&bits, p, 2);
                if (f.client.bigEndian)
                    bits = uint16_t((bits >> 8) | (bits << 8));
                value = short(bits);
            }
            dst[size_t(i) * channels + c] = value;
        }
    }
    return true;
}

OSStatus WritePending(OpaqueExtAudioFile *f) {
    if (f->pending.empty())
        return 0;
    const sf_count_t frames = sf_count_t(f->pending.size() / f->channels);
    const sf_count_t written = sf_writef_short(f->file, f->pending.data(), frames);
    f->pending.clear();
    return written == frames ? 0 : kAudioFileUnspecifiedError;
}

} // namespace

OSStatus ExtAudioFileCreateWithURL(CFURLRef inURL, AudioFileTypeID inFileType,
                                   const AudioStreamBasicDescription *inStreamDesc,
                                   const AudioChannelLayout *inChannelLayout, UInt32 inFlags,
                                   ExtAudioFileRef *outExtAudioFile) {
    (void)inChannelLayout; // AIFF keeps channels in order; the count is in the description
    if (!outExtAudioFile)
        return kAudio_ParamError;
    *outExtAudioFile = nullptr;
    UInt8 pathBytes[4096];
    if (!inURL || !inStreamDesc || !CFURLGetFileSystemRepresentation(inURL, true, pathBytes, sizeof pathBytes))
        return kAudio_ParamError;
    const AudioStreamBasicDescription &d = *inStreamDesc;
    const AudioFormatFlags wanted = kAudioFormatFlagIsBigEndian | kAudioFormatFlagIsSignedInteger | kAudioFormatFlagIsPacked;
    if (inFileType != kAudioFileAIFFType || d.mFormatID != kAudioFormatLinearPCM || d.mBitsPerChannel != 16 ||
        (d.mFormatFlags & ~kAudioFormatFlagIsNonInterleaved) != wanted || d.mChannelsPerFrame < 1 ||
        d.mChannelsPerFrame > kMostChannels || d.mBytesPerFrame != 2 * d.mChannelsPerFrame ||
        d.mFramesPerPacket != 1 || !(d.mSampleRate >= 1000.0 && d.mSampleRate <= 384000.0))
        return kAudioFileUnsupportedDataFormatError;
    std::string path(reinterpret_cast<const char *>(pathBytes));
    struct stat existing {};
    if (!(inFlags & kAudioFileFlags_EraseFile) && lstat(path.c_str(), &existing) == 0)
        return kAudioFilePermissionsError;
    const size_t slash = path.rfind('/');
    std::string temporary = path.substr(0, slash + 1) + "." + path.substr(slash + 1) + ".XXXXXX";
    int fd = mkstemp(temporary.data());
    if (fd < 0)
        return kAudioFilePermissionsError;
    fchmod(fd, 0644);
    SF_INFO info{};
    info.samplerate = int(d.mSampleRate);
    info.channels = int(d.mChannelsPerFrame);
    info.format = SF_FORMAT_AIFF | SF_FORMAT_PCM_16; // plain AIFF: big-endian by definition
    SNDFILE *file = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE);
    if (!file) {
        close(fd);
        unlink(temporary.c_str());
        return kAudioFileUnsupportedDataFormatError;
    }
    auto *f = new (std::nothrow) OpaqueExtAudioFile;
    if (!f) {
        sf_close(file);
        unlink(temporary.c_str());
        return kAudio_MemFullError;
    }
    f->file = file;
    f->temporaryPath = temporary;
    f->finalPath = path;
    f->channels = d.mChannelsPerFrame;
    f->sampleRate = Float64(info.samplerate);
    f->client = ClientFormat{SampleKind::Int16, !(d.mFormatFlags & kAudioFormatFlagIsNonInterleaved), true};
    *outExtAudioFile = f;
    return 0;
}

OSStatus ExtAudioFileSetProperty(ExtAudioFileRef inExtAudioFile, ExtAudioFilePropertyID inPropertyID,
                                 UInt32 inPropertyDataSize, const void *inPropertyData) {
    if (!inExtAudioFile || !inPropertyData)
        return kAudio_ParamError;
    if (inPropertyID != kExtAudioFileProperty_ClientDataFormat)
        return kAudioServicesUnsupportedPropertyError;
    if (inPropertyDataSize < sizeof(AudioStreamBasicDescription))
        return kAudio_ParamError;
    AudioStreamBasicDescription format;
    memcpy(&format, inPropertyData, sizeof format);
    ClientFormat client;
    if (!ParseClient(format, inExtAudioFile->channels, inExtAudioFile->sampleRate, &client))
        return kAudioFileUnsupportedDataFormatError;
    OSStatus status = WritePending(inExtAudioFile);
    inExtAudioFile->client = client;
    return status;
}

OSStatus ExtAudioFileWrite(ExtAudioFileRef inExtAudioFile, UInt32 inNumberFrames, const AudioBufferList *ioData) {
    if (!inExtAudioFile)
        return kAudio_ParamError;
    OSStatus earlier = inExtAudioFile->deferredError;
    inExtAudioFile->deferredError = 0;
    if (!Convert(*inExtAudioFile, inNumberFrames, ioData, &inExtAudioFile->pending))
        return kAudio_ParamError;
    OSStatus status = WritePending(inExtAudioFile);
    return earlier ? earlier : status;
}

OSStatus ExtAudioFileWriteAsync(ExtAudioFileRef inExtAudioFile, UInt32 inNumberFrames, const AudioBufferList *ioData) {
    if (!inExtAudioFile)
        return kAudio_ParamError;
    if (!Convert(*inExtAudioFile, inNumberFrames, ioData, &inExtAudioFile->pending))
        return kAudio_ParamError;
    OSStatus earlier = inExtAudioFile->deferredError;
    inExtAudioFile->deferredError = 0;
    if (inExtAudioFile->pending.size() >= kAsyncBlockFrames * inExtAudioFile->channels)
        inExtAudioFile->deferredError = WritePending(inExtAudioFile);
    return earlier;
}

OSStatus ExtAudioFileDispose(ExtAudioFileRef inExtAudioFile) {
    if (!inExtAudioFile)
        return kAudio_ParamError;
    OSStatus status = inExtAudioFile->deferredError;
    OSStatus last = WritePending(inExtAudioFile);
    if (!status)
        status = last;
    if (sf_close(inExtAudioFile->file) != 0 && !status)
        status = kAudioFileUnspecifiedError;
    if (rename(inExtAudioFile->temporaryPath.c_str(), inExtAudioFile->finalPath.c_str()) != 0) {
        unlink(inExtAudioFile->temporaryPath.c_str());
        if (!status)
            status = kAudioFilePermissionsError;
    }
    delete inExtAudioFile;
    return status;
}
