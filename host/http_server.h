// The reference host's HTTP front: serves a plug-in session on a local
// address, so the plug-in can be tried with curl or any HTTP tool.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "host/plugin_session.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace KzoHost {

/// Every request goes to the session, except GET /openapi.json, which answers
/// the OpenAPI document of the plug-in's API. Answers are JSON; errors are
/// {"status": N, "message": "..."}. Bodies above 1 MiB are refused.
class HttpServer {
public:
    /// Called once per request with a line such as "GET /x -> 200".
    using RequestLog = std::function<void(const std::string& line)>;

    HttpServer(PluginSession& session, RequestLog log = {});
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    /// The address served unless the user asks for another: this machine only.
    static constexpr const char* kDefaultAddress = "127.0.0.1";

    /// Binds to `address` and `port`; port 0 takes a free one. False, with
    /// `error` set, when the address cannot be bound.
    [[nodiscard]] bool Bind(const std::string& address, int port, std::string& error);
    /// Binds to the default address.
    [[nodiscard]] bool Bind(int port, std::string& error) {
        return Bind(kDefaultAddress, port, error);
    }
    /// The bound port; 0 before Bind.
    [[nodiscard]] int Port() const noexcept { return m_port; }
    /// Serves until Stop; false when the server could not run. Returns at
    /// once when Stop came first.
    bool Run();
    /// Ends Run from any thread, also while Run is still starting; in-flight
    /// requests finish first.
    void Stop();

private:
    void HandleRequest(const httplib::Request& request, httplib::Response& response);

    PluginSession& m_session;
    RequestLog m_log;
    std::unique_ptr<httplib::Server> m_server;
    std::string m_openApi;
    int m_port = 0;

    // Stop must not be lost when it comes before the listening loop runs.
    std::mutex m_runLock;
    bool m_stopRequested = false;
    bool m_runStarted = false;
    std::atomic<bool> m_runFinished{false};
};

}  // namespace KzoHost
