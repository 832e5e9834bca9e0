#include <FrameSharing/Mach/IOSurfaceSharing.h>

#include <FrameSharing/Mach/IOSurfaceIPC.h>
#include <FrameSharing/Mach/IOSurfaceMachConnection.h>

#include <CoreX/CoreMachDebugLog.h>

#include <cstring>
#include <exception>

using namespace IOSurfaceSharing;

namespace {

bool SwapNeeded(const NDR_record_t &ndr) { return ndr.int_rep != NDR_record.int_rep; }

// Gives up the rights of a request's descriptors (not its reply right).
void DestroyDescriptors(mach_msg_header_t *request) {
    if ((request->msgh_bits & MACH_MSGH_BITS_COMPLEX) == 0 || request->msgh_size < 28) return;
    uint8_t *bytes = reinterpret_cast<uint8_t *>(request);
    uint32_t count;
    std::memcpy(&count, bytes + 24, 4);
    for (uint32_t i = 0; i < count && 28 + size_t(i + 1) * 12 <= request->msgh_size; ++i) {
        mach_port_t name;
        std::memcpy(&name, bytes + 28 + size_t(i) * 12, 4);
        if (MACH_PORT_VALID(name)) mach_port_deallocate(mach_task_self(), name);
        std::memset(bytes + 28 + size_t(i) * 12, 0, 4);
    }
}

bool IsSendDescriptor(const mach_msg_port_descriptor_t &descriptor) {
    return descriptor.type == MACH_MSG_PORT_DESCRIPTOR && descriptor.disposition == MACH_MSG_TYPE_PORT_SEND;
}

std::shared_ptr<IOSurfaceMachConnection> ConnectionFor(mach_port_t receiving) {
    return std::dynamic_pointer_cast<IOSurfaceMachConnection>(MachMessageConnection::connectionForMachPort(receiving));
}

void Fail(mach_msg_header_t *request, mach_msg_header_t *reply, kern_return_t code) {
    DestroyDescriptors(request);
    reinterpret_cast<Reply *>(reply)->RetCode = code;
}

void receive_ClientCheckIn(mach_msg_header_t *head, mach_msg_header_t *replyHead) {
    auto *request = reinterpret_cast<Request_ClientCheckIn *>(head);
    auto *reply = reinterpret_cast<Reply_ClientCheckIn *>(replyHead);
    if ((head->msgh_bits & MACH_MSGH_BITS_COMPLEX) == 0 || head->msgh_size != sizeof *request ||
        request->msgh_body.msgh_descriptor_count != 1)
        return Fail(head, replyHead, MIG_BAD_ARGUMENTS);
    if (!IsSendDescriptor(request->clientPort)) return Fail(head, replyHead, MIG_TYPE_ERROR);
    uint64_t clientID = request->inClientID, clientType = request->inClientType;
    if (SwapNeeded(request->NDR)) {
        clientID = __builtin_bswap64(clientID);
        clientType = __builtin_bswap64(clientType);
    }
    uint32_t index = 0;
    const mach_port_t clientPort = request->clientPort.name;
    request->clientPort.name = MACH_PORT_NULL;  // the handler's now
    reply->RetCode = __mach_IOSurfaceSharingConnectServer_ClientCheckIn(head->msgh_local_port, clientPort, clientID,
                                                                        clientType, &index);
    if (reply->RetCode == KERN_SUCCESS) {
        reply->outClientIndex = index;
        reply->Head.msgh_size = sizeof *reply;
    }
}

void receive_ClientFrameIn(mach_msg_header_t *head, mach_msg_header_t *replyHead) {
    auto *request = reinterpret_cast<Request_ClientFrameIn *>(head);
    auto *reply = reinterpret_cast<Reply *>(replyHead);
    if ((head->msgh_bits & MACH_MSGH_BITS_COMPLEX) == 0 || head->msgh_size != sizeof *request ||
        request->msgh_body.msgh_descriptor_count != 2)
        return Fail(head, replyHead, MIG_BAD_ARGUMENTS);
    if (!IsSendDescriptor(request->clientPort) || !IsSendDescriptor(request->surfacePort))
        return Fail(head, replyHead, MIG_TYPE_ERROR);
    uint64_t time = request->surfaceTime;
    if (SwapNeeded(request->NDR)) time = __builtin_bswap64(time);
    const mach_port_t clientPort = request->clientPort.name, surfacePort = request->surfacePort.name;
    request->surfacePort.name = MACH_PORT_NULL;
    reply->RetCode = __mach_IOSurfaceSharingConnectServer_ClientFrameIn(head->msgh_local_port, clientPort, time, surfacePort);
    DestroyDescriptors(head);  // the client port
}

void receive_BroadcastFrameSurface(mach_msg_header_t *head, mach_msg_header_t *replyHead) {
    auto *request = reinterpret_cast<Request_BroadcastFrameSurface *>(head);
    auto *reply = reinterpret_cast<Reply *>(replyHead);
    if ((head->msgh_bits & MACH_MSGH_BITS_COMPLEX) == 0 || head->msgh_size != sizeof *request ||
        request->msgh_body.msgh_descriptor_count != 1)
        return Fail(head, replyHead, MIG_BAD_ARGUMENTS);
    if (!IsSendDescriptor(request->surfacePort)) return Fail(head, replyHead, MIG_TYPE_ERROR);
    uint64_t time = request->surfaceTime;
    if (SwapNeeded(request->NDR)) time = __builtin_bswap64(time);
    const mach_port_t surfacePort = request->surfacePort.name;
    request->surfacePort.name = MACH_PORT_NULL;
    reply->RetCode = __mach_IOSurfaceSharingConnectServer_BroadcastFrameSurface(head->msgh_local_port, time, surfacePort);
}

void receive_BroadcastControlCommand(mach_msg_header_t *head, mach_msg_header_t *replyHead) {
    auto *request = reinterpret_cast<Request_BroadcastControlCommand *>(head);
    auto *reply = reinterpret_cast<Reply *>(replyHead);
    if ((head->msgh_bits & MACH_MSGH_BITS_COMPLEX) != 0 || head->msgh_size != sizeof *request)
        return Fail(head, replyHead, MIG_BAD_ARGUMENTS);
    uint64_t name = request->commandName, value = request->commandValue;
    if (SwapNeeded(request->NDR)) {
        name = __builtin_bswap64(name);
        value = __builtin_bswap64(value);
    }
    reply->RetCode = __mach_IOSurfaceSharingConnectServer_BroadcastControlCommand(head->msgh_local_port, name, value);
}

// Sends the request and receives the reply on the thread's reply port.
kern_return_t Exchange(mach_msg_header_t *message, mach_msg_size_t sendSize, mach_msg_size_t receiveSize,
                       mach_port_t replyPort, mach_msg_timeout_t timeout) {
    const mach_msg_return_t result =
        mach_msg(message, MACH_SEND_MSG | MACH_RCV_MSG | MACH_SEND_TIMEOUT | MACH_RCV_TIMEOUT, sendSize, receiveSize,
                 replyPort, timeout, MACH_PORT_NULL);
    if (result != MACH_MSG_SUCCESS) {
        if (result == MACH_SEND_INVALID_DATA || result == MACH_SEND_INVALID_DEST || result == MACH_SEND_INVALID_HEADER)
            mig_put_reply_port(replyPort);
        else
            mig_dealloc_reply_port(replyPort);  // a late reply must not meet the next exchange
    }
    return result;
}

// The checks of a 36-byte reply; its code.
kern_return_t CheckReply(mach_msg_header_t *head, mach_msg_id_t expected) {
    auto *reply = reinterpret_cast<Reply *>(head);
    if (head->msgh_id == MACH_NOTIFY_SEND_ONCE) return MIG_SERVER_DIED;
    if (head->msgh_id != expected) {
        mach_msg_destroy(head);
        return MIG_REPLY_MISMATCH;
    }
    if ((head->msgh_bits & MACH_MSGH_BITS_COMPLEX) != 0 || head->msgh_size != sizeof(Reply)) {
        mach_msg_destroy(head);
        return MIG_TYPE_ERROR;
    }
    if (MACH_PORT_VALID(head->msgh_remote_port)) mach_port_deallocate(mach_task_self(), head->msgh_remote_port);
    return SwapNeeded(reply->NDR) ? kern_return_t(__builtin_bswap32(uint32_t(reply->RetCode))) : reply->RetCode;
}

void FillRequestHeader(mach_msg_header_t &head, bool complex, mach_msg_size_t size, mach_port_t destination,
                       mach_port_t reply, mach_msg_id_t id) {
    head.msgh_bits = (complex ? MACH_MSGH_BITS_COMPLEX : 0) |
                     MACH_MSGH_BITS(MACH_MSG_TYPE_COPY_SEND, reply != MACH_PORT_NULL ? MACH_MSG_TYPE_MAKE_SEND_ONCE : 0);
    head.msgh_size = size;
    head.msgh_remote_port = destination;
    head.msgh_local_port = reply;
    head.msgh_voucher_port = 0;
    head.msgh_id = id;
}

mach_msg_port_descriptor_t CopySend(mach_port_t name) {
    mach_msg_port_descriptor_t descriptor{};
    descriptor.name = name;
    descriptor.disposition = MACH_MSG_TYPE_COPY_SEND;
    descriptor.type = MACH_MSG_PORT_DESCRIPTOR;
    return descriptor;
}

}  // namespace

