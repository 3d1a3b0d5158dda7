#include "host/sample_peers.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <utility>
#include <vector>

#include "api/request_method.h"
#include "binding/binding_status.h"
#include "codecs/json_reader.h"
#include "diagnostics/log_level.h"

namespace KzoHost {
namespace {

namespace fs = std::filesystem;
using Nimbel::BindingProperty;
using Nimbel::BindingPropertyKind;

constexpr KzoWord kGet = static_cast<KzoWord>(Nimbel::RequestMethod::Get);
constexpr KzoWord kPost = static_cast<KzoWord>(Nimbel::RequestMethod::Post);

// ---- Reading the folder ----

/// A JSON file as read for one request: its text and value, or why there is none.
struct JsonFile {
    /// Missing: no such file. Unreadable: the file may be there, but the
    /// system refused to resolve, open or read it (no descriptors left, no
    /// permission, an I/O error), which says nothing about the data.
    enum class Outcome { Loaded, Missing, Malformed, Unreadable };
    Outcome outcome = Outcome::Missing;
    std::string text;
    BindingProperty value;
    std::string error;  ///< Malformed: the reader's message; Unreadable: the system's
};

/// Whether a failed lookup means that the file is not there.
bool MeansMissing(int error) noexcept {
    return error == ENOENT || error == ENOTDIR || error == ELOOP || error == ENAMETOOLONG;
}

/// The whole content of `file`; 0, or the failure's errno value.
int ReadWholeFile(const fs::path& file, std::string& text) {
    const int descriptor = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return errno;
    int failure = 0;
    std::array<char, size_t{64} * 1024> buffer{};
    for (;;) {
        const ssize_t got = ::read(descriptor, buffer.data(), buffer.size());
        if (got > 0) {
            text.append(buffer.data(), static_cast<size_t>(got));
        } else if (got == 0) {
            break;
        } else if (errno != EINTR) {
            failure = errno;
            break;
        }
    }
    ::close(descriptor);
    return failure;
}

JsonFile ParseJsonText(std::string text) {
    JsonFile result;
    result.text = std::move(text);
    if (result.text.find_first_not_of(" \t\r\n") == std::string::npos) {
        result.outcome = JsonFile::Outcome::Malformed;
        result.error = "the file is empty";
        return result;
    }
    Nimbel::BindingStatus parsed = Nimbel::JsonToValue(result.text.data(), result.text.size());
    if (!parsed.Ok()) {
        result.outcome = JsonFile::Outcome::Malformed;
        result.error = parsed.ErrorMessage();
        return result;
    }
    result.outcome = JsonFile::Outcome::Loaded;
    result.value = std::move(parsed.Value());
    return result;
}

/// The data folder (a canonical path) and the files read from it, kept by
/// resolved path. A kept file is used again only while its modification
/// time, size and inode are those it was read with, and only if that time lay
/// at least a second in the past when it was read: any later edit then changes
/// the time, however coarse the file system's clock, so an edit is always
/// served on the next request. Used by one thread at a time (the host core
/// calls its peers one at a time).
class DataFiles {
public:
    /// Files that cannot be read are logged to `core`'s sink.
    DataFiles(const HostCore& core, fs::path canonical)
        : core_(core), path_(std::move(canonical)) {}

    [[nodiscard]] const fs::path& Path() const noexcept { return path_; }

