// UDPNetwork: IPv4 addresses and UDP sockets of the loopback casts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace UDPNetwork {

class IPAddress {
public:
    IPAddress() = default;
    // Address and port in host order.
    IPAddress(uint32_t address, uint16_t port) : m_address(address), m_port(port) {}

    uint32_t GetAddress() const { return m_address; }
    uint16_t GetPort() const { return m_port; }
    void SetPort(uint16_t port) { m_port = port; }
    // The address shifted left by 24, plus the port.
    uint64_t GetAddressPortUniqueID() const { return (uint64_t(m_address) << 24) + m_port; }
    // "%d.%d.%d.%d:%d" or "%d.%d.%d.%d", bytes from the most significant.
    std::string GetAddressString(bool withPort = true) const;
    // Whether the address is in 127.0.0.0/8.
    bool IsLoopback() const { return (m_address >> 24) == 127; }

    bool operator==(const IPAddress &other) const { return m_address == other.m_address && m_port == other.m_port; }

    uint32_t m_address = 0;
    uint16_t m_port = 0;
};

class Socket {
public:
    Socket() = default;
    Socket(const Socket &) = delete;
    Socket &operator=(const Socket &) = delete;
    ~Socket() { Close(); }

    bool CreateUDPSocket();
    // Binds to every local address on the port.
    bool BindToAnyAddressOnPort(uint16_t port);
    bool BindToThisAddress(const IPAddress &address);
    bool SetNonBlockingOperation();
    // Creates, binds to 127.0.0.1 on the port (never to every address: the casts are for
    // this machine), then non-blocking when asked. False when already open, or on any
    // failure (the socket is closed again).
    bool Open(uint16_t port, bool nonBlocking);
    // The byte count received (0 for no buffer, no length, no socket or nothing waiting),
    // with the sender's address.
    size_t Receive(IPAddress &sender, void *buffer, size_t length);
    // True only when every byte was sent.
    bool Send(const IPAddress &address, const void *buffer, size_t length);
    void Close();

    bool IsOpen() const { return m_socket > 0; }
    int GetDescriptor() const { return m_socket; }
    const IPAddress &GetBoundAddress() const { return m_address; }

private:
    int m_socket = 0;
    IPAddress m_address;
};

}  // namespace UDPNetwork

bool import_UDPNetwork();