IOSurfaceSharing_routine_t IOSurfaceSharing_server_routine(const mach_msg_header_t *request) {
    switch (request->msgh_id) {
    case IOSurfaceSharing_ClientCheckIn:
        return &receive_ClientCheckIn;
    case IOSurfaceSharing_ClientFrameIn:
        return &receive_ClientFrameIn;
    case IOSurfaceSharing_BroadcastFrameSurface:
        return &receive_BroadcastFrameSurface;
    case IOSurfaceSharing_BroadcastControlCommand:
        return &receive_BroadcastControlCommand;
    default:
        return nullptr;
    }
}

bool IOSurfaceSharing_server(mach_msg_header_t *request, mach_msg_header_t *replyHead) {
    auto *reply = reinterpret_cast<Reply *>(replyHead);
    std::memset(replyHead, 0, kMaxReplySize);
    reply->Head.msgh_bits = MACH_MSGH_BITS(MACH_MSGH_BITS_REMOTE(request->msgh_bits), 0);
    reply->Head.msgh_size = sizeof(Reply);
    reply->Head.msgh_remote_port = request->msgh_remote_port;
    reply->Head.msgh_local_port = MACH_PORT_NULL;
    reply->Head.msgh_id = request->msgh_id + IOSurfaceSharing_ReplyOffset;
    reply->NDR = NDR_record;
    IOSurfaceSharing_routine_t routine = IOSurfaceSharing_server_routine(request);
    if (routine == nullptr) {
        DestroyDescriptors(request);
        reply->RetCode = MIG_BAD_ID;
        return false;
    }
    routine(request, replyHead);
    return true;
}

