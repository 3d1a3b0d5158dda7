#include "plugin/resource_observer_base.h"

#include "plugin/resource_path.h"

namespace Nimbel {

void ResourceObserverBase::Subscribe(const std::string&) {}
void ResourceObserverBase::Unsubscribe(const std::string&) {}

void ResourceObserverBase::AddResourceHandler(const std::string& path, ResourceHandler handler) {
    const std::lock_guard lock(resourceLock_);
    if (path.find('*') != std::string::npos) {
        wildcardHandlers_.emplace_back(path, std::move(handler));
    } else {
        exactHandlers_.insert_or_assign(path, std::move(handler));
    }
}

void ResourceObserverBase::ClearResourceHandlers() {
    const std::lock_guard lock(resourceLock_);
    exactHandlers_.clear();
    wildcardHandlers_.clear();
}

std::vector<ResourceHandler> ResourceObserverBase::HandlersFor(std::string_view path) const {
    std::vector<ResourceHandler> handlers;
    const std::lock_guard lock(resourceLock_);
    if (const auto exact = exactHandlers_.find(path); exact != exactHandlers_.end())
        handlers.push_back(exact->second);
    for (const auto& [pattern, handler] : wildcardHandlers_) {
        if (WildcardPathMatches(pattern, path)) handlers.push_back(handler);
    }
    return handlers;
}

void ResourceObserverBase::DispatchResource(const Resource& resource) const {
    const bool rooted = !resource.uri.empty() && resource.uri.front() == '/';
    const std::string path = rooted ? resource.uri : "/" + resource.uri;
    for (const ResourceHandler& handler : HandlersFor(path)) handler(resource);
}

}  // namespace Nimbel
