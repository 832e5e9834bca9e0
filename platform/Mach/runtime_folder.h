// The folder where this user's sockets, registries and other runtime files live (ours, on
// Linux only): $XDG_RUNTIME_DIR when it is a folder of this user's that nobody else may
// enter, else a folder of that kind made in $TMPDIR or /tmp. Empty when neither can be had.
#pragma once

#include <string>

std::string LumoraPrivateRuntimeFolder();
