// System sounds: decoded once by libsndfile, played one after another on one thread.
#include <CoreAudio/AudioServices.h>
#include <CoreAudio/CoreAudioInternal.h>

#include <sndfile.h>

#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace coreaudio_internal;

constexpr double kLongestSystemSoundSeconds = 10.0;

struct DecodedSound {
    int sampleRate = 0;
    int channels = 0;
    std::vector<short> frames; // interleaved 16-bit
};

struct PlayRequest {
    std::shared_ptr<const DecodedSound> sound;
    std::function<void()> completion;
};

// Process-wide: made on first use and never destroyed, so the detached player thread can
// never outlive it.
struct SoundServices {
    std::mutex lock;
    std::condition_variable changed;
    std::map<SystemSoundID, std::shared_ptr<const DecodedSound>> sounds;
    SystemSoundID nextID = 1;
    std::deque<PlayRequest> queue;
    size_t unfinished = 0;
    bool playerStarted = false;
    bool reportedNoDevice = false;
};

SoundServices &Services() {
    static SoundServices *services = new SoundServices;
    return *services;
}

// Plays one sound to the output device; false (with the reason) when nothing was played.
bool PlayOnDevice(const DecodedSound &sound, std::string *reason) {
    QuietALSAErrors();
    const std::string device = EnvironmentOr("LUMORA_SOUND_OUTPUT_DEVICE", "default");
    snd_pcm_t *pcm = nullptr;
    int error = snd_pcm_open(&pcm, device.c_str(), SND_PCM_STREAM_PLAYBACK, 0);
    if (error < 0) {
        *reason = "cannot open sound output device \"" + device + "\": " + snd_strerror(error);
        return false;
    }
    error = snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16, SND_PCM_ACCESS_RW_INTERLEAVED, unsigned(sound.channels),
                               unsigned(sound.sampleRate), 1, 100000);
    if (error < 0) {
        *reason = "sound output device \"" + device + "\" refuses the format: " + snd_strerror(error);
        snd_pcm_close(pcm);
        return false;
    }
    const short *data = sound.frames.data();
    snd_pcm_uframes_t left = sound.frames.size() / size_t(sound.channels);
    while (left > 0) {
        snd_pcm_sframes_t written = snd_pcm_writei(pcm, data, left);
        if (written < 0) {
            written = snd_pcm_recover(pcm, int(written), 1);
            if (written < 0) {
                *reason = std::string("sound output failed: ") + snd_strerror(int(written));
                snd_pcm_close(pcm);
                return false;
            }
            continue;
        }
        data += size_t(written) * size_t(sound.channels);
        left -= snd_pcm_uframes_t(written);
    }
    snd_pcm_drain(pcm);
    snd_pcm_close(pcm);
    return true;
}

void PlayerLoop() {
    SoundServices &services = Services();
    std::unique_lock<std::mutex> locked(services.lock);
    for (;;) {
        services.changed.wait(locked, [&] { return !services.queue.empty(); });
        PlayRequest request = std::move(services.queue.front());
        services.queue.pop_front();
        locked.unlock();
        std::string reason;
        bool played = request.sound && PlayOnDevice(*request.sound, &reason);
        if (request.completion)
            request.completion();
        locked.lock();
        if (!played && request.sound && !services.reportedNoDevice) {
            services.reportedNoDevice = true;
            Log("AudioServicesPlaySystemSound: %s; interface sounds stay silent", reason.c_str());
        }
        --services.unfinished;
        services.changed.notify_all();
    }
}

std::shared_ptr<DecodedSound> Decode(const char *path) {
    SF_INFO info{};
    SNDFILE *file = sf_open(path, SFM_READ, &info);
    if (!file)
        return nullptr;
    std::shared_ptr<DecodedSound> sound;
    if (info.channels > 0 && info.channels <= 8 && info.samplerate >= 1000 && info.samplerate <= 384000 &&
        info.frames >= 0 && double(info.frames) <= kLongestSystemSoundSeconds * info.samplerate) {
        sound = std::make_shared<DecodedSound>();
        sound->sampleRate = info.samplerate;
        sound->channels = info.channels;
        sound->frames.resize(size_t(info.frames) * size_t(info.channels));
        sf_count_t got = sf_readf_short(file, sound->frames.data(), info.frames);
        sound->frames.resize(size_t(got > 0 ? got : 0) * size_t(info.channels));
    }
    sf_close(file);
    return sound;
}

} // namespace

OSStatus AudioServicesCreateSystemSoundID(CFURLRef inFileURL, SystemSoundID *outSystemSoundID) {
    if (!outSystemSoundID)
        return kAudio_ParamError;
    *outSystemSoundID = 0;
    UInt8 path[4096];
    if (!inFileURL || !CFURLGetFileSystemRepresentation(inFileURL, true, path, sizeof path))
        return kAudio_ParamError;
    std::shared_ptr<DecodedSound> sound = Decode(reinterpret_cast<const char *>(path));
    if (!sound)
        return kAudioFileUnsupportedDataFormatError;
    SoundServices &services = Services();
    std::lock_guard<std::mutex> locked(services.lock);
    SystemSoundID id = services.nextID++;
    services.sounds[id] = std::move(sound);
    *outSystemSoundID = id;
    return 0;
}

OSStatus AudioServicesDisposeSystemSoundID(SystemSoundID inSystemSoundID) {
    SoundServices &services = Services();
    std::lock_guard<std::mutex> locked(services.lock);
    return services.sounds.erase(inSystemSoundID) ? 0 : kAudio_ParamError;
}

void AudioServicesPlaySystemSoundWithCompletion(SystemSoundID inSystemSoundID, std::function<void()> inCompletionBlock) {
    SoundServices &services = Services();
    std::lock_guard<std::mutex> locked(services.lock);
    auto found = services.sounds.find(inSystemSoundID);
    if (found == services.sounds.end() && !inCompletionBlock)
        return;
    services.queue.push_back({found == services.sounds.end() ? nullptr : found->second, std::move(inCompletionBlock)});
    ++services.unfinished;
    if (!services.playerStarted) {
        services.playerStarted = true;
        std::thread(PlayerLoop).detach();
    }
    services.changed.notify_all();
}

void AudioServicesPlaySystemSound(SystemSoundID inSystemSoundID) {
    AudioServicesPlaySystemSoundWithCompletion(inSystemSoundID, nullptr);
}

void AudioServicesWaitUntilSoundsFinished(void) {
    SoundServices &services = Services();
    std::unique_lock<std::mutex> locked(services.lock);
    services.changed.wait(locked, [&] { return services.unfinished == 0; });
}
