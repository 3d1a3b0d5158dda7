// The reference host's HTTP front: serves a plug-in session on a local
// address, so the plug-in can be tried with curl or any HTTP tool, and stays
// up whatever its clients send or fail to send.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "host/plugin_session.h"

namespace KzoHost {

/// What one client may take of the server. Every limit is enforced on its own
/// connection only, so no client can hold back another.
struct HttpServerLimits {
    /// Connections open at once; one more is answered 503 and closed.
    size_t maxConnections = 256;
    /// A request's header, and then its body, must each arrive within this
    /// time once its first byte has come, else the connection closes.
    std::chrono::milliseconds headerTimeout{10'000};
    /// A connection with no request under way is closed after this time.
    std::chrono::milliseconds idleTimeout{5'000};
    /// The request line and header fields together (431 above; 414 when the
    /// request line alone is too long).
    size_t maxHeaderBytes = size_t{64} * 1024;
    size_t maxHeaderCount = 100;                ///< header fields (431 above)
    size_t maxTargetBytes = size_t{8} * 1024;   ///< the request target (414 above)
    size_t maxBodyBytes = size_t{1024} * 1024;  ///< 413 above
    /// A chunk's extensions after its size (400 above). A chunked body's
    /// trailer fields count against the header's two limits above.
    size_t maxChunkExtensionBytes = size_t{4} * 1024;
    /// After a refusal, what the client still sends is read and dropped for
    /// at most this long, so that it can read the answer before the close.
    std::chrono::milliseconds drainTime{2'000};
};

/// Every request goes to the session, except GET (or HEAD) /openapi.json,
/// which answers the OpenAPI document of the plug-in's API, and the paths of
/// the match-history page (WebPage: "/", "/web/...", "/lib/..."), which are
/// the page's only while the session serves nothing there. HEAD is answered
/// wherever GET is, without the body. Answers other than the page's files
/// are JSON; errors are {"message": "...", "status": N}, and 405 answers
/// name the methods served in `Allow`. The request target reaches the session exactly as sent,
/// still percent-encoded, as the platform's core passes it to a plug-in.
///
/// Served from loopback, only requests that name this machine in `Host`
/// (localhost, 127.0.0.1 or [::1], any port) are answered; others get 421, so
/// a web page cannot reach the server through a name that resolves to it.
///
/// Connections are served on the thread that calls Run; the session's calls,
/// which may block, run on one worker thread (the session takes one request
/// at a time anyway). Pipelined requests are answered in order, one at a time.
class HttpServer {
public:
    /// Called once per request with a line such as "GET /x -> 200".
    using RequestLog = std::function<void(const std::string& line)>;

    explicit HttpServer(PluginSession& session, HttpServerLimits limits = {}, RequestLog log = {});
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    /// The address served unless the user asks for another: this machine only.
    static constexpr const char* kDefaultAddress = "127.0.0.1";

    /// Binds to `address` (an IPv4 or IPv6 address, or "localhost") and
    /// `port`; port 0 takes a free one. The port is this server's alone: a
    /// port another socket listens on is an error. False, with `error` set,
    /// when the address cannot be bound.
    [[nodiscard]] bool Bind(const std::string& address, int port, std::string& error);
    /// Binds to the default address.
    [[nodiscard]] bool Bind(int port, std::string& error) {
        return Bind(kDefaultAddress, port, error);
    }
    /// The bound port; 0 before Bind.
    [[nodiscard]] int Port() const noexcept;
    /// "http://127.0.0.1:8080" or "http://[::1]:8080" for the bound address.
    [[nodiscard]] std::string Origin() const;

    /// Serves until Stop; false when the server could not run. Returns at
    /// once when Stop came first.
    bool Run();
    /// Ends Run from any thread, also before Run starts. Stops accepting,
    /// closes idle connections and those still reading a request at once, and
    /// lets requests the session is already answering finish, their answers
    /// closing their connections.
    void Stop();

private:
    class Engine;
    friend class HttpConnection;
    std::unique_ptr<Engine> engine_;
};

}  // namespace KzoHost
