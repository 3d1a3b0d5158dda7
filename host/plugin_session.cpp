#include "host/plugin_session.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "api/owned_response.h"
#include "api/url_decode.h"
#include "binding/binding_status.h"
#include "binding/binding_type_builder.h"
#include "binding/binding_type_registry.h"
#include "binding/core_value.h"
#include "binding/value_to_native.h"
#include "codecs/json_reader.h"
#include "codecs/json_writer.h"
#include "host/canned_peers.h"
#include "match_history/match_history_records.h"
#include "plugin/outbound_request.h"

namespace KzoHost {
namespace {

constexpr std::array<std::string_view, 4> kPeerPrefixes = {
    "/kzo-acs/", "/kzo-login/", "/kzo-summoner/", "/kzo-platform-config/"};

[[nodiscard]] bool IsPeerPath(std::string_view path) {
    return std::any_of(kPeerPrefixes.begin(), kPeerPrefixes.end(),
                       [path](std::string_view prefix) { return path.starts_with(prefix); });
}

[[nodiscard]] std::string Compact(const Nimbel::BindingProperty& value) {
    std::string json = Nimbel::ValueToJson(value, nullptr, nullptr);
    return json.empty() ? "null" : json;
}

[[nodiscard]] bool ReadJson(std::string_view text, Nimbel::BindingProperty& value,
                            std::string& error) {
    Nimbel::BindingStatus parsed = Nimbel::JsonToValue(text.data(), text.size());
    if (!parsed.Ok()) {
        error = parsed.ErrorMessage();
        return false;
    }
    value = std::move(parsed.Value());
    return true;
}

/// Whether `session` converts into the session record the plug-in reads, by
/// the framework's own conversion rules (the plug-in ignores a session event
/// it cannot convert); `error` says why not.
[[nodiscard]] bool ConvertsToLoginSession(const Nimbel::BindingProperty& session,
                                          std::string& error) {
    using Nimbel::Client::MatchHistory::Api::LoginSession;
    using Nimbel::Client::MatchHistory::Api::LoginSessionStates;
    static const std::unique_ptr<const Nimbel::BindingTypeRegistry> registry = [] {
        auto types = std::make_unique<Nimbel::BindingTypeRegistry>();
        Nimbel::BindingTypeBuilder<LoginSessionStates>(*types, "LoginSessionStates")
            .Enumerator("IN_PROGRESS", LoginSessionStates::IN_PROGRESS)
            .Enumerator("ERROR", LoginSessionStates::ERROR)
            .Enumerator("SUCCEEDED", LoginSessionStates::SUCCEEDED)
            .Enumerator("LOGGING_OUT", LoginSessionStates::LOGGING_OUT)
            .Finish();
        Nimbel::BindingTypeBuilder<LoginSession>(*types, "LoginSession")
            .Field("state", &LoginSession::state)
            .Field("summonerId", &LoginSession::summonerId)
            .Field("accountId", &LoginSession::accountId)
            .Finish();
        return std::unique_ptr<const Nimbel::BindingTypeRegistry>(std::move(types));
    }();
    Nimbel::BindingStatus status;
    LoginSession record;
    Nimbel::ValueToNative(status, record, session, "session", *registry);
    if (status.Ok()) return true;
    error = status.ErrorMessage();
    return false;
}

/// Whether `text` holds nothing but white space.
[[nodiscard]] bool IsBlank(std::string_view text) {
    return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

/// The methods a peer path serves, for Allow.
[[nodiscard]] std::string PeerMethods(std::string_view path) {
    if (path == SamplePeers::kSessionPath || path == SamplePeers::kConfigurationPath)
        return "GET, HEAD, PUT, DELETE";
    if (path == SamplePeers::kInvokePath) return "POST";
    return "GET, HEAD";
}

/// The "ids" of a query such as "ids=1,2,3" as a collection of unsigned
/// numbers; false when a piece is not a number.
[[nodiscard]] bool IdsOfQuery(std::string_view query, Nimbel::BindingProperty& ids) {
    ids.MakeCollection();
    std::string decoded;
    while (!query.empty()) {
        const std::string_view pair = query.substr(0, query.find('&'));
        if (pair.starts_with("ids=")) decoded = Nimbel::UrlDecode(pair.substr(4));
        query.remove_prefix(std::min(query.size(), pair.size() + 1));
    }
    std::string_view list = decoded;
    while (!list.empty()) {
        const std::string_view piece = list.substr(0, list.find(','));
        uint64_t id = 0;
        const auto [end, status] = std::from_chars(piece.data(), piece.data() + piece.size(), id);
        if (status != std::errc() || end != piece.data() + piece.size()) return false;
        ids.Append() = id;
        list.remove_prefix(std::min(list.size(), piece.size() + 1));
    }
    return true;
}

/// Reads a peer's answer: an error, a streamed JSON text or a value.
[[nodiscard]] HostAnswer ReadPeerAnswer(const CoreResponse& response) {
    HostAnswer answer;
    if (response.errorText != nullptr) {
        const auto status = static_cast<int>(response.status);
        answer = HostAnswer{status, ErrorJson(status, response.errorText)};
    } else if (response.streamRead != nullptr) {
        std::string text;
        std::array<uint8_t, 4096> buffer{};
        uint8_t more = 1;
        bool ok = true;
        while (ok && more != 0) {
            uint32_t size = buffer.size();
            ok = response.streamRead(response.stream, buffer.data(), &size, &more);
            if (ok)
                text.append(reinterpret_cast<const char*>(buffer.data()),
                            std::min<size_t>(size, buffer.size()));
        }
        answer = ok ? HostAnswer{200, text} : HostAnswer{502, ErrorJson(502, "Stream read error")};
    } else {
        // The peer's own status carries over; 204 and 304 carry no body.
        const int status = response.status != 0 ? static_cast<int>(response.status) : 200;
        Nimbel::BindingProperty value;
        CoreResponse conversion{};
        if (status == 204 || status == 304) {
            answer = HostAnswer{status, {}};
        } else if (Nimbel::CoreValueToProperty(&conversion, value, response.value, "<result>")) {
            answer = HostAnswer{status, Compact(value)};
        } else {
            answer = HostAnswer{502, ErrorJson(502, conversion.errorText)};
            Nimbel::CoreResultReleaseError(conversion);
        }
    }
    return answer;
}

}  // namespace

std::string ErrorJson(int status, std::string_view message) {
    Nimbel::BindingProperty error;
    error["status"] = static_cast<int64_t>(status);
    error["message"] = message;
    // Members are written in name order: "message" before "status".
    return Nimbel::ValueToJson(error, nullptr, nullptr);
}

KzoWord MethodCodeOf(std::string_view method) noexcept {
    static constexpr std::array<std::string_view, 7> kWords = {"DELETE", "GET",  "HEAD", "OPTIONS",
                                                               "PATCH",  "POST", "PUT"};
    for (size_t i = 0; i < kWords.size(); ++i) {
        if (kWords[i] == method) return static_cast<KzoWord>(i + 1);
    }
    return 8;
}

std::unique_ptr<PluginSession> PluginSession::Open(const SessionOptions& options,
                                                   std::string& error) {
    auto session = std::make_unique<PluginSession>(OpenKey{});
    if (options.logSink) session->core_.SetLogSink(options.logSink);
    session->core_.SetRecording(false);
    session->peers_ = SamplePeers::Open(session->core_, options.dataFolder, error);
    if (session->peers_ == nullptr) return nullptr;
    if (!options.peersFolder.empty() &&
        !CannedPeers::Register(session->core_, options.peersFolder, error))
        return nullptr;
    session->library_ = PluginLibrary::Open(options.pluginPath, error);
    if (session->library_ == nullptr) return nullptr;
    if (!session->library_->Load(CoreVersion{}, error)) {
        error = options.pluginPath + ": " + error;
        return nullptr;
    }
    if (!session->library_->Start(*session->core_.Context())) {
        error = options.pluginPath + ": the plug-in refused to start";
        return nullptr;
    }
    const ApiDescriptionRoot* root = session->library_->Record().apiDescription;
    session->listing_ = ReadApiDescription(root);
    session->endpoints_ = std::make_unique<EndpointDirectory>(root);
    return session;
}

PluginSession::~PluginSession() {
    const std::lock_guard lock(lock_);
    if (library_ != nullptr) library_->Stop();
    library_.reset();
}

std::array<uint64_t, 7> PluginSession::MemoryStats() const {
    return library_->MemoryStats();
}

SessionTimings PluginSession::Timings() {
    const std::lock_guard lock(lock_);
    return timings_;
}

bool PluginSession::Serves(std::string_view path) {
    const std::lock_guard lock(lock_);
    return IsPeerPath(path) || endpoints_->ServesPath(path);
}

HostAnswer PluginSession::Handle(const HostRequest& request) {
    const std::lock_guard lock(lock_);
    const auto start = std::chrono::steady_clock::now();
    const std::chrono::nanoseconds peersBefore = core_.PeerTime();
    const bool changesResource = (request.method == "PUT" || request.method == "DELETE") &&
                                 (request.path == SamplePeers::kSessionPath ||
                                  request.path == SamplePeers::kConfigurationPath);
    const bool toPlugin = !changesResource && !IsPeerPath(request.path);
    // Edits of the data folder's session and configuration reach the plug-in
    // before the request they may bear on.
    peers_->PublishFileEdits();
    HostAnswer answer = changesResource ? ChangeResource(request)
                        : toPlugin      ? CallPlugin(request)
                                        : AskPeer(request);
    const std::chrono::nanoseconds spent = std::chrono::steady_clock::now() - start;
    const std::chrono::nanoseconds peers = core_.PeerTime() - peersBefore;
    ++timings_.requests;
    timings_.handling += spent;
    timings_.peers += peers;
    if (toPlugin) timings_.plugin += spent - peers;
    return answer;
}

namespace {

/// Whether a JSON text holds a NUL: a raw one anywhere, or a \u0000 escape
/// in a string. The reader would cut a text there, so a stored value could
/// not hold what was sent.
[[nodiscard]] bool HoldsNul(std::string_view text) {
    bool inString = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\0') return true;
        if (!inString || c == '"') {
            inString = inString ? false : c == '"';
        } else if (c == '\\' && i + 1 < text.size()) {
            ++i;
            if (text[i] == 'u' && text.substr(i + 1, 4) == "0000") return true;
        }
    }
    return false;
}

}  // namespace

HostAnswer PluginSession::ChangeResource(const HostRequest& request) {
    const bool session = request.path == SamplePeers::kSessionPath;
    if (request.method == "DELETE") {
        if (session) {
            peers_->DeleteSession();
        } else {
            peers_->DeleteConfiguration();
        }
        return HostAnswer{204, {}};
    }
    const auto refuse = [&request](const std::string& why) {
        return HostAnswer{400, ErrorJson(400, "PUT " + request.path + ": " + why), {}};
    };
    if (IsBlank(request.body)) return refuse("the body must be a JSON object, and it is empty");
    if (HoldsNul(request.body)) return refuse("the body holds a NUL, which no stored text can");
    Nimbel::BindingProperty value;
    std::string error;
    if (!ReadJson(request.body, value, error)) return refuse(error);
    if (value.Kind() != Nimbel::BindingPropertyKind::Structure)
        return refuse("the body must be a JSON object, not " + std::string(value.KindName()));
    // The change event carries the value one level down: a value the plug-in
    // could not read there would be stored without the plug-in seeing it.
    if (!SamplePeers::FitsChangeEvent(value))
        return refuse("the body nests deeper than " +
                      std::to_string(SamplePeers::kMaxDocumentLevels) +
                      " levels, which its change event could not carry");
    if (session && !ConvertsToLoginSession(value, error)) return refuse(error);
    if (session) {
        peers_->SetSession(value);
    } else {
        peers_->SetConfiguration(value);
    }
    return HostAnswer{200, Compact(value)};
}

HostAnswer PluginSession::AskPeer(const HostRequest& request) {
    Nimbel::OutboundArguments arguments;  // positional, released after the call
    // Only a path that takes arguments reads the body, and it never makes more
    // of them than the peer takes: each argument costs a value of its own.
    const size_t taken = SamplePeers::ArgumentsTaken(request.path);
    if (taken != 0 && !request.body.empty()) {
        Nimbel::BindingProperty list;
        std::string error;
        if (!ReadJson(request.body, list, error)) return HostAnswer{400, ErrorJson(400, error)};
        if (list.Kind() != Nimbel::BindingPropertyKind::Collection)
            return HostAnswer{400, ErrorJson(400, "A peer's arguments are a JSON array")};
        if (list.Size() > taken) {
            return HostAnswer{
                400, ErrorJson(400, request.path + " takes at most " + std::to_string(taken) +
                                        " arguments, not " + std::to_string(list.Size()))};
        }
        for (const Nimbel::BindingProperty& argument : list.Elements())
            arguments.Append(argument, nullptr);
    } else if (request.query.find("ids=") != std::string::npos) {
        Nimbel::BindingProperty ids;
        if (!IdsOfQuery(request.query, ids))
            return HostAnswer{400, ErrorJson(400, "ids must be numbers separated by commas")};
        arguments.Append(ids, nullptr);
    }
    const std::string path =
        request.query.empty() ? request.path : request.path + "?" + request.query;
    CoreRequest record{};
    record.method = MethodCodeOf(request.method);
    record.path = path.c_str();
    record.arguments = arguments.Entries().empty() ? nullptr : arguments.Entries().data();
    record.argumentCount = arguments.Entries().size();
    Nimbel::OwnedResponse response;
    const CoreFunctions* functions = core_.Context()->functions;
    functions->sendRequest(functions, &response.Record(), &record);
    HostAnswer answer = ReadPeerAnswer(response.Record());
    if (answer.status == 405) answer.allow = PeerMethods(request.path);
    return answer;
}

HostAnswer PluginSession::CallPlugin(const HostRequest& request) {
    EndpointCall call;
    call.method = MethodCodeOf(request.method);
    if (call.method == 8) call.methodName = request.method;
    call.path = request.query.empty() ? request.path : request.path + "?" + request.query;
    call.headers = request.headers;
    call.contentType = request.contentType;
    if (!request.body.empty()) call.body = request.body;

    const ListedEndpoint* endpoint = endpoints_->Find(call);
    if (endpoint == nullptr) {
        if (endpoints_->ServesPath(request.path))
            return HostAnswer{405,
                              ErrorJson(405, request.method + " is not served at " + request.path),
                              endpoints_->MethodsServing(request.path)};
        return HostAnswer{404, ErrorJson(404, "No endpoint serves " + request.path)};
    }
    const EndpointReply reply = CallEndpoint(endpoint->onRequest, endpoint->context, call);
    if (reply.error.has_value()) {
        const int status = reply.status != 0 ? static_cast<int>(reply.status) : 500;
        return HostAnswer{status, ErrorJson(status, *reply.error)};
    }
    const int status = reply.status != 0 ? static_cast<int>(reply.status) : 200;
    return HostAnswer{status, reply.json.empty() ? "null" : reply.json};
}

}  // namespace KzoHost
