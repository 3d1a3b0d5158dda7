// What a plug-in library does when it is loaded into the core's process and
// when it is unloaded, before and after any call from the core.
#pragma once

namespace Nimbel {

/// Construct one static instance per plug-in library. Loading registers the
/// trace providers, writes the "Main thread" trace event and registers the
/// log group LOC; unloading unregisters the trace providers.
class LibraryLifetime {
public:
    LibraryLifetime() noexcept;
    ~LibraryLifetime();
    LibraryLifetime(const LibraryLifetime&) = delete;
    LibraryLifetime& operator=(const LibraryLifetime&) = delete;
};

}  // namespace Nimbel