#define LUMORA_SERVER_ROUTINE_CATCH(name) \
    catch (const std::exception &exception) { \
        CoreMachDebugLog("__mach_IOSurfaceSharingConnectServer_" name ": exception: %s\n", exception.what()); \
    } \
    catch (...) { \
        CoreMachDebugLog("__mach_IOSurfaceSharingConnectServer_" name ": exception: %s\n", "unknown"); \
    }

kern_return_t __mach_IOSurfaceSharingConnectServer_ClientCheckIn(mach_port_t receiving, mach_port_t clientPort,
                                                                 uint64_t clientID, uint64_t clientType,
                                                                 uint32_t *outClientIndex) {
    kern_return_t result = KERN_SUCCESS;
    std::shared_ptr<IOSurfaceMachConnection> connection = ConnectionFor(receiving);
    if (connection == nullptr) {
        if (MACH_PORT_VALID(clientPort)) mach_port_deallocate(mach_task_self(), clientPort);
        return result;
    }
    try {
        result = connection->__mach_message_ClientCheckIn(clientPort, clientID, clientType, outClientIndex);
    }
    LUMORA_SERVER_ROUTINE_CATCH("ClientCheckIn")
    return result;
}

kern_return_t __mach_IOSurfaceSharingConnectServer_ClientFrameIn(mach_port_t receiving, mach_port_t clientPort,
                                                                 uint64_t surfaceTime, mach_port_t surfacePort) {
    kern_return_t result = KERN_SUCCESS;
    std::shared_ptr<IOSurfaceMachConnection> connection = ConnectionFor(receiving);
    const uint32_t surfaceID = IOSurfaceIPC::localIOSurfaceIDFromRemotingSurfaceID(surfacePort);
    if (connection == nullptr) return result;
    try {
        result = connection->__mach_message_ClientFrameIn(clientPort, surfaceTime, surfaceID);
    }
    LUMORA_SERVER_ROUTINE_CATCH("ClientFrameIn")
    return result;
}

