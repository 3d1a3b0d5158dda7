// A plug-in at work in the reference host: the library loaded and started on
// a host core whose peers answer from a folder of sample data. Requests come
// in as HTTP-like calls and go to the plug-in's endpoints, to the peers, or
// change the peers' resources; the answer is a status and a JSON body.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "host/api_listing.h"
#include "host/endpoint_client.h"
#include "host/host_core.h"
#include "host/plugin_library.h"
#include "host/sample_peers.h"

namespace KzoHost {

/// A request as the HTTP front sees it.
struct HostRequest {
    std::string method = "GET";  ///< "GET", "PUT", ... as sent
    std::string path;            ///< without the query
    std::string query;           ///< after "?", still encoded; empty when none
    std::vector<std::pair<std::string, std::string>> headers;
    std::string contentType;
    std::string body;
};

/// A status and a JSON body. Errors are {"status": N, "message": "..."}.
struct HostAnswer {
    HostAnswer() = default;
    HostAnswer(int answerStatus, std::string answerJson, std::string answerAllow = {})
        : status(answerStatus), json(std::move(answerJson)), allow(std::move(answerAllow)) {}

    int status = 200;
    std::string json;
    std::string allow;  ///< 405 only: the methods served at the path, as Allow lists them
};

/// Where a session's time went, summed over every request it answered.
struct SessionTimings {
    uint64_t requests = 0;
    std::chrono::nanoseconds handling{0};  ///< all of Handle, peers and plug-in included
    std::chrono::nanoseconds peers{0};     ///< the peers answering requests
    std::chrono::nanoseconds plugin{0};    ///< the plug-in's endpoints, minus their peer calls
};

struct SessionOptions {
    std::string pluginPath;
    std::filesystem::path dataFolder;
    /// A folder of canned peer answers (host/canned_peers.h) for the paths the
    /// sample peers do not serve; none when empty.
    std::filesystem::path peersFolder;
    /// Log lines of the plug-in (level, text); standard error when empty.
    HostCore::LogSink logSink;
};

/// Owns the host core, the sample peers and the loaded, started plug-in.
/// Every call into them is made under one lock: like the platform's core,
/// the host hands the plug-in one request at a time, and its own tables are
/// not shared between threads. Destroying the session stops the plug-in and
/// unloads it.
class PluginSession {
    // Only Open constructs, and returns the session once it has started.
    struct OpenKey {
        explicit OpenKey() = default;
    };

public:
    /// Loads and starts the plug-in; null, with `error` set, when the data
    /// folder or the library cannot be used or the plug-in refuses to start.
    [[nodiscard]] static std::unique_ptr<PluginSession> Open(const SessionOptions& options,
                                                             std::string& error);
    explicit PluginSession(OpenKey) {}
    ~PluginSession();
    PluginSession(const PluginSession&) = delete;
    PluginSession& operator=(const PluginSession&) = delete;

    /// Answers one request; the path and the query are as sent, still
    /// percent-encoded (the plug-in decodes them, as from the platform's core):
    /// - PUT or DELETE of the login session or of the configuration namespace
    ///   changes the peer's resource and delivers the change to the plug-in as
    ///   an event. A PUT takes a JSON object; a session must also convert into
    ///   the session record the plug-in reads. Anything else is refused with
    ///   400 and changes nothing;
    /// - a path of a peer ("/kzo-acs/", "/kzo-login/", "/kzo-summoner/",
    ///   "/kzo-platform-config/") is answered by that peer; a JSON array body
    ///   gives its positional arguments, and "ids=1,2,3" in the query gives
    ///   the summoner-name lookup its one list;
    /// - any other path goes to the plug-in's endpoint whose method and path
    ///   template fit it: 404 when no template fits, 405 when only the method
    ///   does not. The plug-in's own statuses are passed on unchanged; an
    ///   error without a status is 500.
    /// Every 405 says in `allow` which methods the path serves.
    [[nodiscard]] HostAnswer Handle(const HostRequest& request);

    /// Whether Handle sends a request for `path` (as sent, without the query)
    /// somewhere other than a 404 of its own: to a peer, to a resource, or
    /// to a plug-in endpoint of any method.
    [[nodiscard]] bool Serves(std::string_view path);

    /// The plug-in's short name, as its load record answered it.
    [[nodiscard]] std::string ShortName() const { return library_->Record().shortName; }
    /// The plug-in's API as the core reads it.
    [[nodiscard]] const ApiListing& Listing() const noexcept { return listing_; }
    /// The plug-in's memory counters (the seven words of its callback).
    [[nodiscard]] std::array<uint64_t, 7> MemoryStats() const;
    [[nodiscard]] SessionTimings Timings();

private:
    [[nodiscard]] HostAnswer ChangeResource(const HostRequest& request);
    [[nodiscard]] HostAnswer AskPeer(const HostRequest& request);
    [[nodiscard]] HostAnswer CallPlugin(const HostRequest& request);

    std::mutex lock_;
    HostCore core_;
    std::unique_ptr<SamplePeers> peers_;
    std::unique_ptr<PluginLibrary> library_;
    ApiListing listing_;
    std::unique_ptr<EndpointDirectory> endpoints_;
    SessionTimings timings_;
};

/// {"status": status, "message": message} as compact JSON.
[[nodiscard]] std::string ErrorJson(int status, std::string_view message);

/// The method code of an HTTP method word (1 DELETE … 7 PUT); 8 for others.
[[nodiscard]] KzoWord MethodCodeOf(std::string_view method) noexcept;

}  // namespace KzoHost
