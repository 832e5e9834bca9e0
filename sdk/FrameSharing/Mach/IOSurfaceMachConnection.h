// IOSurfaceMachConnection: a port connection that sends and dispatches the messages of the
// IOSurfaceSharing interface (IOSurfaceSharing.h).
//
// The senders answer true when the message was delivered and answered with code 0, false
// at once when the connection is not connected. Each waits for its reply at most
// kIOSurfaceSharingCallTimeout milliseconds. The handlers receive the values of a request on
// the thread of the port it arrived on and answer the code of the reply; here they do
// nothing and answer 0. Every request that names a reply port is answered, an unknown id
// with -303; replies are sent without waiting.
#pragma once

#include <FrameSharing/Mach/FrameSharingClassNames.h>
#include <FrameSharing/Mach/MachMessageConnection.h>

#include <cstdint>

class IOSurfaceMachConnection : public MachMessageConnection {
public:
    bool __mach_call_ClientCheckIn(uint64_t clientID, uint64_t clientType, uint32_t *outClientIndex);
    bool __mach_call_ClientFrameIn(uint64_t surfaceTime, uint32_t surfaceID);
    bool __mach_call_BroadcastFrameSurface(uint32_t clientPortName, uint64_t surfaceTime, uint32_t surfaceID);
    bool __mach_call_BroadcastControlCommand(uint32_t clientPortName, uint64_t commandName, uint64_t commandValue);

    // The check-in handler owns the right of the client port (it gives it up when it does
    // not keep it).
    virtual int32_t __mach_message_ClientCheckIn(uint32_t clientPortName, uint64_t clientID, uint64_t clientType,
                                                 uint32_t *outClientIndex);
    virtual int32_t __mach_message_ClientFrameIn(uint32_t clientPortName, uint64_t surfaceTime, uint32_t surfaceID);
    virtual int32_t __mach_message_BroadcastFrameSurfaceTime(uint64_t surfaceTime, uint32_t surfaceID);
    virtual int32_t __mach_message_BroadcastControlCommand(uint64_t commandName, uint64_t commandValue);

    void handleMachMessage(void *msg) override;

    // Host time in nanoseconds (mach_absolute_time scaled by the time base); 0 when the time
    // base cannot be read.
    static uint64_t currentHostGetSurfaceTimeStamp();
};

bool import_IOSurfaceMachConnection();
