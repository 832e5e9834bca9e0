#include <FrameSharing/Mach/IOSurfaceMachConnection.h>

#include <FrameSharing/Mach/IOSurfaceIPC.h>
#include <FrameSharing/Mach/IOSurfaceSharing.h>

#include <Mach/mach_time.h>

#include <mutex>

bool IOSurfaceMachConnection::__mach_call_ClientCheckIn(uint64_t clientID, uint64_t clientType,
                                                        uint32_t *outClientIndex) {
    if (!isConnected()) return false;
    return __mach_IOSurfaceSharingConnectClient_ClientCheckIn(serverPortName(), localPortName(), clientID, clientType,
                                                              outClientIndex) == KERN_SUCCESS;
}

bool IOSurfaceMachConnection::__mach_call_ClientFrameIn(uint64_t surfaceTime, uint32_t surfaceID) {
    if (!isConnected()) return false;
    const uint32_t port = IOSurfaceIPC::remotingSurfaceIDFromLocalIOSurfaceID(surfaceID);
    if (port == 0) return false;
    const kern_return_t result =
        __mach_IOSurfaceSharingConnectClient_ClientFrameIn(serverPortName(), localPortName(), surfaceTime, port);
    IOSurfaceIPC::deallocateRemotingSurfaceID(port);
    return result == KERN_SUCCESS;
}

bool IOSurfaceMachConnection::__mach_call_BroadcastFrameSurface(uint32_t clientPortName, uint64_t surfaceTime,
                                                                uint32_t surfaceID) {
    if (!isConnected()) return false;
    const uint32_t port = IOSurfaceIPC::remotingSurfaceIDFromLocalIOSurfaceID(surfaceID);
    if (port == 0) return false;
    const kern_return_t result = __mach_IOSurfaceSharingConnectClient_BroadcastFrameSurface(clientPortName, surfaceTime, port);
    IOSurfaceIPC::deallocateRemotingSurfaceID(port);
    return result == KERN_SUCCESS;
}

bool IOSurfaceMachConnection::__mach_call_BroadcastControlCommand(uint32_t clientPortName, uint64_t commandName,
                                                                  uint64_t commandValue) {
    if (!isConnected()) return false;
    return __mach_IOSurfaceSharingConnectClient_BroadcastControlCommand(clientPortName, commandName, commandValue) ==
           KERN_SUCCESS;
}

int32_t IOSurfaceMachConnection::__mach_message_ClientCheckIn(uint32_t clientPortName, uint64_t, uint64_t, uint32_t *) {
    if (MACH_PORT_VALID(clientPortName)) mach_port_deallocate(mach_task_self(), clientPortName);
    return 0;
}

int32_t IOSurfaceMachConnection::__mach_message_ClientFrameIn(uint32_t, uint64_t, uint32_t) { return 0; }

int32_t IOSurfaceMachConnection::__mach_message_BroadcastFrameSurfaceTime(uint64_t, uint32_t) { return 0; }

int32_t IOSurfaceMachConnection::__mach_message_BroadcastControlCommand(uint64_t, uint64_t) { return 0; }

void IOSurfaceMachConnection::handleMachMessage(void *msg) {
    auto *request = static_cast<mach_msg_header_t *>(msg);
    // A notice (a reply right dropped unanswered) needs no answer.
    if (request->msgh_id == MACH_NOTIFY_SEND_ONCE) {
        mach_msg_destroy(request);
        return;
    }
    alignas(8) uint8_t replyBuffer[IOSurfaceSharing::kMaxReplySize];
    auto *reply = reinterpret_cast<mach_msg_header_t *>(replyBuffer);
    IOSurfaceSharing_server(request, reply);
    // Answered whether or not the id was known (-303), as long as there is a reply port. The
    // send never waits: a requester that does not read loses its answer, not our thread.
    if (!MACH_PORT_VALID(reply->msgh_remote_port)) return;
    const mach_msg_return_t result = mach_msg(reply, MACH_SEND_MSG | MACH_SEND_TIMEOUT, reply->msgh_size, 0,
                                              MACH_PORT_NULL, 0, MACH_PORT_NULL);
    if (result != MACH_MSG_SUCCESS) {
        mach_port_deallocate(mach_task_self(), reply->msgh_remote_port);
        delegatedConnectionError(result);
    }
}

uint64_t IOSurfaceMachConnection::currentHostGetSurfaceTimeStamp() {
    static mach_timebase_info_data_t timebase{0, 0};
    static std::once_flag once;
    std::call_once(once, [] {
        if (mach_timebase_info(&timebase) != KERN_SUCCESS) timebase = {0, 0};
    });
    if (timebase.denom == 0) return 0;
    return mach_absolute_time() * timebase.numer / timebase.denom;
}

bool import_IOSurfaceMachConnection() { return import_MachMessageConnection() && import_IOSurfaceIPC(); }
