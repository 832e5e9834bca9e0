// What the copy with the image unit's class names does in the test program.
#pragma once

#include <cstdint>
#include <string>

namespace plugin_side {
// Checks in at the service with the plug-in's classes; the client index, 0 on failure.
uint32_t CheckIn(const char *service);
void Disconnect();
// Whether the plug-in's registry knows the name (it knows none of the application's).
bool RegistryKnows(uint32_t portName);
std::string ConnectionClassName();
}  // namespace plugin_side
