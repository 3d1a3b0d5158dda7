#include "host/host_core.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>

#include "binding/core_value.h"
#include "binding/owned_core_value.h"
#include "diagnostics/allocator.h"
#include "diagnostics/log_level.h"
#include "plugin/resource_path.h"

namespace KzoHost {
namespace {

KzoWord NeverCalled1(const CoreFunctions*, KzoWord, KzoWord) {
    return 0;
}
KzoWord NeverCalled2(const CoreFunctions*, KzoWord) {
    return 0;
}
KzoWord NeverCalled5(const CoreFunctions*, KzoWord, KzoWord, KzoWord, uint64_t, KzoWord) {
    return 0;
}

void WriteToStandardError(KzoWord level, const char* text) {
    std::fprintf(stderr, "%s| %s\n", Nimbel::LevelName(static_cast<int32_t>(level)), text);
}

// A streamed body: the text and how much each read delivers. Owned by the
// response record until the reader closes it.
struct HostStream {
    std::string text;
    std::vector<uint32_t> chunkSizes;
    bool fails = false;
    size_t position = 0;
    size_t reads = 0;
    size_t* readCounter = nullptr;
    size_t* closeCounter = nullptr;
};

bool ReadStream(KzoWord handle, uint8_t* buffer, uint32_t* size, uint8_t* more) {
    auto& stream = *reinterpret_cast<HostStream*>(handle);
    if (stream.fails && stream.reads > 0) return false;
    size_t chunk = *size;
    if (!stream.chunkSizes.empty()) {
        chunk = stream.chunkSizes[std::min(stream.reads, stream.chunkSizes.size() - 1)];
    }
    const size_t count = std::min({chunk, size_t{*size}, stream.text.size() - stream.position});
    // A read fills bytes, not a C string: no terminating NUL belongs in it.
    // NOLINTNEXTLINE(bugprone-not-null-terminated-result)
    if (count > 0) std::memcpy(buffer, stream.text.data() + stream.position, count);
    stream.position += count;
    ++stream.reads;
    if (stream.readCounter != nullptr) ++*stream.readCounter;
    *size = static_cast<uint32_t>(count);
    *more = stream.position < stream.text.size() ? 1 : 0;
    return true;
}

void CloseStream(KzoWord handle) {
    std::unique_ptr<HostStream> stream(reinterpret_cast<HostStream*>(handle));
    if (stream->closeCounter != nullptr) ++*stream->closeCounter;
}

// The release function of every response the host fills: frees what the
// record owns and zeroes it. A stream belongs to its reader until closed.
void ReleaseResponse(CoreResponse* response) {
    Nimbel::CoreValueRelease(response->value);
    Nimbel::CoreResultReleaseError(*response);
    *response = CoreResponse{};
}

void SetError(CoreResponse& response, uint32_t status, const std::string& text) {
    response.errorText = Nimbel::DuplicateText(text.c_str());
    response.ownsErrorText = 1;
    response.status = status;
}

}  // namespace

HostCore::HostCore(KzoWord pluginHandle)
    : table_{CoreFunctions{&OnSendRequest, &NeverCalled1, &NeverCalled2, &OnSubscribe,
                           &OnUnsubscribe, &NeverCalled5, &OnYield, &OnBeginWait, &OnEndWait,
                           &OnLog},
             this},
      context_{&table_.functions, pluginHandle},
      logSink_(&WriteToStandardError) {}

HostCore& HostCore::From(const CoreFunctions* table) noexcept {
    return *reinterpret_cast<const Table*>(table)->owner;
}

KzoWord HostCore::OnSendRequest(const CoreFunctions* table, CoreResponse* response,
                                const CoreRequest* request) {
    *response = CoreResponse{};
    response->text = "";
    response->release = &ReleaseResponse;
    HostCore& host = From(table);
    const auto start = std::chrono::steady_clock::now();
    try {
        host.Answer(*response, *request);
    } catch (const std::exception& error) {
        ReleaseResponse(response);
        response->text = "";
        response->release = &ReleaseResponse;
        SetError(*response, 500, std::string("The peer failed: ") + error.what());
    }
    host.peerTime_ += std::chrono::steady_clock::now() - start;
    return 0;
}

void HostCore::AddPeer(std::string pathPattern, PeerHandler handler) {
    peers_[std::move(pathPattern)] = std::move(handler);
}

const PeerHandler* HostCore::FindPeer(std::string_view path) const {
    if (auto exact = peers_.find(path); exact != peers_.end()) return &exact->second;
    const PeerHandler* best = nullptr;
    size_t bestLength = 0;
    for (const auto& [pattern, handler] : peers_) {
        if (pattern.empty() || pattern.back() != '*') continue;
        const std::string_view prefix = std::string_view(pattern).substr(0, pattern.size() - 1);
        if (path.substr(0, prefix.size()) == prefix &&
            (best == nullptr || prefix.size() > bestLength)) {
            best = &handler;
            bestLength = prefix.size();
        }
    }
    return best;
}

void HostCore::Answer(CoreResponse& response, const CoreRequest& request) {
    PeerRequest peerRequest;
    peerRequest.method = request.method;
    const std::string_view fullPath = request.path != nullptr ? request.path : "";
    const size_t query = fullPath.find('?');
    peerRequest.path = std::string(fullPath.substr(0, query));
    if (query != std::string_view::npos)
        peerRequest.query = std::string(fullPath.substr(query + 1));
    for (KzoWord i = 0; i < request.argumentCount; ++i) {
        const CoreArgumentEntry& entry = request.arguments[i];
        Nimbel::BindingProperty value;
        static_cast<void>(Nimbel::CoreValueToProperty(nullptr, value, entry.value, "<argument>"));
        peerRequest.arguments.emplace_back(entry.name != nullptr ? entry.name : "",
                                           std::move(value));
    }
    if (request.contentType != nullptr) peerRequest.contentType = request.contentType;
    if (request.body != nullptr) {
        peerRequest.body.assign(reinterpret_cast<const char*>(request.body), request.bodySize);
    }
    if (recording_) sent_.push_back(peerRequest);

    const PeerHandler* peer = FindPeer(peerRequest.path);
    if (peer == nullptr) {
        const PeerAnswer none = PeerAnswer::NoPeerServes(peerRequest.path);
        SetError(response, none.status, *none.errorText);
        return;
    }
    const PeerAnswer answer = (*peer)(peerRequest);
    response.status = answer.status;
    if (answer.errorText.has_value()) {
        SetError(response, answer.status, *answer.errorText);
    } else if (answer.streamedBody.has_value()) {
        auto stream = std::make_unique<HostStream>(HostStream{*answer.streamedBody,
                                                              answer.chunkSizes, answer.streamFails,
                                                              0, 0, &streamReads_, &streamCloses_});
        response.expectedSize =
            answer.announcedSize.value_or(static_cast<uint32_t>(stream->text.size()));
        response.streamRead = &ReadStream;
        response.streamClose = &CloseStream;
        response.stream = reinterpret_cast<KzoWord>(stream.release());
    } else {
        Nimbel::PropertyToCoreValue(response.value, answer.value, nullptr);
    }
}

KzoWord HostCore::OnSubscribe(const CoreFunctions* table, const char* event, KzoWord handle,
                              CoreEventCallback callback, void* context, KzoWord flags) {
    if (event == nullptr || callback == nullptr) return 0;
    From(table).subscriptions_[event].push_back(Subscription{handle, callback, context, flags});
    return 0;
}

KzoWord HostCore::OnUnsubscribe(const CoreFunctions* table, const char* event, KzoWord handle) {
    if (event == nullptr) return 0;
    auto& subscriptions = From(table).subscriptions_;
    const auto found = subscriptions.find(std::string_view(event));
    if (found == subscriptions.end()) return 0;
    std::erase_if(found->second, [handle](const Subscription& s) { return s.handle == handle; });
    if (found->second.empty()) subscriptions.erase(found);
    return 0;
}

std::vector<HostCore::Subscription> HostCore::Subscriptions(const std::string& eventName) const {
    const auto found = subscriptions_.find(eventName);
    return found != subscriptions_.end() ? found->second : std::vector<Subscription>{};
}

void HostCore::PublishEvent(const std::string& eventName, const Nimbel::BindingProperty& payload) {
    Nimbel::OwnedCoreValue core;
    Nimbel::PropertyToCoreValue(core.Get(), payload, nullptr);
    // A callback may unsubscribe: deliver to the subscribers as they were.
    for (const Subscription& subscription : Subscriptions(eventName)) {
        const EventCallbackRecord record{eventName.c_str(), core.Get(), 0, subscription.context};
        subscription.callback(&record);
    }
}

void HostCore::PublishResourceEvent(std::string_view uri, ResourceEventType type,
                                    const Nimbel::BindingProperty& data) {
    static constexpr const char* kTypeNames[] = {"Create", "Update", "Delete"};
    Nimbel::BindingProperty payload;
    payload["uri"] = uri;
    payload["eventType"] = kTypeNames[static_cast<int>(type)];
    payload["data"] = data;
    PublishEvent(Nimbel::EventNameForPath(uri), payload);
}

KzoWord HostCore::OnYield(const CoreFunctions* table) {
    HostCore& host = From(table);
    if (host.recording_) host.waitCalls_.push_back({WaitCall::Kind::Yield, {}});
    host.RunPendingWork();
    return 0;
}

KzoWord HostCore::OnBeginWait(const CoreFunctions* table, const char* label, KzoWord) {
    HostCore& host = From(table);
    if (host.recording_)
        host.waitCalls_.push_back({WaitCall::Kind::Begin, label != nullptr ? label : ""});
    return 0;
}

KzoWord HostCore::OnEndWait(const CoreFunctions* table) {
    HostCore& host = From(table);
    if (host.recording_) host.waitCalls_.push_back({WaitCall::Kind::End, {}});
    return 0;
}

KzoWord HostCore::OnLog(const CoreFunctions* table, KzoWord level, const char* text) {
    From(table).Log(level, text != nullptr ? text : "");
    return 0;
}

// Work posted while pending work runs waits for the next Yield, so a plug-in
// that yields in a loop makes progress one step per yield.
void HostCore::RunPendingWork() {
    std::deque<std::function<void()>> work;
    work.swap(pending_);
    for (auto& step : work) step();
}

}  // namespace KzoHost
