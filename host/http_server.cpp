#include "host/http_server.h"

// Beast's texts are std::string_view, as everywhere else in this project.
#define BOOST_BEAST_USE_STD_STRING_VIEW 1

#include <algorithm>
#include <atomic>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ip/v6_only.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/thread_pool.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/http/write.hpp>
#include <cstdio>
#include <exception>
#include <functional>
#include <iterator>
#include <limits>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "codecs/json_writer.h"
#include "host/api_documents.h"
#include "host/web_page.h"

namespace KzoHost {
namespace {

namespace net = boost::asio;
namespace beast = boost::beast;
namespace http = boost::beast::http;
using tcp = net::ip::tcp;
using beast::error_code;

constexpr const char* kOpenApiPath = "/openapi.json";

/// What the page's files may do in the browser: load only from this server,
/// so that the page sends no request elsewhere; the chart library sets
/// inline styles, nothing runs inline scripts.
constexpr const char* kPagePolicy =
    "default-src 'self'; style-src 'self' 'unsafe-inline'; img-src 'self' data:; "
    "object-src 'none'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

/// A Host header's name and port: "[::1]:8080" is "[::1]" and "8080". Not
/// well formed when a bracket stays open or anything but ":port" follows it.
struct HostParts {
    std::string_view name;
    std::string_view port;  ///< after the colon; empty also for "name:"
    bool hasPort = false;
    bool wellFormed = true;
};

[[nodiscard]] HostParts SplitHost(std::string_view host) {
    size_t nameEnd = host.find(':');
    if (host.starts_with('[')) {
        const size_t close = host.find(']');
        if (close == std::string_view::npos) return HostParts{host, {}, false, false};
        nameEnd = close + 1;
    }
    HostParts parts{host.substr(0, nameEnd), {}, false, true};
    if (nameEnd < host.size()) {
        parts.port = host.substr(nameEnd + 1);
        parts.hasPort = true;
        parts.wellFormed = host[nameEnd] == ':';
    }
    return parts;
}

[[nodiscard]] bool AllDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

/// Whether a Host header's port, if it has one of digits, is out of 1-65535:
/// no such port exists, so the header is invalid.
[[nodiscard]] bool HasImpossiblePort(const HostParts& host) {
    if (!host.wellFormed || !AllDigits(host.port)) return false;
    const size_t significant = host.port.find_first_not_of('0');
    if (significant == std::string_view::npos) return true;  // 0
    const std::string_view digits = host.port.substr(significant);
    return digits.size() > 5 || (digits.size() == 5 && digits > "65535");
}

/// Whether a Host header names this machine: localhost, 127.0.0.1 or [::1],
/// with or without a port of at most five digits.
[[nodiscard]] bool NamesThisMachine(const HostParts& host) {
    if (!host.wellFormed) return false;
    if (host.hasPort && (!AllDigits(host.port) || host.port.size() > 5)) return false;
    return beast::iequals(host.name, "localhost") || host.name == "127.0.0.1" ||
           host.name == "[::1]";
}

/// A request's outcome decided by the server itself, before any session call.
struct Refusal {
    int status = 0;
    std::string message;
};

/// An answer as it is written: the session's JSON, the OpenAPI document, or
/// a file of the page.
struct Reply {
    Reply() = default;
    explicit Reply(HostAnswer answer)
        : status(answer.status), body(std::move(answer.json)), allow(std::move(answer.allow)) {}

    int status = 200;
    std::string body;
    std::string allow;  ///< 405 only
    std::string contentType = "application/json";
    bool page = false;  ///< a file of the page: sent with the page's policy headers
};

}  // namespace

// ---- The engine ----

class HttpConnection;

/// The I/O context, its acceptor and the open connections. Everything here
/// but Stop and the session calls runs on the one thread in Run, so the
/// connection table needs no lock.
class HttpServer::Engine {
public:
    Engine(PluginSession& session, HttpServerLimits limits, RequestLog log)
        : session_(session), limits_(limits), log_(std::move(log)), acceptor_(io_) {
        openApi_ = Nimbel::ValueToJson(
            OpenApiDocument(session.Listing(), "jvp-be-" + session.ShortName(), "1.0.0"), nullptr,
            "\n");
    }

