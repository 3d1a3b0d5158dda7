#include "plugin/resource_observer_base.h"

#include "plugin/resource_path.h"

namespace Nimbel {

void ResourceObserverBase::Subscribe(const std::string&) {}
void ResourceObserverBase::Unsubscribe(const std::string&) {}

void ResourceObserverBase::AddResourceHandler(const std::string& path, ResourceHandler handler) {
    const std::lock_guard lock(m_resourceLock);
    if (path.find('*') != std::string::npos) {
        m_wildcardHandlers.emplace_back(path, std::move(handler));
    } else {
        m_exactHandlers.insert_or_assign(path, std::move(handler));
    }
}

void ResourceObserverBase::ClearResourceHandlers() {
    const std::lock_guard lock(m_resourceLock);
    m_exactHandlers.clear();
    m_wildcardHandlers.clear();
}

std::vector<ResourceHandler> ResourceObserverBase::HandlersFor(std::string_view path) const {
    std::vector<ResourceHandler> handlers;
    const std::lock_guard lock(m_resourceLock);
    if (const auto exact = m_exactHandlers.find(path); exact != m_exactHandlers.end())
        handlers.push_back(exact->second);
    for (const auto& [pattern, handler] : m_wildcardHandlers) {
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
