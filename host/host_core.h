// The reference host's stand-in for the platform core's function table: what a
// plug-in reaches through `CoreFunctions` once it is started.
//
// Log lines go to a sink (standard error by default); waits and yields are
// recorded so tests can assert on them; work posted to the core runs at the
// plug-in's next Yield, as a real core runs its pending work there.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "abi/core_abi.h"

namespace KzoHost {

class HostCore {
public:
    using LogSink = std::function<void(KzoWord level, const char* text)>;

    /// One call the plug-in made to the wait functions, in order.
    struct WaitCall {
        enum class Kind { Begin, Yield, End };
        Kind kind;
        std::string label; ///< BeginWait only
    };

    explicit HostCore(KzoWord pluginHandle = 1);
    HostCore(const HostCore&) = delete;
    HostCore& operator=(const HostCore&) = delete;

    /// The context handed to the plug-in's Start; valid as long as this object.
    [[nodiscard]] const CoreContext* Context() const noexcept { return &m_context; }

    void SetLogSink(LogSink sink) { m_logSink = std::move(sink); }
    /// Runs `work` at the next Yield (in posting order).
    void Post(std::function<void()> work) { m_pending.push_back(std::move(work)); }

    [[nodiscard]] const std::vector<WaitCall>& WaitCalls() const noexcept { return m_waitCalls; }
    void ClearWaitCalls() { m_waitCalls.clear(); }

    /// "  OKAY", "  WARN", " ERROR", "ALWAYS"; "   ???" for other levels.
    [[nodiscard]] static const char* LevelName(KzoWord level) noexcept;

private:
    // The table's address leads back to its host: the functions come first.
    struct Table {
        CoreFunctions functions;
        HostCore* owner;
    };
    static HostCore& From(const CoreFunctions* table) noexcept;

    static KzoWord OnSendRequest(const CoreFunctions* table, CoreResponse* response,
                                 const CoreRequest* request);
    static KzoWord OnSubscribe(const CoreFunctions* table, const char* event, KzoWord handle,
                               CoreEventCallback callback, void* context, KzoWord flags);
    static KzoWord OnUnsubscribe(const CoreFunctions* table, const char* event, KzoWord handle);
    static KzoWord OnYield(const CoreFunctions* table);
    static KzoWord OnBeginWait(const CoreFunctions* table, const char* label, KzoWord zero);
    static KzoWord OnEndWait(const CoreFunctions* table);
    static KzoWord OnLog(const CoreFunctions* table, KzoWord level, const char* text);

    void RunPendingWork();

    Table m_table;
    CoreContext m_context;
    LogSink m_logSink;
    std::deque<std::function<void()>> m_pending;
    std::vector<WaitCall> m_waitCalls;
};

} // namespace KzoHost