    bool Bind(const std::string& address, int port, std::string& error);
    bool Run();
    void Stop();
    [[nodiscard]] int Port() const noexcept { return port_; }
    [[nodiscard]] std::string Origin() const;

    // For the connections.
    [[nodiscard]] const HttpServerLimits& Limits() const noexcept { return limits_; }
    [[nodiscard]] bool Stopping() const noexcept { return stopping_; }
    [[nodiscard]] bool ChecksHost() const noexcept { return loopback_; }
    /// Answers a request on the worker thread and hands the answer to `done`
    /// on the I/O thread.
    void Answer(HostRequest request, std::function<void(Reply)> done);
    void Forget(HttpConnection* connection) { connections_.erase(connection); }
    void LogRequest(std::string_view method, std::string_view target, int status) {
        if (log_)
            log_(std::string(method) + " " + std::string(target) + " -> " + std::to_string(status));
    }

private:
    void Accept();
    void Refuse(tcp::socket socket);
    /// The page's answer to `request`; its path is one the page serves.
    [[nodiscard]] Reply AnswerPage(const HostRequest& request) const;

    PluginSession& session_;
    HttpServerLimits limits_;
    RequestLog log_;
    std::string openApi_;
    WebPage page_;
    net::io_context io_{1};
    tcp::acceptor acceptor_;
    net::steady_timer acceptPause_{io_};
    // The session's calls may block: they run here, never on the I/O thread.
    net::thread_pool worker_{1};
    std::unordered_map<HttpConnection*, std::weak_ptr<HttpConnection>> connections_;
    int port_ = 0;
    bool loopback_ = true;
    bool stopping_ = false;  // I/O thread only
    std::atomic<bool> stopRequested_{false};
};

// ---- One connection ----

/// Reads requests one after the other, answers each before reading the next
/// (so pipelined requests are answered in order), and closes on the first
/// request it cannot read or when the client is idle too long.
class HttpConnection : public std::enable_shared_from_this<HttpConnection> {
public:
    HttpConnection(HttpServer::Engine& engine, tcp::socket socket)
        : engine_(engine), stream_(std::move(socket)), buffer_(ReadBufferLimit(engine.Limits())) {
        onChunkHeader_ = [this](uint64_t, std::string_view extensions, error_code& error) {
            if (extensions.size() > Limits().maxChunkExtensionBytes) {
                chunkLineTooLong_ = true;
                error = http::error::bad_chunk_extension;
            }
        };
    }

    void Start() { ReadNext(); }

    /// Closes now unless a request is being answered; then its answer closes.
    void Shut() {
        if (busy_) {
            keepAlive_ = false;
        } else {
            Close();
        }
    }

private:
    /// The read buffer holds a whole header, a whole chunk line or a chunked
    /// body's whole trailer, which the parser takes only once it is complete;
    /// a chunk line or trailer that outgrows it is refused instead of
    /// buffered. Never more than the header limit, so that no trailer field
    /// can outgrow what a field of the parsed message may hold (64 KiB).
    [[nodiscard]] static size_t ReadBufferLimit(const HttpServerLimits& limits) noexcept {
        return std::max(limits.maxHeaderBytes, limits.maxChunkExtensionBytes + size_t{64});
    }

    const HttpServerLimits& Limits() const noexcept { return engine_.Limits(); }

    // Waits up to the idle time for a request's first byte, then up to the
    // header time for its header.
    void ReadNext() {
        if (engine_.Stopping()) return Close();
        if (buffer_.size() > 0) return ReadHeader();
        // A large request's buffer is not kept while the connection idles.
        if (buffer_.capacity() > size_t{16} * 1024) buffer_.shrink_to_fit();
        stream_.expires_after(Limits().idleTimeout);
        stream_.async_read_some(buffer_.prepare(4096),
                                [self = shared_from_this()](error_code error, size_t bytes) {
                                    if (error) return self->Close();
                                    self->buffer_.commit(bytes);
                                    self->ReadHeader();
                                });
    }

