#include <CoreMIDI/MIDIEventCoding.h>
#include <CoreMIDI/MIDIServices.h>

#include <CoreFoundation/CFDictionary.h>
#include <CoreFoundation/CFInternal.h>
#include <CoreFoundation/CFNumber.h>
#include <Mach/mach_time.h>

#include <alsa/asoundlib.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

LUMORA_CF_CONSTANT_STRING(gPropertyName, "name");
LUMORA_CF_CONSTANT_STRING(gPropertyDisplayName, "displayName");
LUMORA_CF_CONSTANT_STRING(gPropertyUniqueID, "uniqueID");
LUMORA_CF_CONSTANT_STRING(gPropertyOffline, "offline");

}  // namespace

const CFStringRef kMIDIPropertyName = &gPropertyName.object;
const CFStringRef kMIDIPropertyDisplayName = &gPropertyDisplayName.object;
const CFStringRef kMIDIPropertyUniqueID = &gPropertyUniqueID.object;
const CFStringRef kMIDIPropertyOffline = &gPropertyOffline.object;

namespace {

// Reference kinds: the top nibble. Endpoints carry their sequencer address below it.
constexpr UInt32 kRefKindMask = 0xF0000000u;
constexpr UInt32 kRefClient = 0x10000000u;
constexpr UInt32 kRefPort = 0x20000000u;
constexpr UInt32 kRefSource = 0x40000000u;
constexpr UInt32 kRefDestination = 0x50000000u;

constexpr size_t kCodingBufferSize = 4096;

MIDIEndpointRef endpointRef(UInt32 kind, int client, int port) {
    return kind | (UInt32(client & 0xFF) << 8) | UInt32(port & 0xFF);
}

struct Address {
    int client;
    int port;
};

std::optional<Address> endpointAddress(MIDIEndpointRef ref, UInt32 kind) {
    if ((ref & kRefKindMask) != kind || (ref & 0x0FFF0000u) != 0) {
        return std::nullopt;
    }
    return Address{int((ref >> 8) & 0xFF), int(ref & 0xFF)};
}

std::string stringFromCF(CFStringRef string) {
    if (string == nullptr) {
        return {};
    }
    CFIndex size = CFStringGetMaximumSizeForEncoding(CFStringGetLength(string), kCFStringEncodingUTF8) + 1;
    std::string text(size_t(size), '\0');
    if (!CFStringGetCString(string, text.data(), size, kCFStringEncodingUTF8)) {
        return {};
    }
    text.resize(std::strlen(text.c_str()));
    return text;
}

// ALSA reports its own errors on standard error; a machine without a sequencer would print one
// line per attempt. The layer reports them as status codes instead.
void silentErrorHandler(const char *, int, const char *, int, const char *, ...) {}

int openSequencer(snd_seq_t **seq, int streams) {
    static std::once_flag quiet;
    std::call_once(quiet, [] { snd_lib_error_set_handler(silentErrorHandler); });
    return snd_seq_open(seq, "default", streams, SND_SEQ_NONBLOCK);
}

struct Client;

struct Port {
    MIDIPortRef ref = 0;
    std::shared_ptr<Client> client;
    int alsaPort = -1;
    bool input = false;
    std::string name;
    MIDIReadProc readProc = nullptr;
    void *refCon = nullptr;
    // Sources connected to the input port, with their reference constants.
    std::map<MIDIEndpointRef, void *> connections;
    snd_midi_event_t *coder = nullptr;  // decoder of an input port, encoder of an output port
};

struct VirtualSource {
    MIDIEndpointRef ref = 0;
    std::shared_ptr<Client> client;
    int alsaPort = -1;
    snd_midi_event_t *encoder = nullptr;
};

struct Client {
    MIDIClientRef ref = 0;
    std::string name;
    snd_seq_t *seq = nullptr;
    int clientId = -1;
    int announcePort = -1;
    MIDINotifyProc notifyProc = nullptr;
    void *notifyRefCon = nullptr;
    int wakeFd = -1;
    std::thread thread;
    // Every call on the sequencer handle (and on the ports' coders).
    std::recursive_mutex seqMutex;
    // Held while one of the client's procedures runs; disposal takes it to wait for them.
    std::recursive_mutex callbackMutex;
};

// The registry of our objects. Lock order: a client's callbackMutex, then gRegistryMutex, then
// the client's seqMutex (a procedure may call back into the layer).
std::mutex gRegistryMutex;
std::map<MIDIClientRef, std::shared_ptr<Client>> gClients;
std::map<MIDIPortRef, std::shared_ptr<Port>> gPorts;
std::map<MIDIEndpointRef, std::shared_ptr<VirtualSource>> gVirtualSources;
UInt32 gNextClient = 1;
UInt32 gNextPort = 1;

std::shared_ptr<Client> findClient(MIDIClientRef ref) {
    std::lock_guard lock(gRegistryMutex);
    auto it = gClients.find(ref);
    return it == gClients.end() ? nullptr : it->second;
}

std::shared_ptr<Port> findPort(MIDIPortRef ref) {
    std::lock_guard lock(gRegistryMutex);
    auto it = gPorts.find(ref);
    return it == gPorts.end() ? nullptr : it->second;
}

// The process-wide handle that enumerates the sequencer's clients and ports. Opened on first
// use; after a failed open it is tried again at most once a second.
struct QuerySequencer {
    std::mutex mutex;
    snd_seq_t *seq = nullptr;
    std::chrono::steady_clock::time_point lastAttempt{};
    bool attempted = false;
};

QuerySequencer &querySequencer() {
    static QuerySequencer query;
    return query;
}

template <typename Body>
auto withQuerySequencer(Body &&body) -> decltype(body(static_cast<snd_seq_t *>(nullptr))) {
    QuerySequencer &query = querySequencer();
    std::lock_guard lock(query.mutex);
    if (query.seq == nullptr) {
        auto now = std::chrono::steady_clock::now();
        if (!query.attempted || now - query.lastAttempt >= std::chrono::seconds(1)) {
            query.attempted = true;
            query.lastAttempt = now;
            if (openSequencer(&query.seq, SND_SEQ_OPEN_OUTPUT) < 0) {
                query.seq = nullptr;
            } else {
                snd_seq_set_client_name(query.seq, "Lumora MIDI setup");
            }
        }
    }
    return body(query.seq);
}

constexpr unsigned kSourceCaps = SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;
constexpr unsigned kDestinationCaps = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;

std::vector<MIDIEndpointRef> enumerateEndpoints(bool sources) {
    return withQuerySequencer([sources](snd_seq_t *seq) {
        std::vector<MIDIEndpointRef> endpoints;
        if (seq == nullptr) {
            return endpoints;
        }
        snd_seq_client_info_t *clientInfo;
        snd_seq_port_info_t *portInfo;
        snd_seq_client_info_alloca(&clientInfo);
        snd_seq_port_info_alloca(&portInfo);
        snd_seq_client_info_set_client(clientInfo, -1);
        while (snd_seq_query_next_client(seq, clientInfo) >= 0) {
            int client = snd_seq_client_info_get_client(clientInfo);
            if (client == SND_SEQ_CLIENT_SYSTEM) {
                continue;
            }
            snd_seq_port_info_set_client(portInfo, client);
            snd_seq_port_info_set_port(portInfo, -1);
            while (snd_seq_query_next_port(seq, portInfo) >= 0) {
                unsigned caps = snd_seq_port_info_get_capability(portInfo);
                unsigned wanted = sources ? kSourceCaps : kDestinationCaps;
                if ((caps & wanted) != wanted || (caps & SND_SEQ_PORT_CAP_NO_EXPORT) != 0) {
                    continue;
                }
                endpoints.push_back(endpointRef(sources ? kRefSource : kRefDestination, client,
                                                snd_seq_port_info_get_port(portInfo)));
            }
        }
        return endpoints;
    });
}

struct EndpointInfo {
    std::string name;
    std::string displayName;
};

// The names of an existing endpoint; nothing when it does not exist (or is of the other kind).
std::optional<EndpointInfo> endpointInfo(MIDIEndpointRef ref) {
    auto source = endpointAddress(ref, kRefSource);
    auto destination = endpointAddress(ref, kRefDestination);
    if (!source && !destination) {
        return std::nullopt;
    }
    Address address = source ? *source : *destination;
    unsigned wanted = source ? kSourceCaps : kDestinationCaps;
    return withQuerySequencer([&](snd_seq_t *seq) -> std::optional<EndpointInfo> {
        if (seq == nullptr) {
            return std::nullopt;
        }
        snd_seq_client_info_t *clientInfo;
        snd_seq_port_info_t *portInfo;
        snd_seq_client_info_alloca(&clientInfo);
        snd_seq_port_info_alloca(&portInfo);
        if (address.client == SND_SEQ_CLIENT_SYSTEM ||
            snd_seq_get_any_client_info(seq, address.client, clientInfo) < 0 ||
            snd_seq_get_any_port_info(seq, address.client, address.port, portInfo) < 0) {
            return std::nullopt;
        }
        if ((snd_seq_port_info_get_capability(portInfo) & wanted) != wanted) {
            return std::nullopt;
        }
        EndpointInfo info;
        info.name = snd_seq_port_info_get_name(portInfo);
        std::string clientName = snd_seq_client_info_get_name(clientInfo);
        info.displayName = info.name.rfind(clientName, 0) == 0 ? info.name : clientName + " " + info.name;
        return info;
    });
}

// One read batch of a client: the bytes for each input port, and whether the setup changed.
struct Delivery {
    MIDIPortRef port;
    MIDIEndpointRef source;
    std::vector<UInt8> bytes;
};

bool isAnnouncement(const snd_seq_event_t *ev) {
    switch (ev->type) {
        case SND_SEQ_EVENT_CLIENT_START:
        case SND_SEQ_EVENT_CLIENT_EXIT:
        case SND_SEQ_EVENT_CLIENT_CHANGE:
        case SND_SEQ_EVENT_PORT_START:
        case SND_SEQ_EVENT_PORT_EXIT:
        case SND_SEQ_EVENT_PORT_CHANGE:
            return true;
        default:
            return false;
    }
}

std::vector<UInt8> decodeEvent(snd_midi_event_t *decoder, const snd_seq_event_t *ev) {
    size_t capacity = 64;
    if (snd_seq_ev_is_variable(ev)) {
        capacity += ev->data.ext.len;
    }
    std::vector<UInt8> bytes(capacity);
    snd_midi_event_reset_decode(decoder);
    long count = snd_midi_event_decode(decoder, bytes.data(), long(bytes.size()), ev);
    bytes.resize(count > 0 ? size_t(count) : 0);
    return bytes;
}

// The sequencer drops the subscriptions of a port that goes away; so do the client's input
// ports (under gRegistryMutex), so that a source that comes back at the same address is
// connected again.
void forgetConnections(const Client &client, snd_seq_addr_t gone, bool wholeClient) {
    for (auto &[ref, port] : gPorts) {
        if (port->client.get() != &client) {
            continue;
        }
        for (auto connection = port->connections.begin(); connection != port->connections.end();) {
            auto address = endpointAddress(connection->first, kRefSource);
            if (address && address->client == gone.client && (wholeClient || address->port == gone.port)) {
                connection = port->connections.erase(connection);
            } else {
                ++connection;
            }
        }
    }
}

void receiveLoop(std::shared_ptr<Client> client) {
    for (;;) {
        std::vector<pollfd> fds;
        {
            std::lock_guard lock(client->seqMutex);
            if (client->seq == nullptr) {
                return;
            }
            int count = snd_seq_poll_descriptors_count(client->seq, POLLIN);
            fds.resize(size_t(std::max(count, 0)) + 1);
            int filled = snd_seq_poll_descriptors(client->seq, fds.data() + 1, unsigned(count), POLLIN);
            fds.resize(size_t(std::max(filled, 0)) + 1);
        }
        fds[0] = pollfd{client->wakeFd, POLLIN, 0};
        if (poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            return;
        }

        std::vector<Delivery> deliveries;
        bool setupChanged = false;
        {
            std::lock_guard registryLock(gRegistryMutex);
            std::lock_guard lock(client->seqMutex);
            for (;;) {
                if (client->seq == nullptr) {
                    break;
                }
                snd_seq_event_t *ev = nullptr;
                int result = snd_seq_event_input(client->seq, &ev);
                if (result == -ENOSPC) {
                    continue;  // the input queue overran; what is left still comes
                }
                if (result < 0 || ev == nullptr) {
                    break;
                }
                if (ev->source.client == SND_SEQ_CLIENT_SYSTEM && isAnnouncement(ev)) {
                    setupChanged = true;
                    if (ev->type == SND_SEQ_EVENT_PORT_EXIT || ev->type == SND_SEQ_EVENT_CLIENT_EXIT) {
                        forgetConnections(*client, ev->data.addr, ev->type == SND_SEQ_EVENT_CLIENT_EXIT);
                    }
                    continue;
                }
                for (auto &[ref, port] : gPorts) {
                    if (port->client != client || !port->input || port->alsaPort != ev->dest.port) {
                        continue;
                    }
                    MIDIEndpointRef source = endpointRef(kRefSource, ev->source.client, ev->source.port);
                    if (port->connections.count(source) == 0) {
                        break;  // from no source of ours (a direct send): not for this port
                    }
                    std::vector<UInt8> bytes = decodeEvent(port->coder, ev);
                    if (!bytes.empty()) {
                        deliveries.push_back(Delivery{ref, source, std::move(bytes)});
                    }
                    break;
                }
            }
        }

        std::lock_guard callbackLock(client->callbackMutex);
        for (const Delivery &delivery : deliveries) {
            MIDIReadProc proc = nullptr;
            void *refCon = nullptr;
            void *connRefCon = nullptr;
            {
                std::lock_guard registryLock(gRegistryMutex);
                auto it = gPorts.find(delivery.port);
                if (it == gPorts.end()) {
                    continue;
                }
                auto connection = it->second->connections.find(delivery.source);
                if (connection == it->second->connections.end()) {
                    continue;
                }
                proc = it->second->readProc;
                refCon = it->second->refCon;
                connRefCon = connection->second;
            }
            std::vector<UInt8> list = MIDIEventCoding::packetListForBytes(delivery.bytes, mach_absolute_time());
            if (proc != nullptr) {
                proc(reinterpret_cast<const MIDIPacketList *>(list.data()), refCon, connRefCon);
            }
        }
        if (setupChanged && client->notifyProc != nullptr) {
            MIDINotification notification{kMIDIMsgSetupChanged, sizeof(MIDINotification)};
            client->notifyProc(&notification, client->notifyRefCon);
        }
    }
}

int createAlsaPort(Client &client, const std::string &name, unsigned caps) {
    std::lock_guard lock(client.seqMutex);
    return snd_seq_create_simple_port(client.seq, name.c_str(), caps,
                                      SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
}

void closeClient(Client &client) {
    if (client.thread.joinable()) {
        uint64_t one = 1;
        [[maybe_unused]] ssize_t written = write(client.wakeFd, &one, sizeof(one));
        if (client.thread.get_id() == std::this_thread::get_id()) {
            client.thread.detach();
        } else {
            client.thread.join();
        }
    }
    std::lock_guard lock(client.seqMutex);
    if (client.seq != nullptr) {
        snd_seq_close(client.seq);
        client.seq = nullptr;
    }
    if (client.wakeFd >= 0 && !client.thread.joinable()) {
        close(client.wakeFd);
        client.wakeFd = -1;
    }
}

void freePort(Port &port) {
    if (port.coder != nullptr) {
        snd_midi_event_free(port.coder);
        port.coder = nullptr;
    }
}

// Sends the bytes of the list as events from the port of the client, to the destination or
// (no destination) to the port's subscribers.
OSStatus sendPacketList(Client &client, int alsaPort, snd_midi_event_t *encoder, std::optional<Address> destination,
                        const MIDIPacketList *pktlist) {
    if (pktlist == nullptr) {
        return kMIDIMessageSendErr;
    }
    std::lock_guard lock(client.seqMutex);
    const MIDIPacket *packet = &pktlist->packet[0];
    OSStatus status = noErr;
    for (UInt32 i = 0; i < pktlist->numPackets; ++i) {
        long offset = 0;
        while (offset < packet->length) {
            snd_seq_event_t ev;
            snd_seq_ev_clear(&ev);
            long used = snd_midi_event_encode(encoder, packet->data + offset, packet->length - offset, &ev);
            if (used <= 0) {
                break;
            }
            offset += used;
            if (ev.type == SND_SEQ_EVENT_NONE) {
                continue;  // the message goes on in the next bytes
            }
            snd_seq_ev_set_source(&ev, alsaPort);
            if (destination) {
                snd_seq_ev_set_dest(&ev, destination->client, destination->port);
            } else {
                snd_seq_ev_set_subs(&ev);
            }
            snd_seq_ev_set_direct(&ev);
            if (snd_seq_event_output_direct(client.seq, &ev) < 0) {
                status = kMIDIMessageSendErr;
            }
        }
        packet = MIDIPacketNext(packet);
    }
    return status;
}

}  // namespace

MIDIPacket *MIDIPacketListInit(MIDIPacketList *pktlist) {
    pktlist->numPackets = 0;
    return &pktlist->packet[0];
}

MIDIPacket *MIDIPacketListAdd(MIDIPacketList *pktlist, ByteCount listSize, MIDIPacket *curPacket,
                              MIDITimeStamp time, ByteCount nData, const UInt8 *data) {
    if (pktlist == nullptr || curPacket == nullptr || nData > 0xFFFF) {
        return nullptr;
    }
    MIDIPacket *packet = pktlist->numPackets == 0 ? curPacket : MIDIPacketNext(curPacket);
    auto *start = reinterpret_cast<UInt8 *>(pktlist);
    size_t end = size_t(reinterpret_cast<UInt8 *>(packet->data) - start) + nData;
    if (reinterpret_cast<UInt8 *>(packet) < start || end > listSize) {
        return nullptr;
    }
    packet->timeStamp = time;
    packet->length = UInt16(nData);
    if (nData > 0) {
        std::memcpy(packet->data, data, nData);
    }
    ++pktlist->numPackets;
    return packet;
}

OSStatus MIDIClientCreate(CFStringRef name, MIDINotifyProc notifyProc, void *notifyRefCon, MIDIClientRef *outClient) {
    if (outClient == nullptr) {
        return paramErr;
    }
    *outClient = 0;
    auto client = std::make_shared<Client>();
    client->name = stringFromCF(name);
    client->notifyProc = notifyProc;
    client->notifyRefCon = notifyRefCon;
    if (openSequencer(&client->seq, SND_SEQ_OPEN_DUPLEX) < 0) {
        client->seq = nullptr;
        return kMIDIServerStartErr;
    }
    client->wakeFd = eventfd(0, EFD_CLOEXEC);
    if (client->wakeFd < 0) {
        closeClient(*client);
        return kMIDIServerStartErr;
    }
    snd_seq_set_client_name(client->seq, client->name.empty() ? "Lumora" : client->name.c_str());
    client->clientId = snd_seq_client_id(client->seq);
    // The setup-change notifications: a private port subscribed to the system's announcements.
    client->announcePort = createAlsaPort(*client, "announcements", SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_NO_EXPORT);
    if (client->announcePort >= 0) {
        snd_seq_connect_from(client->seq, client->announcePort, SND_SEQ_CLIENT_SYSTEM, SND_SEQ_PORT_SYSTEM_ANNOUNCE);
    }
    {
        std::lock_guard lock(gRegistryMutex);
        client->ref = kRefClient | gNextClient++;
        gClients[client->ref] = client;
    }
    client->thread = std::thread(receiveLoop, client);
    *outClient = client->ref;
    return noErr;
}

OSStatus MIDIClientDispose(MIDIClientRef ref) {
    std::shared_ptr<Client> client;
    std::vector<std::shared_ptr<Port>> ports;
    std::vector<std::shared_ptr<VirtualSource>> sources;
    {
        std::lock_guard lock(gRegistryMutex);
        auto it = gClients.find(ref);
        if (it == gClients.end()) {
            return kMIDIInvalidClient;
        }
        client = it->second;
        gClients.erase(it);
        for (auto port = gPorts.begin(); port != gPorts.end();) {
            if (port->second->client == client) {
                ports.push_back(port->second);
                port = gPorts.erase(port);
            } else {
                ++port;
            }
        }
        for (auto source = gVirtualSources.begin(); source != gVirtualSources.end();) {
            if (source->second->client == client) {
                sources.push_back(source->second);
                source = gVirtualSources.erase(source);
            } else {
                ++source;
            }
        }
    }
    // Joining the receiving thread waits for a running procedure of the client.
    closeClient(*client);
    for (auto &port : ports) {
        freePort(*port);
    }
    for (auto &source : sources) {
        snd_midi_event_free(source->encoder);
        source->encoder = nullptr;
    }
    return noErr;
}

static OSStatus createPort(MIDIClientRef clientRef, CFStringRef portName, bool input, MIDIReadProc readProc,
                           void *refCon, MIDIPortRef *outPort) {
    if (outPort == nullptr) {
        return paramErr;
    }
    *outPort = 0;
    std::shared_ptr<Client> client = findClient(clientRef);
    if (!client) {
        return kMIDIInvalidClient;
    }
    auto port = std::make_shared<Port>();
    port->client = client;
    port->input = input;
    port->name = stringFromCF(portName);
    port->readProc = readProc;
    port->refCon = refCon;
    if (snd_midi_event_new(kCodingBufferSize, &port->coder) < 0) {
        return kMIDIInvalidPort;
    }
    snd_midi_event_no_status(port->coder, 1);
    // An input port is written to by the sources we subscribe it to, and stays out of the
    // destinations of others; an output port sends directly.
    unsigned caps = input ? (SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_NO_EXPORT) : SND_SEQ_PORT_CAP_READ;
    port->alsaPort = createAlsaPort(*client, port->name.empty() ? "port" : port->name, caps);
    if (port->alsaPort < 0) {
        freePort(*port);
        return kMIDIInvalidPort;
    }
    std::lock_guard lock(gRegistryMutex);
    port->ref = kRefPort | gNextPort++;
    gPorts[port->ref] = port;
    *outPort = port->ref;
    return noErr;
}

OSStatus MIDIInputPortCreate(MIDIClientRef client, CFStringRef portName, MIDIReadProc readProc, void *refCon,
                             MIDIPortRef *outPort) {
    return createPort(client, portName, true, readProc, refCon, outPort);
}

OSStatus MIDIOutputPortCreate(MIDIClientRef client, CFStringRef portName, MIDIPortRef *outPort) {
    return createPort(client, portName, false, nullptr, nullptr, outPort);
}

OSStatus MIDIPortDispose(MIDIPortRef ref) {
    std::shared_ptr<Port> port;
    {
        std::lock_guard lock(gRegistryMutex);
        auto it = gPorts.find(ref);
        if (it == gPorts.end()) {
            return kMIDIInvalidPort;
        }
        port = it->second;
        gPorts.erase(it);
    }
    std::lock_guard callbackLock(port->client->callbackMutex);
    {
        std::lock_guard lock(port->client->seqMutex);
        if (port->client->seq != nullptr) {
            snd_seq_delete_simple_port(port->client->seq, port->alsaPort);
        }
    }
    freePort(*port);
    return noErr;
}

OSStatus MIDIPortConnectSource(MIDIPortRef ref, MIDIEndpointRef source, void *connRefCon) {
    std::lock_guard registryLock(gRegistryMutex);
    auto it = gPorts.find(ref);
    if (it == gPorts.end() || !it->second->input) {
        return kMIDIInvalidPort;
    }
    Port &port = *it->second;
    auto address = endpointAddress(source, kRefSource);
    if (!address) {
        return kMIDIWrongEndpointType;
    }
    auto connection = port.connections.find(source);
    if (connection != port.connections.end()) {
        connection->second = connRefCon;
        return noErr;
    }
    std::lock_guard lock(port.client->seqMutex);
    int result = snd_seq_connect_from(port.client->seq, port.alsaPort, address->client, address->port);
    if (result < 0 && result != -EBUSY) {
        return result == -ENOENT || result == -ENXIO || result == -EINVAL ? kMIDIUnknownEndpoint : kMIDINoConnection;
    }
    port.connections[source] = connRefCon;
    return noErr;
}

OSStatus MIDIPortDisconnectSource(MIDIPortRef ref, MIDIEndpointRef source) {
    std::lock_guard registryLock(gRegistryMutex);
    auto it = gPorts.find(ref);
    if (it == gPorts.end() || !it->second->input) {
        return kMIDIInvalidPort;
    }
    Port &port = *it->second;
    if (port.connections.erase(source) == 0) {
        return kMIDINoConnection;
    }
    auto address = endpointAddress(source, kRefSource);
    std::lock_guard lock(port.client->seqMutex);
    snd_seq_disconnect_from(port.client->seq, port.alsaPort, address->client, address->port);
    return noErr;
}

ItemCount MIDIGetNumberOfSources() {
    return enumerateEndpoints(true).size();
}

MIDIEndpointRef MIDIGetSource(ItemCount sourceIndex0) {
    auto sources = enumerateEndpoints(true);
    return sourceIndex0 < sources.size() ? sources[sourceIndex0] : 0;
}

ItemCount MIDIGetNumberOfDestinations() {
    return enumerateEndpoints(false).size();
}

MIDIEndpointRef MIDIGetDestination(ItemCount destIndex0) {
    auto destinations = enumerateEndpoints(false);
    return destIndex0 < destinations.size() ? destinations[destIndex0] : 0;
}

OSStatus MIDISourceCreate(MIDIClientRef clientRef, CFStringRef name, MIDIEndpointRef *outSrc) {
    if (outSrc == nullptr) {
        return paramErr;
    }
    *outSrc = 0;
    std::shared_ptr<Client> client = findClient(clientRef);
    if (!client) {
        return kMIDIInvalidClient;
    }
    auto source = std::make_shared<VirtualSource>();
    source->client = client;
    if (snd_midi_event_new(kCodingBufferSize, &source->encoder) < 0) {
        return kMIDIServerStartErr;
    }
    std::string portName = stringFromCF(name);
    source->alsaPort = createAlsaPort(*client, portName.empty() ? "source" : portName, kSourceCaps);
    if (source->alsaPort < 0) {
        snd_midi_event_free(source->encoder);
        return kMIDIServerStartErr;
    }
    source->ref = endpointRef(kRefSource, client->clientId, source->alsaPort);
    std::lock_guard lock(gRegistryMutex);
    gVirtualSources[source->ref] = source;
    *outSrc = source->ref;
    return noErr;
}

OSStatus MIDIEndpointDispose(MIDIEndpointRef endpt) {
    std::shared_ptr<VirtualSource> source;
    {
        std::lock_guard lock(gRegistryMutex);
        auto it = gVirtualSources.find(endpt);
        if (it == gVirtualSources.end()) {
            return endpointAddress(endpt, kRefSource) || endpointAddress(endpt, kRefDestination) ? kMIDINotPermitted
                                                                                                : kMIDIUnknownEndpoint;
        }
        source = it->second;
        gVirtualSources.erase(it);
    }
    {
        std::lock_guard lock(source->client->seqMutex);
        if (source->client->seq != nullptr) {
            snd_seq_delete_simple_port(source->client->seq, source->alsaPort);
        }
    }
    snd_midi_event_free(source->encoder);
    source->encoder = nullptr;
    return noErr;
}

OSStatus MIDIReceived(MIDIEndpointRef src, const MIDIPacketList *pktlist) {
    std::shared_ptr<VirtualSource> source;
    {
        std::lock_guard lock(gRegistryMutex);
        auto it = gVirtualSources.find(src);
        if (it == gVirtualSources.end()) {
            return kMIDIUnknownEndpoint;
        }
        source = it->second;
    }
    return sendPacketList(*source->client, source->alsaPort, source->encoder, std::nullopt, pktlist);
}

OSStatus MIDISend(MIDIPortRef ref, MIDIEndpointRef dest, const MIDIPacketList *pktlist) {
    std::shared_ptr<Port> port = findPort(ref);
    if (!port || port->input) {
        return kMIDIInvalidPort;
    }
    auto address = endpointAddress(dest, kRefDestination);
    if (!address) {
        return kMIDIWrongEndpointType;
    }
    if (!endpointInfo(dest)) {
        return kMIDIUnknownEndpoint;
    }
    return sendPacketList(*port->client, port->alsaPort, port->coder, address, pktlist);
}

namespace {

struct ObjectProperties {
    std::string name;
    std::string displayName;
    SInt32 uniqueID = 0;
    SInt32 offline = 0;
};

std::optional<ObjectProperties> objectProperties(MIDIObjectRef obj) {
    UInt32 kind = obj & kRefKindMask;
    if (kind == kRefClient || kind == kRefPort) {
        std::lock_guard lock(gRegistryMutex);
        std::string name;
        if (kind == kRefClient) {
            auto it = gClients.find(obj);
            if (it == gClients.end()) {
                return std::nullopt;
            }
            name = it->second->name;
        } else {
            auto it = gPorts.find(obj);
            if (it == gPorts.end()) {
                return std::nullopt;
            }
            name = it->second->name;
        }
        return ObjectProperties{name, name, SInt32(obj), 0};
    }
    auto info = endpointInfo(obj);
    if (!info) {
        return std::nullopt;
    }
    return ObjectProperties{info->name, info->displayName, SInt32(obj), 0};
}

CFStringRef createString(const std::string &text) {
    return CFStringCreateWithCString(nullptr, text.c_str(), kCFStringEncodingUTF8);
}

bool sameKey(CFStringRef a, CFStringRef b) {
    return a != nullptr && CFStringCompare(a, b, 0) == kCFCompareEqualTo;
}

}  // namespace

OSStatus MIDIObjectGetStringProperty(MIDIObjectRef obj, CFStringRef propertyID, CFStringRef *str) {
    if (str == nullptr) {
        return paramErr;
    }
    *str = nullptr;
    auto properties = objectProperties(obj);
    if (!properties) {
        return kMIDIObjectNotFound;
    }
    if (sameKey(propertyID, kMIDIPropertyName)) {
        *str = createString(properties->name);
    } else if (sameKey(propertyID, kMIDIPropertyDisplayName)) {
        *str = createString(properties->displayName);
    } else if (sameKey(propertyID, kMIDIPropertyUniqueID) || sameKey(propertyID, kMIDIPropertyOffline)) {
        return kMIDIWrongPropertyType;
    } else {
        return kMIDIUnknownProperty;
    }
    return noErr;
}

OSStatus MIDIObjectGetIntegerProperty(MIDIObjectRef obj, CFStringRef propertyID, SInt32 *outValue) {
    if (outValue == nullptr) {
        return paramErr;
    }
    *outValue = 0;
    auto properties = objectProperties(obj);
    if (!properties) {
        return kMIDIObjectNotFound;
    }
    if (sameKey(propertyID, kMIDIPropertyUniqueID)) {
        *outValue = properties->uniqueID;
    } else if (sameKey(propertyID, kMIDIPropertyOffline)) {
        *outValue = properties->offline;
    } else if (sameKey(propertyID, kMIDIPropertyName) || sameKey(propertyID, kMIDIPropertyDisplayName)) {
        return kMIDIWrongPropertyType;
    } else {
        return kMIDIUnknownProperty;
    }
    return noErr;
}

OSStatus MIDIObjectGetProperties(MIDIObjectRef obj, CFPropertyListRef *outProperties, Boolean) {
    if (outProperties == nullptr) {
        return paramErr;
    }
    *outProperties = nullptr;
    auto properties = objectProperties(obj);
    if (!properties) {
        return kMIDIObjectNotFound;
    }
    CFMutableDictionaryRef dictionary =
        CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    auto setString = [&](CFStringRef key, const std::string &text) {
        CFStringRef value = createString(text);
        CFDictionarySetValue(dictionary, key, value);
        CFRelease(value);
    };
    auto setInteger = [&](CFStringRef key, SInt32 integer) {
        CFNumberRef value = CFNumberCreate(nullptr, kCFNumberSInt32Type, &integer);
        CFDictionarySetValue(dictionary, key, value);
        CFRelease(value);
    };
    setString(kMIDIPropertyName, properties->name);
    setString(kMIDIPropertyDisplayName, properties->displayName);
    setInteger(kMIDIPropertyUniqueID, properties->uniqueID);
    setInteger(kMIDIPropertyOffline, properties->offline);
    *outProperties = dictionary;
    return noErr;
}

OSStatus MIDIObjectFindByUniqueID(MIDIUniqueID inUniqueID, MIDIObjectRef *outObject, MIDIObjectType *outObjectType) {
    if (outObject != nullptr) {
        *outObject = 0;
    }
    if (outObjectType != nullptr) {
        *outObjectType = kMIDIObjectType_Other;
    }
    auto ref = MIDIObjectRef(inUniqueID);
    bool source = endpointAddress(ref, kRefSource).has_value();
    if ((!source && !endpointAddress(ref, kRefDestination)) || !endpointInfo(ref)) {
        return kMIDIObjectNotFound;
    }
    if (outObject != nullptr) {
        *outObject = ref;
    }
    if (outObjectType != nullptr) {
        *outObjectType = source ? kMIDIObjectType_Source : kMIDIObjectType_Destination;
    }
    return noErr;
}

namespace MIDIEventCoding {

std::vector<std::vector<UInt8>> roundTrip(const std::vector<UInt8> &bytes) {
    std::vector<std::vector<UInt8>> events;
    snd_midi_event_t *encoder = nullptr;
    snd_midi_event_t *decoder = nullptr;
    if (snd_midi_event_new(kCodingBufferSize, &encoder) < 0 || snd_midi_event_new(kCodingBufferSize, &decoder) < 0) {
        if (encoder != nullptr) {
            snd_midi_event_free(encoder);
        }
        return events;
    }
    snd_midi_event_no_status(decoder, 1);
    long offset = 0;
    while (offset < long(bytes.size())) {
        snd_seq_event_t ev;
        snd_seq_ev_clear(&ev);
        long used = snd_midi_event_encode(encoder, bytes.data() + offset, long(bytes.size()) - offset, &ev);
        if (used <= 0) {
            break;
        }
        offset += used;
        if (ev.type != SND_SEQ_EVENT_NONE) {
            events.push_back(decodeEvent(decoder, &ev));
        }
    }
    snd_midi_event_free(encoder);
    snd_midi_event_free(decoder);
    return events;
}

std::vector<UInt8> packetListForBytes(const std::vector<UInt8> &bytes, MIDITimeStamp time) {
    size_t packets = std::max<size_t>(1, (bytes.size() + 255) / 256);
    std::vector<UInt8> storage(offsetof(MIDIPacketList, packet) + packets * offsetof(MIDIPacket, data) + bytes.size());
    auto *list = reinterpret_cast<MIDIPacketList *>(storage.data());
    MIDIPacket *packet = MIDIPacketListInit(list);
    size_t offset = 0;
    do {
        size_t length = std::min<size_t>(256, bytes.size() - offset);
        packet = MIDIPacketListAdd(list, storage.size(), packet, time, length, bytes.data() + offset);
        offset += length;
    } while (offset < bytes.size() && packet != nullptr);
    return storage;
}

}  // namespace MIDIEventCoding
