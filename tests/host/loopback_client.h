// A deliberately plain HTTP/1.1 client over one blocking loopback socket, for
// the host's tests and its load benchmark: it sends exactly the bytes it is
// given, so tests can also send what no well-behaved client would (slow,
// pipelined, half-closed, oversized), and reads answers with a time limit.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace KzoHost::Testing {

struct HttpReply {
    int status = 0;
    std::map<std::string, std::string> headers;  ///< names in lower case
    std::string body;

    [[nodiscard]] std::string Header(const std::string& lowerName) const {
        const auto found = headers.find(lowerName);
        return found != headers.end() ? found->second : std::string();
    }
};

class LoopbackClient {
public:
    using Clock = std::chrono::steady_clock;

    /// Connects to 127.0.0.1 (or ::1) at `port`; Connected() tells whether it worked.
    explicit LoopbackClient(int port, bool ipv6 = false) {
        fd_ = ::socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM, 0);
        if (fd_ < 0) return;
        const int one = 1;
        ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        int connected = -1;
        if (ipv6) {
            sockaddr_in6 address{};
            address.sin6_family = AF_INET6;
            address.sin6_port = htons(static_cast<uint16_t>(port));
            address.sin6_addr = in6addr_loopback;
            connected = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        } else {
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_port = htons(static_cast<uint16_t>(port));
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            connected = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        }
        if (connected != 0) Close();
    }
    ~LoopbackClient() { Close(); }
    LoopbackClient(const LoopbackClient&) = delete;
    LoopbackClient& operator=(const LoopbackClient&) = delete;

    [[nodiscard]] bool Connected() const noexcept { return fd_ >= 0; }

    /// Sends all of `bytes`; false when the connection refuses them.
    bool Send(std::string_view bytes) {
        while (!bytes.empty() && fd_ >= 0) {
            const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (sent <= 0) return false;
            bytes.remove_prefix(static_cast<size_t>(sent));
        }
        return fd_ >= 0;
    }

    void ShutdownWrite() {
        if (fd_ >= 0) ::shutdown(fd_, SHUT_WR);
    }

    /// A request with Host: 127.0.0.1 and, when `body` is not empty, its length.
    [[nodiscard]] static std::string Format(std::string_view method, std::string_view target,
                                            std::string_view body = {},
                                            std::string_view extraHeaders = {}) {
        std::string request = std::string(method) + " " + std::string(target) +
                              " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + std::string(extraHeaders);
        if (!body.empty() || method == "PUT" || method == "POST")
            request += "Content-Length: " + std::to_string(body.size()) + "\r\n";
        request += "\r\n";
        request += body;
        return request;
    }

    /// Sends one request and reads its answer.
    [[nodiscard]] std::optional<HttpReply> Request(
        std::string_view method, std::string_view target, std::string_view body = {},
        std::string_view extraHeaders = {},
        std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        if (!Send(Format(method, target, body, extraHeaders))) return std::nullopt;
        return Read(timeout, method == "HEAD");
    }

    /// Reads one answer within `timeout`; none when the connection ends or
    /// the time runs out first. The answer to HEAD has no body.
    [[nodiscard]] std::optional<HttpReply> Read(
        std::chrono::milliseconds timeout = std::chrono::seconds(5), bool toHead = false) {
        const Clock::time_point deadline = Clock::now() + timeout;
        size_t headerEnd;
        while ((headerEnd = buffer_.find("\r\n\r\n")) == std::string::npos) {
            if (!Fill(deadline)) return std::nullopt;
        }
        HttpReply reply;
        const std::string head = buffer_.substr(0, headerEnd + 2);
        buffer_.erase(0, headerEnd + 4);
        const size_t space = head.find(' ');
        if (space == std::string::npos) return std::nullopt;
        reply.status = std::atoi(head.c_str() + space + 1);
        for (size_t line = head.find("\r\n") + 2; line < head.size();) {
            const size_t end = head.find("\r\n", line);
            const std::string field = head.substr(line, end - line);
            const size_t colon = field.find(':');
            if (colon != std::string::npos) {
                std::string name = field.substr(0, colon);
                for (char& c : name)
                    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                const size_t value = field.find_first_not_of(' ', colon + 1);
                reply.headers[name] = value == std::string::npos ? "" : field.substr(value);
            }
            line = end + 2;
        }
        const size_t length =
            toHead || reply.status == 204 || reply.status == 304 || reply.status / 100 == 1
                ? 0
                : static_cast<size_t>(std::atoll(reply.Header("content-length").c_str()));
        while (buffer_.size() < length) {
            if (!Fill(deadline)) return std::nullopt;
        }
        reply.body = buffer_.substr(0, length);
        buffer_.erase(0, length);
        return reply;
    }

    /// Whether the server ends the connection within `timeout`, all it still
    /// sends being read and dropped.
    [[nodiscard]] bool EndsWithin(std::chrono::milliseconds timeout) {
        const Clock::time_point deadline = Clock::now() + timeout;
        while (Fill(deadline)) buffer_.clear();
        return ended_;
    }

    /// Bytes received and not yet read as an answer.
    [[nodiscard]] const std::string& Unread() const noexcept { return buffer_; }

private:
    // Appends what arrives before `deadline`; false at the end of the
    // connection or of the time.
    bool Fill(Clock::time_point deadline) {
        if (fd_ < 0 || ended_) return false;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        pollfd waiting{fd_, POLLIN, 0};
        if (::poll(&waiting, 1, static_cast<int>(left)) <= 0) return false;
        char chunk[16384];
        const ssize_t got = ::recv(fd_, chunk, sizeof chunk, 0);
        if (got <= 0) {
            ended_ = true;
            return false;
        }
        buffer_.append(chunk, static_cast<size_t>(got));
        return true;
    }

    void Close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

    int fd_ = -1;
    bool ended_ = false;
    std::string buffer_;
};

}  // namespace KzoHost::Testing