    /// `name` under the folder: missing unless it is a regular file whose
    /// resolved path lies inside the folder, so a symbolic link that leads
    /// out of it is never followed there. Unreadable, with the system's
    /// message, when the system fails for another reason than absence.
    [[nodiscard]] std::shared_ptr<const JsonFile> Read(const fs::path& name) const {
        static const auto missing = std::make_shared<const JsonFile>();
        std::error_code error;
        const fs::path resolved = fs::canonical(path_ / name, error);
        if (error) return MeansMissing(error.value()) ? missing : Unreadable(name, error.message());
        const fs::path inside = resolved.lexically_relative(path_);
        if (inside.empty() || *inside.begin() == "..") return missing;
        struct stat status {};
        if (::stat(resolved.c_str(), &status) != 0) {
            return MeansMissing(errno) ? missing : Unreadable(name, std::strerror(errno));
        }
        if (!S_ISREG(status.st_mode)) return missing;
        const std::string key = resolved.string();
        if (const auto kept = kept_.find(key); kept != kept_.end()) {
            if (kept->second.SameFile(status)) return kept->second.file;
            kept_.erase(kept);
        }
        std::string text;
        if (const int failure = ReadWholeFile(resolved, text); failure != 0) {
            return MeansMissing(failure) ? missing : Unreadable(name, std::strerror(failure));
        }
        auto file = std::make_shared<const JsonFile>(ParseJsonText(std::move(text)));
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        if (now.tv_sec - status.st_mtim.tv_sec >= 2 && file->outcome == JsonFile::Outcome::Loaded) {
            constexpr size_t kMaxKeptFiles = 256;
            if (kept_.size() >= kMaxKeptFiles) kept_.clear();
            kept_.emplace(key, Kept{status.st_mtim.tv_sec, status.st_mtim.tv_nsec, status.st_size,
                                    status.st_ino, file});
        }
        return file;
    }

private:
    struct Kept {
        time_t seconds;
        long nanoseconds;
        off_t size;
        ino_t inode;
        std::shared_ptr<const JsonFile> file;

        [[nodiscard]] bool SameFile(const struct stat& status) const noexcept {
            return status.st_mtim.tv_sec == seconds && status.st_mtim.tv_nsec == nanoseconds &&
                   status.st_size == size && status.st_ino == inode;
        }
    };

    [[nodiscard]] std::shared_ptr<const JsonFile> Unreadable(const fs::path& name,
                                                             const std::string& error) const {
        const std::string line = "plugin-host: " + name.string() + " cannot be read: " + error;
        core_.Log(Nimbel::kLogError, line.c_str());
        auto file = std::make_shared<JsonFile>();
        file->outcome = JsonFile::Outcome::Unreadable;
        file->error = error;
        return file;
    }

