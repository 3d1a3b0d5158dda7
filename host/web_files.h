// The files of the host's web page, built into the program (host/web is turned
// into byte arrays at build time), so that the page needs nothing on disk.
#pragma once

#include <span>
#include <string_view>

namespace KzoHost {

struct EmbeddedFile {
    std::string_view name;   ///< its path below host/web, such as "app.js"
    std::string_view bytes;  ///< its content, exactly as in the file
};

/// Every file of host/web as it was when the host was built; the views stay
/// valid for the life of the program.
[[nodiscard]] std::span<const EmbeddedFile> EmbeddedWebFiles() noexcept;

}  // namespace KzoHost
