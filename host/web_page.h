// The match-history page of the reference host: what a person opens in a
// browser to see the plug-in at work. Its own files are built into the host;
// the chart library comes from the system's Debian package, read when asked
// for, so that the host builds and serves the rest without it.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace KzoHost {

/// A file of the page as HTTP answers it.
struct WebAnswer {
    int status = 200;
    std::string contentType;
    std::string body;
};

/// Serves GET of a fixed set of paths: "/" (the page), "/web/<file>" (its
/// script and style sheet) and "/lib/<file>" (the chart library). Every
/// other path is not the page's, so plug-in and peer paths stay theirs.
class WebPage {
public:
    /// Where Debian's libjs-dygraphs installs the chart library.
    static constexpr const char* kChartLibraryFolder = "/usr/share/javascript/dygraphs";

    explicit WebPage(std::filesystem::path chartLibraryFolder = kChartLibraryFolder);

    /// Whether `path` (without a query) is one of the page's paths.
    [[nodiscard]] bool Serves(std::string_view path) const noexcept;

    /// The answer to GET `path`: the file with its media type, or 404 with a
    /// JSON error when it is not the page's or, for the chart library, when
    /// the library's file cannot be read (the message says which package
    /// brings it).
    [[nodiscard]] WebAnswer Get(std::string_view path) const;

private:
    std::filesystem::path chartLibraryFolder_;
};

}  // namespace KzoHost
