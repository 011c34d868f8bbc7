#pragma once
// The socket work the tests' own servers share.
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <string>

namespace suite::testing {

// A listening TCP socket on 127.0.0.1 at a port the system picks (stored in `port`); -1 when
// none could be had.
inline int listenOnLoopback(int& port) {
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), length) ||
        ::listen(listener, 8) ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length)) {
        if (listener >= 0) ::close(listener);
        return -1;
    }
    port = ntohs(address.sin_port);
    return listener;
}

// Sends all of `size` bytes; false when the connection ended first.
inline bool sendAll(int socket, const char* bytes, std::size_t size) {
    for (std::size_t sent = 0; sent < size;) {
        const ssize_t wrote = ::send(socket, bytes + sent, size - sent, MSG_NOSIGNAL);
        if (wrote <= 0) return false;
        sent += static_cast<std::size_t>(wrote);
    }
    return true;
}

// A request's head up to its blank line, at most 64 KiB within two seconds; empty when it did
// not come. One byte at a time: what follows the head stays in the socket for whoever relays it.
inline std::string readRequestHead(int socket) {
    std::string head;
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!head.ends_with("\r\n\r\n") && head.size() < 65536 &&
           std::chrono::steady_clock::now() < limit) {
        pollfd ready{socket, POLLIN, 0};
        if (::poll(&ready, 1, 50) <= 0) continue;
        char byte;
        if (::recv(socket, &byte, 1, 0) != 1) return {};
        head += byte;
    }
    return head.ends_with("\r\n\r\n") ? head : std::string();
}

}  // namespace suite::testing