    void ReadHeader() {
        parser_.emplace();
        parser_->header_limit(static_cast<uint32_t>(
            std::min<size_t>(Limits().maxHeaderBytes, std::numeric_limits<uint32_t>::max())));
        parser_->body_limit(Limits().maxBodyBytes);
        parser_->on_chunk_header(onChunkHeader_);
        chunkLineTooLong_ = false;
        stream_.expires_after(Limits().headerTimeout);
        http::async_read_header(
            stream_, buffer_, *parser_,
            [self = shared_from_this()](error_code error, size_t) { self->OnHeader(error); });
    }

    void OnHeader(error_code error) {
        if (error) return RefuseUnread(error);
        const auto& header = parser_->get();
        keepAlive_ = header.keep_alive();
        if (header.target().size() > Limits().maxTargetBytes)
            return Refuse({414, "The request target is longer than " +
                                    std::to_string(Limits().maxTargetBytes) + " bytes"});
        const size_t fields = static_cast<size_t>(std::distance(header.begin(), header.end()));
        if (fields > Limits().maxHeaderCount)
            return Refuse({431, "The request has more than " +
                                    std::to_string(Limits().maxHeaderCount) + " header fields"});
        if (const auto length = parser_->content_length();
            length && *length > Limits().maxBodyBytes)
            return Refuse({413, BodyTooLarge()});
        // A body is framed by chunked alone or by its length: any other coding
        // would leave its end unknown, and what follows would be read as the
        // next request.
        if (!TransferCodingIsChunkedOrNone(header))
            return Refuse(
                {501, "The request's Transfer-Encoding is not supported: only chunked is"});
        // One Host at most, with a port that can exist: a request that names
        // its server ambiguously is refused, whoever checks the name.
        const auto hosts = header.equal_range(http::field::host);
        if (hosts.first != hosts.second && std::next(hosts.first) != hosts.second)
            return Refuse({400, "The request has more than one Host header"});
        const bool hasHost = hosts.first != hosts.second;
        const HostParts host = SplitHost(hasHost ? hosts.first->value() : std::string_view());
        if (hasHost && HasImpossiblePort(host))
            return Refuse({400, "The request's Host names a port outside 1-65535"});
        if (engine_.ChecksHost()) {
            if (!hasHost) {
                if (header.version() >= 11) return Refuse({400, "The request has no Host header"});
            } else if (!NamesThisMachine(host)) {
                return Refuse({421, "This server answers only for localhost, 127.0.0.1 and [::1]"});
            }
        }
        if (!header.target().starts_with('/'))
            return Refuse({400, "The request target must be a path starting with '/'"});
        if (parser_->is_done()) return Dispatch();
        const auto expect = header.find(http::field::expect);
        if (expect != header.end() && beast::iequals(expect->value(), "100-continue")) {
            auto interim = std::make_shared<http::response<http::empty_body>>(
                http::status::continue_, header.version());
            http::async_write(stream_, *interim,
                              [self = shared_from_this(), interim](error_code written, size_t) {
                                  if (written) return self->Close();
                                  self->ReadBody();
                              });
            return;
        }
        ReadBody();
    }

    void ReadBody() {
        stream_.expires_after(Limits().headerTimeout);
        http::async_read(stream_, buffer_, *parser_,
                         [self = shared_from_this()](error_code error, size_t) {
                             if (error) return self->RefuseUnread(error);
                             if (!self->TrailerFitsTheHeaderLimits()) return;
                             self->Dispatch();
                         });
    }

