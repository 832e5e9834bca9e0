// Compiled with LUMORA_FRAMESHARING_CILUMORAINPUT, as the image unit compiles the layer.
#include "PlugInSide.h"

#include <FrameSharing/Mach/IOSurfaceMachConnection.h>

#include <typeinfo>

namespace plugin_side {

namespace {
std::shared_ptr<IOSurfaceMachConnection> gClient;
}

void Disconnect() {
    if (gClient != nullptr) gClient->disconnect();
    gClient.reset();
}

uint32_t CheckIn(const char *service) {
    std::shared_ptr<NSMachPort> server = NSMachBootstrapServer::sharedInstance()->portForName(service);
    if (server == nullptr) return 0;
    auto client = std::make_shared<IOSurfaceMachConnection>();
    client->initWithDelegate(nullptr);
    if (!client->connectWithServerMachPort(server)) return 0;
    client->runLocalConnectionOnMachPort(client->localPort());
    uint32_t index = 0;
    const bool ok = client->__mach_call_ClientCheckIn(5, 1, &index);
    gClient = client;
    return ok ? index : 0;
}

bool RegistryKnows(uint32_t portName) { return MachMessageConnection::connectionForMachPort(portName) != nullptr; }

std::string ConnectionClassName() { return typeid(MachMessageConnection).name(); }

}  // namespace plugin_side
