// OwnedResponse: the owner of a response record that someone else fills (the
// core, a plug-in's handler, a peer), so that its stream is closed and its
// release function called exactly once, on every path.
#pragma once

#include <utility>

#include "abi/core_abi.h"

namespace Nimbel {

/// Holds a CoreResponse record, value-initialised, for a filler to fill
/// through Record(). When destroyed, reset or assigned over, it closes the
/// record's stream (when it has one) and then calls the record's release
/// function (when it has one) with the record's address. Move-only: a
/// moved-from owner holds an empty record, so the filler's functions run once.
class OwnedResponse {
public:
    OwnedResponse() noexcept = default;
    OwnedResponse(OwnedResponse&& other) noexcept
        : response_(std::exchange(other.response_, CoreResponse{})) {}
    OwnedResponse& operator=(OwnedResponse&& other) noexcept {
        if (this != &other) {
            Reset();
            response_ = std::exchange(other.response_, CoreResponse{});
        }
        return *this;
    }
    OwnedResponse(const OwnedResponse&) = delete;
    OwnedResponse& operator=(const OwnedResponse&) = delete;
    ~OwnedResponse() { Reset(); }

    /// The record: its address goes to the filler, its fields are read here.
    [[nodiscard]] CoreResponse& Record() noexcept { return response_; }
    [[nodiscard]] const CoreResponse& Record() const noexcept { return response_; }
    [[nodiscard]] CoreResponse* operator->() noexcept { return &response_; }
    [[nodiscard]] const CoreResponse* operator->() const noexcept { return &response_; }

    /// Closes the stream now, once; the record is released later.
    void CloseStream() noexcept {
        const CoreStreamCloseFn close = response_.streamClose;  // a packed field: copied
        response_.streamClose = nullptr;
        if (close != nullptr) close(response_.stream);
    }

    /// Closes the stream, releases the record and leaves it empty, ready to be
    /// filled again.
    void Reset() noexcept {
        CloseStream();
        const CoreResponseReleaseFn release = response_.release;
        if (release != nullptr) release(&response_);
        response_ = CoreResponse{};
    }

private:
    alignas(KzoWord) CoreResponse response_{};
};

}  // namespace Nimbel
