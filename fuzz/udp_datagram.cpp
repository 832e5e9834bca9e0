// The reader of datagrams of the UDP loopback casts: any bytes from any sender (the first
// six bytes of the input are the sender's address and port) served by a server whose socket
// is not open, so nothing goes out. Only loopback senders may enter the client table, the
// table stays bounded, and a datagram read back keeps its text terminated.
#include "FuzzSupport.h"

#include <FrameSharing/Network/UDPLoopbackMessageServer.h>

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static UDPLoopbackMessageServer server(30300);
    lumora::fuzz::Input input(data, size);
    uint32_t address = 0;
    for (int i = 0; i < 4; ++i) address = address << 8 | input.byte();
    const uint16_t port = input.u16();
    const std::string_view bytes = input.rest();
    const UDPNetwork::IPAddress sender(address, port);

    const size_t before = server.ActiveClientCount();
    const bool taken = server.ServeDatagram(sender, bytes.data(), bytes.size());
    LUMORA_CHECK(!taken || sender.IsLoopback());
    LUMORA_CHECK(taken || server.ActiveClientCount() == before);
    LUMORA_CHECK(server.ActiveClientCount() <= UDPLoopbackMessageServer::kMaxActiveClients);

    UDPLoopBackMessageData message;
    message.SetReceived(bytes.data(), bytes.size());
    LUMORA_CHECK(std::strlen(message.GetText()) <= UDPLoopBackMessageData::kMaxTextLength);
    LUMORA_CHECK(message.sendMessageDataSize() <= UDPLoopBackMessageData::kAreaSize);
    LUMORA_CHECK(!message.description().empty());
    LUMORA_CHECK(server.CastMessage(message) == 0);  // the socket is not open
    return 0;
}
