#include "host/http_server.h"

#include <httplib.h>

#include <thread>

#include "codecs/json_writer.h"
#include "host/api_documents.h"

namespace KzoHost {
namespace {

constexpr size_t kMaxBodyBytes = size_t{1} << 20;
constexpr const char* kJson = "application/json";

[[nodiscard]] HostRequest ToHostRequest(const httplib::Request& request) {
    HostRequest host;
    host.method = request.method;
    // The path goes to the plug-in as received, still percent-encoded: routes
    // match it first and decode parameters after, so that "%2F" stays inside
    // one parameter and "%00" reaches the plug-in instead of cutting the path.
    const size_t query = request.target.find('?');
    host.path = request.target.substr(0, query);
    if (query != std::string::npos) host.query = request.target.substr(query + 1);
    for (const auto& [name, value] : request.headers) host.headers.emplace_back(name, value);
    host.contentType = request.get_header_value("Content-Type");
    host.body = request.body;
    return host;
}

}  // namespace

HttpServer::HttpServer(PluginSession& session, RequestLog log)
    : m_session(session), m_log(std::move(log)), m_server(std::make_unique<httplib::Server>()) {
    m_openApi = Nimbel::ValueToJson(
        OpenApiDocument(session.Listing(), "jvp-be-kzo-match-history", "1.0.0"), nullptr, "\n");
    m_server->set_payload_max_length(kMaxBodyBytes);
    m_server->set_keep_alive_max_count(1000);
    // Answers go out at once: with Nagle's algorithm a client that waits for
    // a small response's last segment stalls on the delayed ACK (about 40 ms
    // per request on Linux).
    m_server->set_tcp_nodelay(true);
    // Paths are matched by the session, not by patterns: ".*" takes every one.
    const auto handler = [this](const httplib::Request& request, httplib::Response& response) {
        HandleRequest(request, response);
    };
    m_server->Get(".*", handler);
    m_server->Post(".*", handler);
    m_server->Put(".*", handler);
    m_server->Patch(".*", handler);
    m_server->Delete(".*", handler);
    m_server->Options(".*", handler);
    m_server->set_exception_handler(
        [](const httplib::Request&, httplib::Response& response, std::exception_ptr) {
            response.status = 500;
            response.set_content(ErrorJson(500, "The host failed to answer"), kJson);
        });
}

HttpServer::~HttpServer() = default;

void HttpServer::HandleRequest(const httplib::Request& request, httplib::Response& response) {
    HostAnswer answer;
    if (request.method == "GET" && request.path == "/openapi.json") {
        answer = HostAnswer{200, m_openApi};
    } else {
        answer = m_session.Handle(ToHostRequest(request));
    }
    response.status = answer.status;
    if (answer.status != 204) response.set_content(answer.json, kJson);
    if (m_log)
        m_log(request.method + " " + request.target + " -> " + std::to_string(answer.status));
}

bool HttpServer::Bind(const std::string& address, int port, std::string& error) {
    if (port == 0) {
        m_port = m_server->bind_to_any_port(address);
    } else {
        m_port = m_server->bind_to_port(address, port) ? port : -1;
    }
    if (m_port > 0) return true;
    error = "cannot listen on " + address + ":" + std::to_string(port);
    m_port = 0;
    return false;
}

bool HttpServer::Run() {
    {
        const std::lock_guard lock(m_runLock);
        if (m_stopRequested) return true;
        m_runStarted = true;
    }
    const bool served = m_server->listen_after_bind();
    m_runFinished = true;
    return served;
}

void HttpServer::Stop() {
    {
        const std::lock_guard lock(m_runLock);
        m_stopRequested = true;
        if (!m_runStarted) return;
    }
    // The server ignores a stop until its loop runs; Run has begun, so wait
    // for the loop (or for Run to have ended on its own).
    while (!m_server->is_running() && !m_runFinished) std::this_thread::yield();
    m_server->stop();
}

}  // namespace KzoHost
