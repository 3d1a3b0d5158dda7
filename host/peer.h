// The peer plug-ins a reference host plays: what they receive from a plug-in's
// outbound request, and how they may answer it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "abi/core_abi.h"
#include "binding/binding_property.h"

namespace KzoHost {

/// A request as a peer sees it: the path without its query, the typed
/// arguments converted to values (name empty for an argument given by
/// position), and the body bytes.
struct PeerRequest {
    KzoWord method = 0;
    std::string path;
    std::string query;
    std::vector<std::pair<std::string, Nimbel::BindingProperty>> arguments;
    std::string contentType;
    std::string body;
};

/// A peer's answer: a value, an error (status and text), or a JSON text
/// delivered through a stream in chunks.
struct PeerAnswer {
    uint32_t status = 200;
    Nimbel::BindingProperty value;
    std::optional<std::string> errorText;
    std::optional<std::string> streamedBody;
    /// Bytes each stream read delivers, in order; the last size repeats.
    /// Empty: as much as the reader asks for.
    std::vector<uint32_t> chunkSizes;
    /// The stream reports a read error after its first chunk.
    bool streamFails = false;
    /// The body size the stream announces; its true size when absent.
    std::optional<uint32_t> announcedSize;

    [[nodiscard]] static PeerAnswer WithValue(Nimbel::BindingProperty value);
    [[nodiscard]] static PeerAnswer WithError(uint32_t status, std::string text);
    [[nodiscard]] static PeerAnswer WithStream(std::string json,
                                               std::vector<uint32_t> chunkSizes = {});
    /// 404 "No plug-in serves <path>": what the core answers a request no
    /// peer takes.
    [[nodiscard]] static PeerAnswer NoPeerServes(const std::string& path);
};

using PeerHandler = std::function<PeerAnswer(const PeerRequest&)>;

}  // namespace KzoHost
