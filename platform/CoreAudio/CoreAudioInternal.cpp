#include <CoreAudio/CoreAudioInternal.h>

#include <asl/asl.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>

namespace coreaudio_internal {

namespace {
void SilentALSAHandler(const char *, int, const char *, int, const char *, ...) {}
} // namespace

void QuietALSAErrors() {
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(SilentALSAHandler); });
}

double HostTimeSeconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

void Log(const char *format, ...) {
    char line[1024];
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(line, sizeof line, format, arguments);
    va_end(arguments);
    asl_log(nullptr, nullptr, ASL_LEVEL_NOTICE, "%s", line);
    fprintf(stderr, "%s\n", line);
}

std::string EnvironmentOr(const char *name, const char *fallback) {
    const char *value = getenv(name);
    return value && *value ? std::string(value) : std::string(fallback);
}

} // namespace coreaudio_internal