    const HostCore& core_;
    fs::path path_;
    mutable std::unordered_map<std::string, Kept> kept_;
};

// ---- Answers ----

enum class Delivery { Value, Stream };

/// 404 with `missingText` for a missing file, 500 naming the file and the
/// reader's message for one that is not JSON, 503 naming the file and the
/// system's message for one that could not be read, else the content as
/// delivered.
PeerAnswer AnswerFile(const JsonFile& file, Delivery delivery, const std::string& missingText,
                      const std::string& fileName) {
    switch (file.outcome) {
        case JsonFile::Outcome::Missing:
            return PeerAnswer::WithError(404, missingText);
        case JsonFile::Outcome::Malformed:
            return PeerAnswer::WithError(500, fileName + ": " + file.error);
        case JsonFile::Outcome::Unreadable:
            return PeerAnswer::WithError(503, fileName + " cannot be read: " + file.error);
        case JsonFile::Outcome::Loaded:
            break;
    }
    if (delivery == Delivery::Stream) return PeerAnswer::WithStream(file.text);
    return PeerAnswer::WithValue(file.value);
}

PeerAnswer MethodNotAllowed(const PeerRequest& request, const char* allowed) {
    return PeerAnswer::WithError(405, request.path + " answers " + allowed + " only");
}

PeerAnswer BadRequest(std::string text) {
    return PeerAnswer::WithError(400, std::move(text));
}

/// The arguments given by position, in order; named ones are not among them.
std::vector<const BindingProperty*> UnnamedArguments(const PeerRequest& request) {
    std::vector<const BindingProperty*> unnamed;
    for (const auto& [name, value] : request.arguments) {
        if (name.empty()) unnamed.push_back(&value);
    }
    return unnamed;
}

// ---- Game-data service ----

// The game-data documents and how each goes out: match lists and timelines
// are large, so they are JSON streams the plug-in reads in chunks; a game and
// the delta are small enough to answer as values.
struct GameDataDocument {
    const char* path;  ///< exact, or followed by a decimal id when `takesId`
    const char* file;  ///< under the data folder; with an id, the folder of <id>.json
    bool takesId;
    const char* missingText;  ///< followed by the id, if any
    Delivery delivery;
};

constexpr GameDataDocument kGameDataDocuments[] = {
    {"/kzo-acs/v1/matchlists/", "matchlists", true, "No match list for account", Delivery::Stream},
    {"/kzo-acs/v1/games/", "games", true, "No game", Delivery::Value},
    {"/kzo-acs/v1/gametimelines/", "gametimelines", true, "No timeline for game", Delivery::Stream},
    {"/kzo-acs/v1/delta", "delta.json", false, "No delta", Delivery::Value},
};

/// Only ids of digits reach the file system, so no path can leave its folder.
bool IsPlainDecimal(std::string_view id) {
    constexpr size_t kMaxDigits = 20;  // 2^64 - 1
    if (id.empty() || id.size() > kMaxDigits) return false;
    for (const char c : id) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

PeerAnswer AnswerGameData(const DataFiles& folder, const GameDataDocument& document,
                          const PeerRequest& request) {
    if (request.method != kGet) return MethodNotAllowed(request, "GET");
    if (!document.takesId) {
        return AnswerFile(*folder.Read(document.file), document.delivery, document.missingText,
                          document.file);
    }
    std::string_view id = request.path;
    id.remove_prefix(std::min(id.size(), std::string_view(document.path).size()));
    const std::string missingText = std::string(document.missingText) + " " + std::string(id);
    if (!IsPlainDecimal(id)) return PeerAnswer::WithError(404, missingText);
    const std::string fileName = std::string(document.file) + "/" + std::string(id) + ".json";
    return AnswerFile(*folder.Read(fileName), document.delivery, missingText, fileName);
}

// ---- Resources the host changes ----

/// Collections and structures nested in one another, the value itself the
/// first (a scalar has none). Recursive: values read from JSON nest at most a
/// thousand levels.
size_t ContainerLevels(const BindingProperty& value) {
    size_t inner = 0;
    if (value.Kind() == BindingPropertyKind::Collection) {
        for (const BindingProperty& element : value.Elements())
            inner = std::max(inner, ContainerLevels(element));
    } else if (value.Kind() == BindingPropertyKind::Structure) {
        for (const auto& member : value.Members())
            inner = std::max(inner, ContainerLevels(member.Value()));
    } else {
        return 0;
    }
    return inner + 1;
}

/// A resource that is its file's content until the host sets or deletes it,
/// and the host's value (or none) from then on.
///
/// It also remembers what the plug-in last learnt of it, from an event or
/// from its own read, so that an edit of the file can be sent on as an event:
/// the host and the plug-in then agree on the resource whichever way it
/// changed. A file nested too deep for its event counts as malformed, so that
/// the plug-in's read fails as well instead of seeing what no event carries.
class ChangeableResource {
public:
    ChangeableResource(const DataFiles& folder, std::string fileName)
        : folder_(folder), fileName_(std::move(fileName)), known_(Current()) {}

    [[nodiscard]] std::shared_ptr<const JsonFile> Read() const {
        if (!setByHost_) return Checked(folder_.Read(fileName_));
        auto result = std::make_shared<JsonFile>();
        if (hostValue_.has_value()) {
            result->outcome = JsonFile::Outcome::Loaded;
            result->value = *hostValue_;
        }
        return result;
    }

    /// Read, on the plug-in's behalf: what it reads is what it knows.
    [[nodiscard]] std::shared_ptr<const JsonFile> ReadForPlugin() {
        auto file = Read();
        if (file->outcome == JsonFile::Outcome::Loaded) known_ = file->value;
        if (file->outcome == JsonFile::Outcome::Missing) known_.reset();
        return file;
    }

    [[nodiscard]] std::optional<BindingProperty> Current() const {
        const auto file = Read();
        if (file->outcome != JsonFile::Outcome::Loaded) return std::nullopt;
        return file->value;
    }

    [[nodiscard]] const std::string& FileName() const { return fileName_; }

    void Set(BindingProperty value) {
        setByHost_ = true;
        hostValue_ = std::move(value);
        known_ = hostValue_;
    }

    void Delete() {
        setByHost_ = true;
        hostValue_.reset();
        known_.reset();
    }

    /// The event that tells the plug-in of an edit of the file it has not
    /// learnt yet, and takes it as learnt; none when there is no such edit,
    /// or while the file cannot be read or is not valid JSON.
    [[nodiscard]] std::optional<HostCore::ResourceEventType> TakeFileEdit() {
        if (setByHost_) return std::nullopt;
        const auto file = Read();
        if (file->outcome == JsonFile::Outcome::Loaded) {
            if (known_.has_value() && *known_ == file->value) return std::nullopt;
            const bool existed = known_.has_value();
            known_ = file->value;
            return existed ? HostCore::ResourceEventType::Update
                           : HostCore::ResourceEventType::Create;
        }
        if (file->outcome != JsonFile::Outcome::Missing || !known_.has_value()) return std::nullopt;
        known_.reset();
        return HostCore::ResourceEventType::Delete;
    }

    /// What the plug-in last learnt.
    [[nodiscard]] const std::optional<BindingProperty>& Known() const { return known_; }

private:
    [[nodiscard]] std::shared_ptr<const JsonFile> Checked(
        std::shared_ptr<const JsonFile> file) const {
        if (file->outcome != JsonFile::Outcome::Loaded || SamplePeers::FitsChangeEvent(file->value))
            return file;
        auto tooDeep = std::make_shared<JsonFile>();
        tooDeep->outcome = JsonFile::Outcome::Malformed;
        tooDeep->error = "nests deeper than " + std::to_string(SamplePeers::kMaxDocumentLevels) +
                         " levels, which its change event could not carry";
        return tooDeep;
    }

    const DataFiles& folder_;
    std::string fileName_;
    bool setByHost_ = false;
    std::optional<BindingProperty> hostValue_;
    std::optional<BindingProperty> known_;
};

PeerAnswer AnswerResource(ChangeableResource& resource, const std::string& missingText,
                          const PeerRequest& request) {
    if (request.method != kGet) return MethodNotAllowed(request, "GET");
    return AnswerFile(*resource.ReadForPlugin(), Delivery::Value, missingText, resource.FileName());
}

void SetAndPublish(HostCore& core, const char* uri, ChangeableResource& resource,
                   const BindingProperty& value) {
    const bool existed = resource.Known().has_value();
    resource.Set(value);
    core.PublishResourceEvent(
        uri, existed ? HostCore::ResourceEventType::Update : HostCore::ResourceEventType::Create,
        value);
}

void DeleteAndPublish(HostCore& core, const char* uri, ChangeableResource& resource) {
    const bool existed = resource.Known().has_value();
    resource.Delete();
    if (existed) core.PublishResourceEvent(uri, HostCore::ResourceEventType::Delete, {});
}

void PublishFileEdit(HostCore& core, const char* uri, ChangeableResource& resource) {
    const std::optional<HostCore::ResourceEventType> edit = resource.TakeFileEdit();
    if (!edit.has_value()) return;
    core.PublishResourceEvent(uri, *edit, resource.Known().value_or(BindingProperty{}));
}

// ---- Login plug-in's invoke ----

/// A platform service call the login plug-in relays, answered from a file as
/// {"typeName": ..., "body": <file>}.
struct ServiceCall {
    std::string_view destination;
    std::string_view method;
    const char* typeName;
    const char* file;
};

constexpr ServiceCall kServiceCalls[] = {
    {"playerStatsService", "getRecentGames", "com.nimbelworks.platform.statistics.RecentGames",
     "recent-games.json"},
};

/// The three positional arguments: destination, method and argument list.
struct InvokeArguments {
    std::string_view destination;
    std::string_view method;
};

bool ReadInvokeArguments(const PeerRequest& request, InvokeArguments& call, std::string& error) {
    const std::vector<const BindingProperty*> unnamed = UnnamedArguments(request);
    if (unnamed.size() != 3) {
        error = "invoke takes three unnamed arguments (destination, method, argument list); got " +
                std::to_string(unnamed.size());
        return false;
    }
    if (unnamed[0]->Kind() != BindingPropertyKind::String ||
        unnamed[1]->Kind() != BindingPropertyKind::String) {
        error = "invoke: the destination and the method must be strings";
        return false;
    }
    if (unnamed[2]->Kind() != BindingPropertyKind::Collection) {
        error = "invoke: the argument list must be a collection, not " +
                std::string(unnamed[2]->KindName());
        return false;
    }
    call.destination = unnamed[0]->GetString();
    call.method = unnamed[1]->GetString();
    return true;
}

PeerAnswer AnswerServiceCall(const DataFiles& folder, const ServiceCall& service) {
    const auto file = folder.Read(service.file);
    if (file->outcome != JsonFile::Outcome::Loaded) {
        return AnswerFile(*file, Delivery::Value,
                          std::string("No answer file for ") + std::string(service.method),
                          service.file);
    }
    BindingProperty answer;
    answer["typeName"] = service.typeName;
    answer["body"] = file->value;
    return PeerAnswer::WithValue(std::move(answer));
}

PeerAnswer AnswerInvoke(const DataFiles& folder, const PeerRequest& request) {
    if (request.method != kPost) return MethodNotAllowed(request, "POST");
    InvokeArguments call;
    std::string error;
    if (!ReadInvokeArguments(request, call, error)) return BadRequest(std::move(error));
    for (const ServiceCall& service : kServiceCalls) {
        if (service.destination == call.destination && service.method == call.method) {
            return AnswerServiceCall(folder, service);
        }
    }
    return PeerAnswer::WithError(404, "No method " + std::string(call.method) + " on destination " +
                                          std::string(call.destination));
}

// ---- Summoner plug-in ----

std::optional<uint64_t> ReadSummonerId(const BindingProperty& id) {
    if (id.Kind() == BindingPropertyKind::Unsigned) return id.GetUnsigned();
    if (id.Kind() == BindingPropertyKind::Signed && id.GetSigned() >= 0) {
        return static_cast<uint64_t>(id.GetSigned());
    }
    return std::nullopt;
}

/// The ids of the one positional argument; false with `error` when it is
/// missing, not a collection, or holds anything but non-negative integers.
bool ReadSummonerIds(const PeerRequest& request, std::vector<uint64_t>& ids, std::string& error) {
    const std::vector<const BindingProperty*> unnamed = UnnamedArguments(request);
    if (unnamed.size() != 1 || unnamed[0]->Kind() != BindingPropertyKind::Collection) {
        error = "summoner-names takes one unnamed argument, a collection of summoner ids";
        return false;
    }
    for (const BindingProperty& element : unnamed[0]->Elements()) {
        const std::optional<uint64_t> id = ReadSummonerId(element);
        if (!id.has_value()) {
            error = "summoner-names: a summoner id must be a non-negative integer, not " +
                    std::string(element.KindName());
            return false;
        }
        ids.push_back(*id);
    }
    return true;
}

/// One {"displayName"} per id, in the ids' order; an unknown id gets an empty
/// name so that the answer always has as many entries as the request.
BindingProperty NamesInIdOrder(const std::vector<uint64_t>& ids, const BindingProperty& names) {
    BindingProperty answer;
    answer.MakeCollection();
    answer.Reserve(ids.size());
    for (const uint64_t id : ids) {
        const BindingProperty* name = names.FindMember(std::to_string(id));
        answer.Append()["displayName"] = name != nullptr ? name->GetString() : std::string_view();
    }
    return answer;
}

PeerAnswer AnswerSummonerNames(const DataFiles& folder, const PeerRequest& request) {
    if (request.method != kGet) return MethodNotAllowed(request, "GET");
    std::vector<uint64_t> ids;
    std::string error;
    if (!ReadSummonerIds(request, ids, error)) return BadRequest(std::move(error));
    // Without a names file every name is unknown.
    const auto names = folder.Read("summoner-names.json");
    if (names->outcome != JsonFile::Outcome::Loaded && names->outcome != JsonFile::Outcome::Missing)
        return AnswerFile(*names, Delivery::Value, {}, "summoner-names.json");
    return PeerAnswer::WithValue(NamesInIdOrder(ids, names->value));
}

}  // namespace

// ---- SamplePeers ----

struct SamplePeers::State {
    State(const HostCore& core, fs::path dataFolder)
        : folder(core, std::move(dataFolder)),
          session(folder, "session.json"),
          configuration(folder, "config.json") {}

