// The message interface IOSurfaceSharing (Mach Interface Generator conventions): four
// request/reply pairs numbered from 29001, the layouts both sides agree on byte for byte,
// the demultiplexer of the receiving side and the send routines.
//
//   29001 ClientCheckIn            client -> service port    64 bytes, 1 port descriptor
//   29002 ClientFrameIn            client -> service port    68 bytes, 2 port descriptors
//   29003 BroadcastFrameSurface    server -> client's port   56 bytes, 1 port descriptor
//   29004 BroadcastControlCommand  server -> client's port   48 bytes, simple
// Replies carry the request's id plus 100: 36 bytes (header, NDR record, return code), 40
// for the check-in (and the client index).
#pragma once

#include <FrameSharing/Mach/FrameSharingClassNames.h>

#include <Mach/message.h>

#include <cstdint>

enum : mach_msg_id_t {
    IOSurfaceSharing_ClientCheckIn = 29001,
    IOSurfaceSharing_ClientFrameIn = 29002,
    IOSurfaceSharing_BroadcastFrameSurface = 29003,
    IOSurfaceSharing_BroadcastControlCommand = 29004,
    IOSurfaceSharing_ReplyOffset = 100,
};

// The bootstrap name under which the application publishes the service.
inline constexpr const char *kIOSurfaceSharingServiceName = "com.tarvex.Lumora2.IOSurfaceSharing";

// How long a send routine waits for its exchange (send and reply) before it gives up.
inline constexpr mach_msg_timeout_t kIOSurfaceSharingCallTimeout = 5000;

namespace IOSurfaceSharing {

#pragma pack(push, 4)
struct Request_ClientCheckIn {
    mach_msg_header_t Head;
    mach_msg_body_t msgh_body;
    mach_msg_port_descriptor_t clientPort;
    NDR_record_t NDR;
    uint64_t inClientID;
    uint64_t inClientType;
};
struct Request_ClientFrameIn {
    mach_msg_header_t Head;
    mach_msg_body_t msgh_body;
    mach_msg_port_descriptor_t clientPort;
    mach_msg_port_descriptor_t surfacePort;
    NDR_record_t NDR;
    uint64_t surfaceTime;
};
struct Request_BroadcastFrameSurface {
    mach_msg_header_t Head;
    mach_msg_body_t msgh_body;
    mach_msg_port_descriptor_t surfacePort;
    NDR_record_t NDR;
    uint64_t surfaceTime;
};
struct Request_BroadcastControlCommand {
    mach_msg_header_t Head;
    NDR_record_t NDR;
    uint64_t commandName;
    uint64_t commandValue;
};
struct Reply {
    mach_msg_header_t Head;
    NDR_record_t NDR;
    kern_return_t RetCode;
};
struct Reply_ClientCheckIn {
    mach_msg_header_t Head;
    NDR_record_t NDR;
    kern_return_t RetCode;
    uint32_t outClientIndex;
};
#pragma pack(pop)

static_assert(sizeof(Request_ClientCheckIn) == 64);
static_assert(sizeof(Request_ClientFrameIn) == 68);
static_assert(sizeof(Request_BroadcastFrameSurface) == 56);
static_assert(sizeof(Request_BroadcastControlCommand) == 48);
static_assert(sizeof(Reply) == 36);
static_assert(sizeof(Reply_ClientCheckIn) == 40);

// Room for any request, and for any reply of this interface.
inline constexpr mach_msg_size_t kMaxRequestSize = 68;
inline constexpr mach_msg_size_t kMaxReplySize = 40;

}  // namespace IOSurfaceSharing

// Fills the reply header (reply bits from the request, destination the request's reply
// port, size 36, id + 100) and runs the routine of the request's id: false, with -303 in
// the reply, for any other id. `request` is a received message of at least a header and
// msgh_size bytes; `reply` has room for kMaxReplySize bytes. A request that fails its
// checks is answered -304 (complex bit, descriptor count or size) or -300 (a descriptor
// that is not a send right), and the rights it carried are given up.
bool IOSurfaceSharing_server(mach_msg_header_t *request, mach_msg_header_t *reply);
using IOSurfaceSharing_routine_t = void (*)(mach_msg_header_t *request, mach_msg_header_t *reply);
// The routine of the request's id, or null.
IOSurfaceSharing_routine_t IOSurfaceSharing_server_routine(const mach_msg_header_t *request);

// The server routines: the connection registered for the receiving port handles the values
// (nothing, answering 0, when there is none). Surface ports become surface identifiers
// (their rights given up); a client port's right belongs to the check-in handler and is
// given up after the other routines.
kern_return_t __mach_IOSurfaceSharingConnectServer_ClientCheckIn(mach_port_t receiving, mach_port_t clientPort,
                                                                 uint64_t clientID, uint64_t clientType,
                                                                 uint32_t *outClientIndex);
kern_return_t __mach_IOSurfaceSharingConnectServer_ClientFrameIn(mach_port_t receiving, mach_port_t clientPort,
                                                                 uint64_t surfaceTime, mach_port_t surfacePort);
kern_return_t __mach_IOSurfaceSharingConnectServer_BroadcastFrameSurface(mach_port_t receiving, uint64_t surfaceTime,
                                                                         mach_port_t surfacePort);
kern_return_t __mach_IOSurfaceSharingConnectServer_BroadcastControlCommand(mach_port_t receiving, uint64_t commandName,
                                                                           uint64_t commandValue);

// The send routines: build the request, send it and wait for the reply (at most `timeout`
// milliseconds for the whole exchange), check the reply and answer its code: the Mach
// code of a failed exchange, -300 for a reply of the wrong shape, -301 for another id,
// -308 when the reply right was dropped unanswered (the server died).
kern_return_t __mach_IOSurfaceSharingConnectClient_ClientCheckIn(mach_port_t serverPort, mach_port_t clientPort,
                                                                 uint64_t clientID, uint64_t clientType,
                                                                 uint32_t *outClientIndex,
                                                                 mach_msg_timeout_t timeout = kIOSurfaceSharingCallTimeout);
kern_return_t __mach_IOSurfaceSharingConnectClient_ClientFrameIn(mach_port_t serverPort, mach_port_t clientPort,
                                                                 uint64_t surfaceTime, mach_port_t surfacePort,
                                                                 mach_msg_timeout_t timeout = kIOSurfaceSharingCallTimeout);
kern_return_t __mach_IOSurfaceSharingConnectClient_BroadcastFrameSurface(
    mach_port_t clientPort, uint64_t surfaceTime, mach_port_t surfacePort,
    mach_msg_timeout_t timeout = kIOSurfaceSharingCallTimeout);
kern_return_t __mach_IOSurfaceSharingConnectClient_BroadcastControlCommand(
    mach_port_t clientPort, uint64_t commandName, uint64_t commandValue,
    mach_msg_timeout_t timeout = kIOSurfaceSharingCallTimeout);

// The 29003 request for a client port, with the surface port copied and a send-once reply
// right made from `replyPort` (none for MACH_PORT_NULL). Used by the server's broadcast,
// which does not wait for the reply.
void IOSurfaceSharing_BuildBroadcastFrameSurface(IOSurfaceSharing::Request_BroadcastFrameSurface &request,
                                                 mach_port_t clientPort, mach_port_t replyPort,
                                                 uint64_t surfaceTime, mach_port_t surfacePort);
