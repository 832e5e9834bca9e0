// Shared inside the sound layer: ALSA set-up and the host clock.
#pragma once

#include <alsa/asoundlib.h>

#include <string>

namespace coreaudio_internal {

// Keeps alsa-lib's own error printing off standard error (the layer logs its own one line).
void QuietALSAErrors();

// Seconds on the host clock (CLOCK_MONOTONIC, the clock of mach_absolute_time).
double HostTimeSeconds();

// One line to the system log and standard error.
void Log(const char *format, ...) __attribute__((format(printf, 1, 2)));

// The environment variable's value, or the fallback when unset or empty.
std::string EnvironmentOr(const char *name, const char *fallback);

} // namespace coreaudio_internal