    [[nodiscard]] static bool TransferCodingIsChunkedOrNone(
        const http::request_parser<http::string_body>::value_type& header) {
        const auto codings = header.equal_range(http::field::transfer_encoding);
        if (codings.first == codings.second) return true;
        if (std::next(codings.first) != codings.second) return false;
        std::string_view coding = codings.first->value();
        while (!coding.empty() && (coding.front() == ' ' || coding.front() == '\t'))
            coding.remove_prefix(1);
        while (!coding.empty() && (coding.back() == ' ' || coding.back() == '\t'))
            coding.remove_suffix(1);
        return beast::iequals(coding, "chunked");
    }

    // Trailer fields join the header's fields, and together they keep the
    // header's limits; false when the request was refused for them.
    [[nodiscard]] bool TrailerFitsTheHeaderLimits() {
        if (!parser_->chunked()) return true;
        const auto& fields = parser_->get();
        size_t count = 0;
        size_t bytes = 0;
        for (const auto& field : fields) {
            ++count;
            bytes += field.name_string().size() + field.value().size() + 4;  // ": " and CRLF
        }
        if (count > Limits().maxHeaderCount) {
            Refuse({431, "The request has more than " + std::to_string(Limits().maxHeaderCount) +
                             " header and trailer fields"});
            return false;
        }
        if (bytes > Limits().maxHeaderBytes) {
            Refuse({431, HeaderTooLarge()});
            return false;
        }
        return true;
    }

    [[nodiscard]] std::string HeaderTooLarge() const {
        return "The request header is larger than " + std::to_string(Limits().maxHeaderBytes) +
               " bytes";
    }

    [[nodiscard]] std::string BodyTooLarge() const {
        return "The request body is larger than " + std::to_string(Limits().maxBodyBytes) +
               " bytes";
    }

    // A request that could not be read in full: answered when the client is
    // still owed an answer, then the connection closes. One that ran out of
    // time is closed without an answer (the stream's deadline closes the
    // socket).
    void RefuseUnread(error_code error) {
        keepAlive_ = false;
        const bool headerUnread = !parser_->is_header_done();
        if (error == http::error::header_limit ||
            (error == http::error::buffer_overflow && headerUnread)) {
            // The parser takes the request line as soon as it is whole, so no
            // target yet means the request line alone broke the limit.
            if (parser_->get().target().empty())
                return Refuse({414, "The request line is longer than " +
                                        std::to_string(Limits().maxHeaderBytes) + " bytes"});
            return Refuse({431, HeaderTooLarge()});
        }
        if (error == http::error::body_limit) return Refuse({413, BodyTooLarge()});
        if (chunkLineTooLong_ || (error == http::error::buffer_overflow && !TrailerBegun()))
            return Refuse({400, ChunkLineTooLong()});
        if (error == http::error::buffer_overflow) return Refuse({431, HeaderTooLarge()});
        if (error == beast::error::timeout || error == http::error::end_of_stream ||
            error == net::error::eof || error == net::error::operation_aborted ||
            error == net::error::connection_reset || error == http::error::partial_message)
            return Close();
        return Refuse({400, "The request is not valid HTTP/1.1: " + error.message()});
    }

    [[nodiscard]] std::string ChunkLineTooLong() const {
        return "A chunk's extensions are longer than " +
               std::to_string(Limits().maxChunkExtensionBytes) + " bytes";
    }

    // Whether the unparsed input is the last chunk, whose trailer follows: a
    // size of only zeros, then extensions or the end of its line.
    [[nodiscard]] bool TrailerBegun() const {
        const auto* data = static_cast<const char*>(buffer_.cdata().data());
        std::string_view pending(data, buffer_.size());
        if (pending.starts_with("\r\n")) pending.remove_prefix(2);
        const size_t zeros = pending.find_first_not_of('0');
        if (zeros == 0 || zeros == std::string_view::npos) return false;
        return pending[zeros] == ';' || pending[zeros] == '\r' || pending[zeros] == ' ' ||
               pending[zeros] == '\t';
    }

