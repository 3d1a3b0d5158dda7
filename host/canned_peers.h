// Peers played from a folder of canned answers, for any plug-in: the file
// DIR/<METHOD>/<path>.json answers a request of that method for that path,
// e.g. DIR/GET/greeting-peer/v1/greeting.json answers
// GET /greeting-peer/v1/greeting (the query is not part of the name).
//
// A file holds one JSON object with at most two members:
//   {"status": 200, "body": {"text": "Hello"}}
// "status" (default 200) is an integer from 100 to 599; "body" (default null)
// is any JSON value. A status of 400 or more is answered as an error whose
// text is the body's "message" when the body is an object with a text
// "message", else the body as compact JSON. A 204 or 304 has no body: one in
// the file is not sent.
//
// A path that is not absolute, has an empty, "." or ".." segment, or holds a
// NUL or a backslash is refused with 400; so is a file whose resolved path
// lies outside the folder (a symbolic link out of it). A request with no
// file gets the core's own answer for a path no peer serves (404 "No plug-in
// serves <path>"); a file that is not such an object is answered 500 with a
// message naming the file. Files are read at every request, so edits show up
// on the next one.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "host/host_core.h"
#include "host/peer.h"

namespace KzoHost {

/// The file of DIR that answers `method` (1 DELETE ... 7 PUT) for `path`,
/// relative to DIR: "<METHOD>/<path without its leading slash>.json". None,
/// with `error` set, for a method without a word or a path refused above.
[[nodiscard]] std::optional<std::filesystem::path> CannedAnswerFile(KzoWord method,
                                                                    std::string_view path,
                                                                    std::string& error);

/// The answer a canned file's text stands for; `fileName` names it in errors.
[[nodiscard]] PeerAnswer ReadCannedAnswer(std::string_view text, const std::string& fileName);

class CannedPeers {
public:
    /// Makes the folder answer, through `core`, every request that no peer
    /// registered for the exact path or a longer prefix takes. False, with
    /// `error` set, when the folder does not exist or is not a folder. The
    /// registered handler keeps its own copy of the folder's path.
    [[nodiscard]] static bool Register(HostCore& core, const std::filesystem::path& folder,
                                       std::string& error);

    explicit CannedPeers(std::filesystem::path canonicalFolder)
        : folder_(std::move(canonicalFolder)) {}

    /// The answer to `request` from the folder.
    [[nodiscard]] PeerAnswer Answer(const PeerRequest& request) const;

    [[nodiscard]] const std::filesystem::path& Folder() const noexcept { return folder_; }

private:
    std::filesystem::path folder_;
};

}  // namespace KzoHost
