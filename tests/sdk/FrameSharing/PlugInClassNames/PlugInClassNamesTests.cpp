#include <gtest/gtest.h>

#include <FrameSharing/Mach/IOSurfaceMachServer.h>

#include <typeinfo>

#include "PlugInSide.h"

namespace {

TEST(FrameSharingPlugInClassNames, TwoCopiesOfTheLayerLiveSideBySide) {
    EXPECT_NE(plugin_side::ConnectionClassName(), typeid(MachMessageConnection).name());
    EXPECT_NE(plugin_side::ConnectionClassName().find("CILumoraInput_MachMessageConnection"), std::string::npos);

    auto server = IOSurfaceMachServer::serverWithDelegate(nullptr);
    ASSERT_TRUE(server->publishServerConnectionWithServerPortName("com.tarvex.Lumora2.IOSurfaceSharing"));
    EXPECT_TRUE(MachMessageConnection::connectionForMachPort(server->serverPortName()) != nullptr);
    EXPECT_FALSE(plugin_side::RegistryKnows(server->serverPortName()));
    // The plug-in's copy is a client of the application's server.
    EXPECT_EQ(plugin_side::CheckIn("com.tarvex.Lumora2.IOSurfaceSharing"), 1u);
    EXPECT_TRUE(server->hasClientWithUniqueID(5));
    plugin_side::Disconnect();
    server->stopServer();
}

}  // namespace