    // Answers with an error and closes: what follows in the stream cannot be
    // trusted to start a request.
    void Refuse(const Refusal& refusal) {
        keepAlive_ = false;
        refused_ = true;
        // The request line is parsed before the rest of the header, so a
        // request refused for its header or its declared length is still
        // logged with its method and path.
        const bool known = parser_ && !parser_->get().target().empty();
        const std::string_view method = known ? parser_->get().method_string() : "-";
        const std::string_view target = known ? parser_->get().target() : "-";
        engine_.LogRequest(method, target.substr(0, 200), refusal.status);
        const bool head = known && parser_->get().method() == http::verb::head;
        Write(Reply(HostAnswer{refusal.status, ErrorJson(refusal.status, refusal.message)}), head);
    }

    void Dispatch() {
        http::request<http::string_body> request = parser_->release();
        parser_.reset();
        keepAlive_ = request.keep_alive();
        const bool head = request.method() == http::verb::head;
        const std::string_view target = request.target();
        const size_t query = target.find('?');
        HostRequest host;
        host.method = head ? std::string("GET") : std::string(request.method_string());
        host.path = std::string(target.substr(0, query));
        if (query != std::string_view::npos) host.query = std::string(target.substr(query + 1));
        for (const auto& field : request)
            host.headers.emplace_back(std::string(field.name_string()), std::string(field.value()));
        if (const auto type = request.find(http::field::content_type); type != request.end())
            host.contentType = std::string(type->value());
        host.body = std::move(request.body());
        logMethod_ = std::string(request.method_string());
        logTarget_ = std::string(target.substr(0, 200));

        busy_ = true;
        stream_.expires_never();
        engine_.Answer(std::move(host), [self = shared_from_this(), head](Reply answer) {
            self->busy_ = false;
            self->engine_.LogRequest(self->logMethod_, self->logTarget_, answer.status);
            self->Write(std::move(answer), head);
        });
    }

    void Write(Reply answer, bool head) {
        if (closed_) return;
        if (engine_.Stopping()) keepAlive_ = false;
        response_ = {};
        response_.version(11);
        response_.result(static_cast<unsigned>(answer.status));
        response_.set(http::field::server, "plugin-host");
        if (!answer.allow.empty()) response_.set(http::field::allow, answer.allow);
        response_.keep_alive(keepAlive_);
        if (answer.page) {
            response_.set("Content-Security-Policy", kPagePolicy);
            response_.set("X-Content-Type-Options", "nosniff");
            response_.set(http::field::cache_control, "no-cache");
            response_.set("Referrer-Policy", "no-referrer");
        }
        if (answer.status != 204 && answer.status != 304) {
            response_.set(http::field::content_type, answer.contentType);
            const size_t length = answer.body.size();
            if (!head) response_.body() = std::move(answer.body);
            response_.content_length(length);
        }
        stream_.expires_after(Limits().headerTimeout);
        http::async_write(stream_, response_,
                          [self = shared_from_this()](error_code error, size_t) {
                              if (error) return self->Close();
                              if (!self->keepAlive_) return self->CloseAfterAnswer();
                              self->ReadNext();
                          });
    }

    // Ends the connection once its last answer is written: no more sending,
    // then what the client still sends is read and dropped (briefly, and only
    // so much) so that closing does not reset the connection before the
    // client has read the answer.
    void CloseAfterAnswer() {
        error_code ignored;
        stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
        if (!refused_ && buffer_.size() == 0) return Close();
        buffer_.clear();
        drained_ = 0;
        // One deadline for the whole drain: a client that trickles bytes
        // cannot keep the connection.
        stream_.expires_after(Limits().drainTime);
        Drain();
    }

    void Drain() {
        constexpr size_t kMaxDrainedBytes = size_t{1024} * 1024;
        stream_.async_read_some(buffer_.prepare(16384),
                                [self = shared_from_this()](error_code error, size_t bytes) {
                                    self->buffer_.clear();
                                    self->drained_ += bytes;
                                    if (error || self->drained_ > kMaxDrainedBytes)
                                        return self->Close();
                                    self->Drain();
                                });
    }

