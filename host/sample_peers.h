// The peer plug-ins the match-history plug-in calls, played from a folder of
// sample data: the game-data service, the login plug-in, the summoner plug-in
// and the platform configuration.
//
// Files are read again whenever they change, so edits to the folder show up
// on the next request.
// Only files inside the folder are served, judged by their resolved path: a
// symbolic link that leads out of the folder counts as a missing file. An
// empty or blank file, like one that is not JSON, is answered 500 with a
// message naming the file.
// The login session and the configuration are their files' content until the
// host sets or deletes them; each such change is published to the plug-in as
// a resource event, and so is an edit of either file that the plug-in has not
// yet seen (PublishFileEdits).
//
// The folder holds matchlists/<accountId>.json, games/<gameId>.json,
// gametimelines/<gameId>.json, delta.json, session.json, config.json,
// recent-games.json and summoner-names.json (summoner id text -> name).
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "binding/binding_property.h"
#include "binding/core_value.h"
#include "host/host_core.h"

namespace KzoHost {

class SamplePeers {
    struct State;
    // Only Open constructs, once it has checked the folder.
    struct OpenKey {
        explicit OpenKey() = default;
    };

public:
    /// Registers the peers with `core`, answering from `dataFolder`. Null, with
    /// `error` set, when the folder does not exist or is not a folder.
    /// `core` must outlive this object; the registered peers stay valid after
    /// it is gone, answering from the folder and the last values set.
    [[nodiscard]] static std::unique_ptr<SamplePeers> Open(HostCore& core,
                                                           const std::filesystem::path& dataFolder,
                                                           std::string& error);
    SamplePeers(OpenKey, HostCore& core, std::shared_ptr<State> state);

    SamplePeers(const SamplePeers&) = delete;
    SamplePeers& operator=(const SamplePeers&) = delete;

    /// Replaces the login session and publishes Create (when there was none)
    /// or Update with the new value.
    void SetSession(const Nimbel::BindingProperty& session);
    /// Removes the login session and publishes Delete; nothing happens when
    /// there is no session.
    void DeleteSession();
    /// The same for the match-history configuration namespace.
    void SetConfiguration(const Nimbel::BindingProperty& configuration);
    void DeleteConfiguration();

    /// Publishes, as the resource events a change through the host sends, the
    /// edits of session.json and config.json that the plug-in has not learnt
    /// of, by an event or by reading the resource. A file the host has set or
    /// deleted is no longer read; one that is not valid JSON publishes nothing.
    void PublishFileEdits();

    /// The most levels of collections and structures a session or
    /// configuration may nest: its change event carries it one level down.
    static constexpr size_t kMaxDocumentLevels = Nimbel::kMaxCoreValueDepth - 1;
    /// Whether `value` nests at most kMaxDocumentLevels levels.
    [[nodiscard]] static bool FitsChangeEvent(const Nimbel::BindingProperty& value);

    /// The current values; none when deleted, or while the host has not set
    /// one and the file is missing or not valid JSON.
    [[nodiscard]] std::optional<Nimbel::BindingProperty> Session() const;
    [[nodiscard]] std::optional<Nimbel::BindingProperty> Configuration() const;

    /// The data folder as a canonical path.
    [[nodiscard]] const std::filesystem::path& DataFolder() const noexcept;

    /// The resource paths the changes are published under.
    static constexpr const char* kSessionPath = "/kzo-login/v1/session";
    static constexpr const char* kConfigurationPath =
        "/kzo-platform-config/v1/namespaces/NewMatchHistory";

    /// The peer paths that take positional arguments.
    static constexpr const char* kInvokePath = "/kzo-login/v1/session/invoke";
    static constexpr const char* kSummonerNamesPath = "/kzo-summoner/v2/summoner-names";

    /// How many positional arguments a request to `path` may carry: three for
    /// the login plug-in's invoke (destination, method, argument list), one for
    /// the summoner names (the ids), none for every other peer path.
    [[nodiscard]] static size_t ArgumentsTaken(std::string_view path) noexcept;

private:
    void RegisterPeers();

    HostCore& core_;
    // Shared with the registered handlers, which may outlive this object.
    std::shared_ptr<State> state_;
};

}  // namespace KzoHost
