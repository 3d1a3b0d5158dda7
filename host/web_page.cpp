#include "host/web_page.h"

#include <array>
#include <fstream>
#include <iterator>
#include <system_error>
#include <utility>

#include "host/plugin_session.h"
#include "host/web_files.h"

namespace KzoHost {
namespace {

constexpr std::string_view kPagePath = "/";
constexpr std::string_view kPageFile = "index.html";
constexpr std::string_view kOwnPrefix = "/web/";
constexpr std::string_view kLibraryPrefix = "/lib/";
/// The chart library's files the page loads, and their source maps for a
/// browser's developer tools; nothing else of the folder is served, so no
/// request can name another file of the system.
constexpr std::array<std::string_view, 4> kLibraryFiles = {
    "dygraph.min.js", "dygraph.min.css", "dygraph.min.js.map", "dygraph.min.css.map"};
/// Far above the library's size; a larger file is not what the package installs.
constexpr std::uintmax_t kMaxLibraryFileBytes = std::uintmax_t{16} * 1024 * 1024;

[[nodiscard]] std::string_view MediaTypeOf(std::string_view name) noexcept {
    if (name.ends_with(".html")) return "text/html; charset=utf-8";
    if (name.ends_with(".js")) return "text/javascript; charset=utf-8";
    if (name.ends_with(".css")) return "text/css; charset=utf-8";
    if (name.ends_with(".png")) return "image/png";
    if (name.ends_with(".map")) return "application/json";
    return "application/octet-stream";
}

/// The embedded file named `name`; null when there is none.
[[nodiscard]] const EmbeddedFile* FindOwnFile(std::string_view name) noexcept {
    for (const EmbeddedFile& file : EmbeddedWebFiles()) {
        if (file.name == name) return &file;
    }
    return nullptr;
}

/// The name below "/lib/" when `path` is one of the library's served files.
[[nodiscard]] std::string_view LibraryFileOf(std::string_view path) noexcept {
    if (!path.starts_with(kLibraryPrefix)) return {};
    const std::string_view name = path.substr(kLibraryPrefix.size());
    for (const std::string_view file : kLibraryFiles) {
        if (name == file) return file;
    }
    return {};
}

[[nodiscard]] WebAnswer NotFound(std::string_view message) {
    return WebAnswer{404, "application/json", ErrorJson(404, message)};
}

/// The whole of a regular file, or nothing with `why` set.
[[nodiscard]] bool ReadWholeFile(const std::filesystem::path& path, std::string& bytes,
                                 std::string& why) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        why = "is missing";
        return false;
    }
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size > kMaxLibraryFileBytes) {
        why = error ? "cannot be sized: " + error.message() : "is larger than expected";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad() || !in.is_open()) {
        why = "cannot be read";
        return false;
    }
    return true;
}

}  // namespace

WebPage::WebPage(std::filesystem::path chartLibraryFolder)
    : chartLibraryFolder_(std::move(chartLibraryFolder)) {}

bool WebPage::Serves(std::string_view path) const noexcept {
    if (path == kPagePath) return true;
    if (path.starts_with(kOwnPrefix)) {
        const std::string_view name = path.substr(kOwnPrefix.size());
        return name != kPageFile && FindOwnFile(name) != nullptr;
    }
    return !LibraryFileOf(path).empty();
}

WebAnswer WebPage::Get(std::string_view path) const {
    if (!Serves(path)) return NotFound("Not a file of the page: " + std::string(path));
    if (const std::string_view library = LibraryFileOf(path); !library.empty()) {
        const std::filesystem::path file = chartLibraryFolder_ / library;
        WebAnswer answer{200, std::string(MediaTypeOf(library)), {}};
        std::string why;
        if (ReadWholeFile(file, answer.body, why)) return answer;
        return NotFound("The chart library " + file.string() + " " + why +
                        "; it comes with the Debian package libjs-dygraphs "
                        "(bash scripts/install-deps.sh installs it)");
    }
    const std::string_view name = path == kPagePath ? kPageFile : path.substr(kOwnPrefix.size());
    const EmbeddedFile* own = FindOwnFile(name);
    if (own == nullptr)
        return NotFound("The page's file " + std::string(name) + " was not built in");
    return WebAnswer{200, std::string(MediaTypeOf(name)), std::string(own->bytes)};
}

}  // namespace KzoHost