kern_return_t __mach_IOSurfaceSharingConnectServer_BroadcastFrameSurface(mach_port_t receiving, uint64_t surfaceTime,
                                                                         mach_port_t surfacePort) {
    kern_return_t result = KERN_SUCCESS;
    std::shared_ptr<IOSurfaceMachConnection> connection = ConnectionFor(receiving);
    const uint32_t surfaceID = IOSurfaceIPC::localIOSurfaceIDFromRemotingSurfaceID(surfacePort);
    if (connection == nullptr) return result;
    try {
        result = connection->__mach_message_BroadcastFrameSurfaceTime(surfaceTime, surfaceID);
        if (result != KERN_SUCCESS) connection->delegatedConnectionError(result);
    }
    LUMORA_SERVER_ROUTINE_CATCH("BroadcastFrameSurface")
    return result;
}

kern_return_t __mach_IOSurfaceSharingConnectServer_BroadcastControlCommand(mach_port_t receiving, uint64_t commandName,
                                                                           uint64_t commandValue) {
    kern_return_t result = KERN_SUCCESS;
    std::shared_ptr<IOSurfaceMachConnection> connection = ConnectionFor(receiving);
    if (connection == nullptr) return result;
    try {
        result = connection->__mach_message_BroadcastControlCommand(commandName, commandValue);
        if (result != KERN_SUCCESS) connection->delegatedConnectionError(result);
    }
    LUMORA_SERVER_ROUTINE_CATCH("BroadcastControlCommand")
    return result;
}

kern_return_t __mach_IOSurfaceSharingConnectClient_ClientCheckIn(mach_port_t serverPort, mach_port_t clientPort,
                                                                 uint64_t clientID, uint64_t clientType,
                                                                 uint32_t *outClientIndex, mach_msg_timeout_t timeout) {
    union {
        Request_ClientCheckIn in;
        Reply_ClientCheckIn out;
        uint8_t room[64 + 16];
    } message{};
    const mach_port_t replyPort = mig_get_reply_port();
    FillRequestHeader(message.in.Head, true, sizeof message.in, serverPort, replyPort, IOSurfaceSharing_ClientCheckIn);
    message.in.msgh_body.msgh_descriptor_count = 1;
    message.in.clientPort = CopySend(clientPort);
    message.in.NDR = NDR_record;
    message.in.inClientID = clientID;
    message.in.inClientType = clientType;
    const kern_return_t result = Exchange(&message.in.Head, sizeof message.in, 48, replyPort, timeout);
    if (result != KERN_SUCCESS) return result;
    mach_msg_header_t *head = &message.out.Head;
    if (head->msgh_id == MACH_NOTIFY_SEND_ONCE) return MIG_SERVER_DIED;
    if (head->msgh_id != IOSurfaceSharing_ClientCheckIn + IOSurfaceSharing_ReplyOffset) {
        mach_msg_destroy(head);
        return MIG_REPLY_MISMATCH;
    }
    const bool swap = SwapNeeded(message.out.NDR);
    const kern_return_t code =
        swap ? kern_return_t(__builtin_bswap32(uint32_t(message.out.RetCode))) : message.out.RetCode;
    if ((head->msgh_bits & MACH_MSGH_BITS_COMPLEX) != 0 ||
        (head->msgh_size != sizeof(Reply_ClientCheckIn) && (head->msgh_size != sizeof(Reply) || code == KERN_SUCCESS))) {
        mach_msg_destroy(head);
        return MIG_TYPE_ERROR;
    }
    if (MACH_PORT_VALID(head->msgh_remote_port)) mach_port_deallocate(mach_task_self(), head->msgh_remote_port);
    if (code != KERN_SUCCESS) return code;
    if (outClientIndex != nullptr)
        *outClientIndex = swap ? __builtin_bswap32(message.out.outClientIndex) : message.out.outClientIndex;
    return KERN_SUCCESS;
}