    DataFiles folder;
    ChangeableResource session;
    ChangeableResource configuration;
};

std::unique_ptr<SamplePeers> SamplePeers::Open(HostCore& core, const fs::path& dataFolder,
                                               std::string& error) {
    std::error_code statusError;
    const fs::file_status status = fs::status(dataFolder, statusError);
    if (!fs::exists(status)) {
        error = "No sample data folder at " + dataFolder.string();
        return nullptr;
    }
    if (!fs::is_directory(status)) {
        error = "The sample data path " + dataFolder.string() + " is not a folder";
        return nullptr;
    }
    const fs::path canonical = fs::canonical(dataFolder, statusError);
    if (statusError) {
        error = "The sample data folder " + dataFolder.string() +
                " cannot be used: " + statusError.message();
        return nullptr;
    }
    auto peers =
        std::make_unique<SamplePeers>(OpenKey{}, core, std::make_shared<State>(core, canonical));
    peers->RegisterPeers();
    return peers;
}

SamplePeers::SamplePeers(OpenKey, HostCore& core, std::shared_ptr<State> state)
    : core_(core), state_(std::move(state)) {}

size_t SamplePeers::ArgumentsTaken(std::string_view path) noexcept {
    if (path == kInvokePath) return 3;
    if (path == kSummonerNamesPath) return 1;
    return 0;
}

void SamplePeers::RegisterPeers() {
    const std::shared_ptr<State> state = state_;
    for (const GameDataDocument& document : kGameDataDocuments) {
        std::string pattern = document.path;
        if (document.takesId) pattern += "*";
        core_.AddPeer(std::move(pattern), [state, &document](const PeerRequest& request) {
            return AnswerGameData(state->folder, document, request);
        });
    }
    core_.AddPeer(kSessionPath, [state](const PeerRequest& request) {
        return AnswerResource(state->session, "No session", request);
    });
    core_.AddPeer(kInvokePath, [state](const PeerRequest& request) {
        return AnswerInvoke(state->folder, request);
    });
    core_.AddPeer(kSummonerNamesPath, [state](const PeerRequest& request) {
        return AnswerSummonerNames(state->folder, request);
    });
    core_.AddPeer(kConfigurationPath, [state](const PeerRequest& request) {
        return AnswerResource(state->configuration, "No configuration NewMatchHistory", request);
    });
}

bool SamplePeers::FitsChangeEvent(const BindingProperty& value) {
    return ContainerLevels(value) <= kMaxDocumentLevels;
}

void SamplePeers::PublishFileEdits() {
    PublishFileEdit(core_, kSessionPath, state_->session);
    PublishFileEdit(core_, kConfigurationPath, state_->configuration);
}

void SamplePeers::SetSession(const BindingProperty& session) {
    SetAndPublish(core_, kSessionPath, state_->session, session);
}

void SamplePeers::DeleteSession() {
    DeleteAndPublish(core_, kSessionPath, state_->session);
}

void SamplePeers::SetConfiguration(const BindingProperty& configuration) {
    SetAndPublish(core_, kConfigurationPath, state_->configuration, configuration);
}

void SamplePeers::DeleteConfiguration() {
    DeleteAndPublish(core_, kConfigurationPath, state_->configuration);
}

std::optional<BindingProperty> SamplePeers::Session() const {
    return state_->session.Current();
}

std::optional<BindingProperty> SamplePeers::Configuration() const {
    return state_->configuration.Current();
}

const fs::path& SamplePeers::DataFolder() const noexcept {
    return state_->folder.Path();
}

}  // namespace KzoHost
