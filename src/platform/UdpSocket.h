#pragma once
// Thin helpers over IPv4 datagram sockets: an owning descriptor and the few options the
// discovery transport sets. Every helper returns false (or -1) on failure and leaves errno.

#include <cstddef>
#include <cstdint>
#include <string>

namespace tarsel {

// Owns one file descriptor and closes it on every path.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    int Release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void Reset(int fd = -1);

private:
    int fd_ = -1;
};

// An IPv4 address as the classic dotted-text parser reads it (decimal, octal, hex and short
// forms); false for text that does not parse. The value is in host order.
bool ParseIPv4(const char* text, uint32_t* hostOrderAddress);

UniqueFd OpenUdpSocket();
bool SetBroadcast(int fd);
bool SetReuseAddress(int fd);
bool SetReceiveBuffer(int fd, int bytes);
bool SetReceiveTimeout(int fd, int milliseconds);
// Restricts the socket to datagrams that arrive through the named interface.
bool BindToDevice(int fd, const char* interfaceName);
bool BindIPv4(int fd, uint32_t hostOrderAddress, uint16_t port);
bool SetMulticastInterface(int fd, uint32_t hostOrderAddress);
// Joins group on the interface that owns interfaceAddress, and asks for that group only.
bool JoinMulticastGroup(int fd, uint32_t hostOrderGroup, uint32_t hostOrderInterfaceAddress);
// Joins group on the interface with this index (a socket that serves several interfaces).
bool JoinMulticastGroupOnInterface(int fd, uint32_t hostOrderGroup, int interfaceIndex);
// The bound local port, or 0.
uint16_t LocalPort(int fd);

// One datagram to address:port; the byte count or -1.
int SendDatagram(int fd, uint32_t hostOrderAddress, uint16_t port, const void* data, size_t length);
// Asks the kernel to report each received datagram's destination address.
bool EnableDestinationInfo(int fd);
// Receives one datagram of at most capacity bytes. Returns its length, -1 on time-out or
// error, and -2 for a datagram larger than capacity (which is discarded). When asked, and
// when EnableDestinationInfo is on, *destination is the datagram's destination address
// (host order; 0 when unknown) and *arrivalInterface the index of the interface it came
// through (0 when unknown). *source is the sender's address (host order), *sourcePort its
// port (host order).
int ReceiveDatagram(int fd, void* buffer, size_t capacity, uint32_t* destination = nullptr,
                    int* arrivalInterface = nullptr, uint32_t* source = nullptr,
                    uint16_t* sourcePort = nullptr);

// The last socket error code of this thread (errno).
int LastSocketError();
// The text of the last socket error (strerror of errno), for a log line.
std::string LastSocketErrorText();

}  // namespace tarsel