kern_return_t __mach_IOSurfaceSharingConnectClient_ClientFrameIn(mach_port_t serverPort, mach_port_t clientPort,
                                                                 uint64_t surfaceTime, mach_port_t surfacePort,
                                                                 mach_msg_timeout_t timeout) {
    union {
        Request_ClientFrameIn in;
        Reply out;
        uint8_t room[68 + 16];
    } message{};
    const mach_port_t replyPort = mig_get_reply_port();
    FillRequestHeader(message.in.Head, true, sizeof message.in, serverPort, replyPort, IOSurfaceSharing_ClientFrameIn);
    message.in.msgh_body.msgh_descriptor_count = 2;
    message.in.clientPort = CopySend(clientPort);
    message.in.surfacePort = CopySend(surfacePort);
    message.in.NDR = NDR_record;
    message.in.surfaceTime = surfaceTime;
    const kern_return_t result = Exchange(&message.in.Head, sizeof message.in, 44, replyPort, timeout);
    if (result != KERN_SUCCESS) return result;
    return CheckReply(&message.out.Head, IOSurfaceSharing_ClientFrameIn + IOSurfaceSharing_ReplyOffset);
}

void IOSurfaceSharing_BuildBroadcastFrameSurface(Request_BroadcastFrameSurface &request, mach_port_t clientPort,
                                                 mach_port_t replyPort, uint64_t surfaceTime, mach_port_t surfacePort) {
    std::memset(&request, 0, sizeof request);
    FillRequestHeader(request.Head, true, sizeof request, clientPort, replyPort, IOSurfaceSharing_BroadcastFrameSurface);
    request.msgh_body.msgh_descriptor_count = 1;
    request.surfacePort = CopySend(surfacePort);
    request.NDR = NDR_record;
    request.surfaceTime = surfaceTime;
}

kern_return_t __mach_IOSurfaceSharingConnectClient_BroadcastFrameSurface(mach_port_t clientPort, uint64_t surfaceTime,
                                                                         mach_port_t surfacePort,
                                                                         mach_msg_timeout_t timeout) {
    union {
        Request_BroadcastFrameSurface in;
        Reply out;
        uint8_t room[56 + 16];
    } message{};
    const mach_port_t replyPort = mig_get_reply_port();
    IOSurfaceSharing_BuildBroadcastFrameSurface(message.in, clientPort, replyPort, surfaceTime, surfacePort);
    const kern_return_t result = Exchange(&message.in.Head, sizeof message.in, 44, replyPort, timeout);
    if (result != KERN_SUCCESS) return result;
    return CheckReply(&message.out.Head, IOSurfaceSharing_BroadcastFrameSurface + IOSurfaceSharing_ReplyOffset);
}

kern_return_t __mach_IOSurfaceSharingConnectClient_BroadcastControlCommand(mach_port_t clientPort, uint64_t commandName,
                                                                           uint64_t commandValue,
                                                                           mach_msg_timeout_t timeout) {
    union {
        Request_BroadcastControlCommand in;
        Reply out;
        uint8_t room[48 + 16];
    } message{};
    const mach_port_t replyPort = mig_get_reply_port();
    FillRequestHeader(message.in.Head, false, sizeof message.in, clientPort, replyPort,
                      IOSurfaceSharing_BroadcastControlCommand);
    message.in.NDR = NDR_record;
    message.in.commandName = commandName;
    message.in.commandValue = commandValue;
    const kern_return_t result = Exchange(&message.in.Head, sizeof message.in, 44, replyPort, timeout);
    if (result != KERN_SUCCESS) return result;
    return CheckReply(&message.out.Head, IOSurfaceSharing_BroadcastControlCommand + IOSurfaceSharing_ReplyOffset);
}
