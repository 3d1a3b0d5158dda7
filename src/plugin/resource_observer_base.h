// ResourceObserverBase: the tables of handlers for other plug-ins' resources,
// and the dispatch of one resource change to the handlers of its path.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "diagnostics/text_hash.h"
#include "plugin/runtime_records.h"

namespace Nimbel {

class BindingTypeRegistry;

/// Called with each change of an observed resource.
using ResourceHandler = std::function<void(const Resource&)>;

/// Holds the module's type registry (not owned) and its resource handlers: one
/// per exact path, and a list of (pattern, handler) for paths with "*". Its
/// two virtual operations do nothing here; the event subscriber counts them.
///
/// The tables are guarded by their own lock, held only to copy or change
/// them: handlers run without it, so a handler may observe further resources.
class ResourceObserverBase {
public:
    ResourceObserverBase() = default;
    ResourceObserverBase(const ResourceObserverBase&) = delete;
    ResourceObserverBase& operator=(const ResourceObserverBase&) = delete;

    /// Counts a subscription to a resource path (slot 0).
    virtual void Subscribe(const std::string& path);
    /// Counts one down (slot 1).
    virtual void Unsubscribe(const std::string& path);

    /// The module's type registry; null until the module sets it.
    [[nodiscard]] BindingTypeRegistry* TypeRegistry() const noexcept { return typeRegistry_; }

    /// Calls the exact-path handler of the resource's uri (with "/" put in
    /// front when it lacks one), then every wildcard handler whose pattern
    /// fits that path, in registration order.
    void DispatchResource(const Resource& resource) const;

protected:
    ~ResourceObserverBase() = default;

    void SetTypeRegistry(BindingTypeRegistry* registry) noexcept { typeRegistry_ = registry; }
    /// A path with "*" appends a wildcard handler; any other path sets its
    /// exact handler, replacing an earlier one.
    void AddResourceHandler(const std::string& path, ResourceHandler handler);
    void ClearResourceHandlers();

private:
    [[nodiscard]] std::vector<ResourceHandler> HandlersFor(std::string_view path) const;

    BindingTypeRegistry* typeRegistry_ = nullptr;
    mutable std::mutex resourceLock_;
    // Paths are looked up without a copy.
    std::unordered_map<std::string, ResourceHandler, TextHash, std::equal_to<>> exactHandlers_;
    std::vector<std::pair<std::string, ResourceHandler>> wildcardHandlers_;
};

}  // namespace Nimbel
