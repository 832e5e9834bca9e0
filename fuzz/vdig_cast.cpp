// The virtual camera's reader of UDP casts: any bytes from any sender (the first six bytes
// of the input are the sender's address and port) offered to the client of a server on
// 127.0.0.1:30300. Only the server's own acknowledgements and data casts are taken, and the
// surface a cast names goes through the frame cache, which stays bounded whatever it names.
#include "FuzzSupport.h"

#include <VDigDevices/IOSurfaceSharingUDPImage.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static IOSurfaceSharingFrameBufferCache cache;
    static const bool connected = cache.ConnnectWithWidthHeight(640, 480, UVideoFrameBuffer::kPixelFormat_raw);
    LUMORA_CHECK(connected);
    lumora::fuzz::Input input(data, size);
    uint32_t address = 0;
    for (int i = 0; i < 4; ++i) address = address << 8 | input.byte();
    const uint16_t port = input.u16();
    const std::string_view bytes = input.rest();
    const UDPNetwork::IPAddress server(0x7F000001, 30300), sender(address, port);

    UDPLoopBackMessageData message;
    const uint16_t type =
        UDPLoopbackMessageClient::AcceptServerDatagram(server, sender, bytes.data(), bytes.size(), message);
    LUMORA_CHECK(type == 0 || sender == server);
    LUMORA_CHECK(type == 0 || type == 2 || type == 3);
    if (type == 3) {
        auto frame = cache.AcquireCachedFrameWithSurfaceID(IOSurfaceID(message.GetValueA()));
        LUMORA_CHECK(!frame || frame->mFrameBufferFormat.mPixelWidth == 640);
        cache.ReleaseCachedFrame(frame);
    }
    LUMORA_CHECK(cache.EntryCount() <= IOSurfaceSharingFrameBufferCache::kMaxCachedSurfaces);
    return 0;
}