    void Close() {
        if (closed_) return;
        closed_ = true;
        error_code ignored;
        stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
        stream_.close();
        engine_.Forget(this);
    }

    HttpServer::Engine& engine_;
    beast::tcp_stream stream_;
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::string_body>> parser_;
    /// Refuses a chunk line beyond the limit; the parser holds a reference.
    std::function<void(uint64_t, std::string_view, error_code&)> onChunkHeader_;
    bool chunkLineTooLong_ = false;
    http::response<http::string_body> response_;
    std::string logMethod_;
    std::string logTarget_;
    size_t drained_ = 0;
    bool keepAlive_ = true;
    bool busy_ = false;
    bool closed_ = false;
    bool refused_ = false;  // answered without reading the whole request
};

// ---- Engine ----

bool HttpServer::Engine::Bind(const std::string& address, int port, std::string& error) {
    const auto fail = [&](const std::string& why) {
        error = "cannot listen on " + address + " port " + std::to_string(port) + ": " + why;
        error_code ignored;
        acceptor_.close(ignored);
        return false;
    };
    if (port < 0 || port > 65535) return fail("not a port");
    error_code code;
    net::ip::address ip = address == "localhost" ? net::ip::address(net::ip::address_v4::loopback())
                                                 : net::ip::make_address(address, code);
    if (code) return fail("not an IP address");
    const tcp::endpoint endpoint(ip, static_cast<unsigned short>(port));
    // SO_REUSEADDR only lets a restarted server take its port back from
    // connections still closing; the port stays exclusive (no SO_REUSEPORT).
    if (acceptor_.open(endpoint.protocol(), code)) return fail(code.message());
    if (acceptor_.set_option(tcp::acceptor::reuse_address(true), code)) return fail(code.message());
    if (ip.is_v6() && acceptor_.set_option(net::ip::v6_only(true), code))
        return fail(code.message());
    if (acceptor_.bind(endpoint, code)) return fail(code.message());
    if (acceptor_.listen(net::socket_base::max_listen_connections, code))
        return fail(code.message());
    port_ = acceptor_.local_endpoint(code).port();
    loopback_ = ip.is_loopback();
    return true;
}

std::string HttpServer::Engine::Origin() const {
    error_code code;
    const tcp::endpoint endpoint = acceptor_.local_endpoint(code);
    if (code) return {};
    const std::string address = endpoint.address().to_string();
    return "http://" + (endpoint.address().is_v6() ? "[" + address + "]" : address) + ":" +
           std::to_string(endpoint.port());
}

bool HttpServer::Engine::Run() {
    if (!acceptor_.is_open()) return false;
    Accept();
    // A handler that throws ends its own connection, whose last owner it
    // was, and serving goes on with the others.
    for (bool served = false; !served;) {
        try {
            io_.run();
            served = true;
        } catch (const std::exception& error) {
            std::erase_if(connections_, [](const auto& entry) { return entry.second.expired(); });
            if (log_) log_(std::string("a connection ended on an error: ") + error.what());
        }
    }
    // Answers already under way finish before the session can go.
    worker_.join();
    return true;
}

void HttpServer::Engine::Stop() {
    if (stopRequested_.exchange(true)) return;
    net::post(io_, [this] {
        stopping_ = true;
        error_code ignored;
        acceptor_.close(ignored);
        acceptPause_.cancel();
        // Shutting a connection may forget it: walk a copy.
        const auto connections = connections_;
        for (const auto& [raw, weak] : connections) {
            if (const auto connection = weak.lock()) connection->Shut();
        }
    });
}

void HttpServer::Engine::Accept() {
    acceptor_.async_accept([this](error_code error, tcp::socket socket) {
        if (error == net::error::operation_aborted || stopping_ || !acceptor_.is_open()) return;
        if (!error) {
            error_code ignored;
            socket.set_option(tcp::no_delay(true), ignored);
            if (connections_.size() >= limits_.maxConnections) {
                Refuse(std::move(socket));
            } else {
                auto connection = std::make_shared<HttpConnection>(*this, std::move(socket));
                connections_.emplace(connection.get(), connection);
                connection->Start();
            }
        }
        if (!error) return Accept();
        // Errors such as running out of descriptors end one accept, not the
        // server; the next waits a little so that a lasting error does not spin.
        acceptPause_.expires_after(std::chrono::milliseconds(100));
        acceptPause_.async_wait([this](error_code waited) {
            if (!waited && !stopping_) Accept();
        });
    });
}

// Beyond the connection cap: one fixed 503 answer, then the socket closes.
void HttpServer::Engine::Refuse(tcp::socket socket) {
    struct Refused {
        tcp::socket socket;
        std::string text;
    };
    const std::string body = ErrorJson(
        503, "Too many connections: this server takes " + std::to_string(limits_.maxConnections));
    auto refused = std::make_shared<Refused>(
        Refused{std::move(socket),
                "HTTP/1.1 503 Service Unavailable\r\nServer: plugin-host\r\nConnection: close\r\n"
                "Content-Type: application/json\r\nContent-Length: " +
                    std::to_string(body.size()) + "\r\n\r\n" + body});
    net::async_write(refused->socket, net::buffer(refused->text), [refused](error_code, size_t) {
        error_code ignored;
        refused->socket.shutdown(tcp::socket::shutdown_both, ignored);
        refused->socket.close(ignored);
    });
}

Reply HttpServer::Engine::AnswerPage(const HostRequest& request) const {
    if (request.method != "GET") {
        Reply refused(
            HostAnswer{405, ErrorJson(405, request.method + " is not served at " + request.path),
                       "GET, HEAD"});
        refused.page = true;
        return refused;
    }
    WebAnswer file = page_.Get(request.path);
    Reply reply;
    reply.status = file.status;
    reply.body = std::move(file.body);
    reply.contentType = std::move(file.contentType);
    reply.page = true;
    return reply;
}

void HttpServer::Engine::Answer(HostRequest request, std::function<void(Reply)> done) {
    // The work guard keeps Run going until the answer is back on the I/O thread.
    net::post(worker_, [this, request = std::move(request), done = std::move(done),
                        guard = net::make_work_guard(io_)]() mutable {
        Reply answer;
        try {
            if (stopRequested_) {
                // Only the request already inside the plug-in finishes a stop.
                answer = Reply(HostAnswer{503, ErrorJson(503, "The server is stopping"), {}});
            } else if (request.path == kOpenApiPath) {
                answer =
                    Reply(request.method == "GET"
                              ? HostAnswer{200, openApi_, {}}
                              : HostAnswer{405,
                                           ErrorJson(405, request.method + " is not served at " +
                                                              request.path),
                                           "GET, HEAD"});
            } else if (page_.Serves(request.path) && !session_.Serves(request.path)) {
                // The page takes only paths that nothing of the session serves.
                answer = AnswerPage(request);
            } else {
                answer = Reply(session_.Handle(request));
            }
        } catch (const std::exception& error) {
            answer = Reply(HostAnswer{
                500, ErrorJson(500, std::string("The host failed: ") + error.what()), {}});
        }
        net::post(io_, [done = std::move(done), answer = std::move(answer),
                        guard = std::move(guard)]() mutable { done(std::move(answer)); });
    });
}

// ---- HttpServer ----

HttpServer::HttpServer(PluginSession& session, HttpServerLimits limits, RequestLog log)
    : engine_(std::make_unique<Engine>(session, limits, std::move(log))) {}

HttpServer::~HttpServer() = default;

bool HttpServer::Bind(const std::string& address, int port, std::string& error) {
    return engine_->Bind(address, port, error);
}

int HttpServer::Port() const noexcept {
    return engine_->Port();
}

std::string HttpServer::Origin() const {
    return engine_->Origin();
}

bool HttpServer::Run() {
    return engine_->Run();
}

void HttpServer::Stop() {
    engine_->Stop();
}

}  // namespace KzoHost
