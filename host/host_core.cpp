#include "host/host_core.h"

#include <cstdio>

namespace KzoHost {
namespace {

KzoWord NeverCalled1(const CoreFunctions*, KzoWord, KzoWord) { return 0; }
KzoWord NeverCalled2(const CoreFunctions*, KzoWord) { return 0; }
KzoWord NeverCalled5(const CoreFunctions*, KzoWord, KzoWord, KzoWord, uint64_t, KzoWord) {
    return 0;
}

void WriteToStandardError(KzoWord level, const char* text) {
    std::fprintf(stderr, "%s| %s\n", HostCore::LevelName(level), text);
}

} // namespace

HostCore::HostCore(KzoWord pluginHandle)
    : m_table{CoreFunctions{&OnSendRequest, &NeverCalled1, &NeverCalled2, &OnSubscribe,
                            &OnUnsubscribe, &NeverCalled5, &OnYield, &OnBeginWait, &OnEndWait,
                            &OnLog},
              this},
      m_context{&m_table.functions, pluginHandle},
      m_logSink(&WriteToStandardError) {}

const char* HostCore::LevelName(KzoWord level) noexcept {
    switch (level) {
        case 0: return "  OKAY";
        case 1: return "  WARN";
        case 2: return " ERROR";
        case 3: return "ALWAYS";
        default: return "   ???";
    }
}

HostCore& HostCore::From(const CoreFunctions* table) noexcept {
    return *reinterpret_cast<const Table*>(table)->owner;
}

KzoWord HostCore::OnSendRequest(const CoreFunctions*, CoreResponse* response,
                                const CoreRequest*) {
    // No peer plug-ins yet: every request is answered "not found".
    *response = CoreResponse{};
    response->errorText = "No plug-in serves this path";
    response->status = 404;
    response->text = "";
    return 0;
}

KzoWord HostCore::OnSubscribe(const CoreFunctions*, const char*, KzoWord, CoreEventCallback,
                              void*, KzoWord) {
    return 0;
}

KzoWord HostCore::OnUnsubscribe(const CoreFunctions*, const char*, KzoWord) { return 0; }

KzoWord HostCore::OnYield(const CoreFunctions* table) {
    HostCore& host = From(table);
    host.m_waitCalls.push_back({WaitCall::Kind::Yield, {}});
    host.RunPendingWork();
    return 0;
}

KzoWord HostCore::OnBeginWait(const CoreFunctions* table, const char* label, KzoWord) {
    From(table).m_waitCalls.push_back({WaitCall::Kind::Begin, label != nullptr ? label : ""});
    return 0;
}

KzoWord HostCore::OnEndWait(const CoreFunctions* table) {
    From(table).m_waitCalls.push_back({WaitCall::Kind::End, {}});
    return 0;
}

KzoWord HostCore::OnLog(const CoreFunctions* table, KzoWord level, const char* text) {
    HostCore& host = From(table);
    if (host.m_logSink) host.m_logSink(level, text != nullptr ? text : "");
    return 0;
}

// Work posted while pending work runs waits for the next Yield, so a plug-in
// that yields in a loop makes progress one step per yield.
void HostCore::RunPendingWork() {
    std::deque<std::function<void()>> work;
    work.swap(m_pending);
    for (auto& step : work) step();
}

} // namespace KzoHost
