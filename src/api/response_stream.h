// A response body that a handler produces piece by piece instead of as one
// value. The response record hands it to the core, which reads it through the
// record's read function and ends it through the close function.
#pragma once

#include <cstdint>

namespace Nimbel {

class ResponseStream {
public:
    virtual ~ResponseStream() = default;

    /// Fills buffer[0..size) and sets `size` to the bytes written and `more`
    /// to 1 while bytes remain. False when the stream cannot be read.
    [[nodiscard]] virtual bool Read(uint8_t* buffer, uint32_t& size, uint8_t& more) = 0;
    /// The number of bytes the whole stream will deliver, as far as known.
    [[nodiscard]] virtual uint64_t ExpectedSize() const = 0;
};

}  // namespace Nimbel
