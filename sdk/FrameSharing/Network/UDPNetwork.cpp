#include <FrameSharing/Network/UDPNetwork.h>

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace UDPNetwork {

std::string IPAddress::GetAddressString(bool withPort) const {
    char text[32];
    if (withPort)
        std::snprintf(text, sizeof text, "%d.%d.%d.%d:%d", int(m_address >> 24), int((m_address >> 16) & 0xff),
                      int((m_address >> 8) & 0xff), int(m_address & 0xff), int(m_port));
    else
        std::snprintf(text, sizeof text, "%d.%d.%d.%d", int(m_address >> 24), int((m_address >> 16) & 0xff),
                      int((m_address >> 8) & 0xff), int(m_address & 0xff));
    return text;
}

bool Socket::CreateUDPSocket() {
    if (m_socket > 0) return false;
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    if (fd == 0) {  // 0 means "none" here: keep the descriptor off it
        const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 1);
        ::close(fd);
        if (moved < 0) return false;
        m_socket = moved;
    } else {
        m_socket = fd;
    }
    return true;
}

bool Socket::BindToThisAddress(const IPAddress &address) {
    if (m_socket <= 0) return false;
    sockaddr_in in{};
    in.sin_family = AF_INET;
    in.sin_addr.s_addr = htonl(address.m_address);
    in.sin_port = htons(address.m_port);
    if (::bind(m_socket, reinterpret_cast<sockaddr *>(&in), sizeof in) != 0) return false;
    socklen_t length = sizeof in;
    if (::getsockname(m_socket, reinterpret_cast<sockaddr *>(&in), &length) != 0) return false;
    m_address = IPAddress(ntohl(in.sin_addr.s_addr), ntohs(in.sin_port));
    return true;
}

bool Socket::BindToAnyAddressOnPort(uint16_t port) { return BindToThisAddress(IPAddress(INADDR_ANY, port)); }

bool Socket::SetNonBlockingOperation() {
    if (m_socket <= 0) return false;
    const int flags = ::fcntl(m_socket, F_GETFL, 0);
    return flags >= 0 && ::fcntl(m_socket, F_SETFL, flags | O_NONBLOCK) == 0;
}

bool Socket::Open(uint16_t port, bool nonBlocking) {
    if (m_socket > 0) return false;
    if (CreateUDPSocket() && BindToThisAddress(IPAddress(INADDR_LOOPBACK, port)) &&
        (!nonBlocking || SetNonBlockingOperation()))
        return true;
    Close();
    return false;
}

size_t Socket::Receive(IPAddress &sender, void *buffer, size_t length) {
    if (buffer == nullptr || length == 0 || m_socket <= 0) return 0;
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    ssize_t got;
    do {
        got = ::recvfrom(m_socket, buffer, length, 0, reinterpret_cast<sockaddr *>(&from), &fromLength);
    } while (got < 0 && errno == EINTR);
    if (got <= 0) return 0;
    sender = IPAddress(ntohl(from.sin_addr.s_addr), ntohs(from.sin_port));
    return size_t(got);
}

bool Socket::Send(const IPAddress &address, const void *buffer, size_t length) {
    if (m_socket <= 0 || buffer == nullptr) return false;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(address.m_address);
    to.sin_port = htons(address.m_port);
    ssize_t sent;
    do {
        sent = ::sendto(m_socket, buffer, length, MSG_DONTWAIT | MSG_NOSIGNAL, reinterpret_cast<sockaddr *>(&to),
                        sizeof to);
    } while (sent < 0 && errno == EINTR);
    return sent >= 0 && size_t(sent) == length;
}

void Socket::Close() {
    if (m_socket > 0) ::close(m_socket);
    m_socket = 0;
    m_address = IPAddress();
}

}  // namespace UDPNetwork

bool import_UDPNetwork() { return true; }
