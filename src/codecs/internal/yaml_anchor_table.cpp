// The anchor table over a standard hash map, whose nodes never move.
#include "codecs/internal/yaml_anchor_table.h"

#include <utility>

namespace Nimbel::internal {

YamlAnchorTable::YamlAnchorTable() : anchors_(8) {
    anchors_.max_load_factor(1.0f);
}

YamlAnchor* YamlAnchorTable::Define(std::string_view name, YamlAnchor&& anchor) {
    if (anchors_.find(name) != anchors_.end()) return nullptr;
    return &anchors_.emplace(std::string(name), std::move(anchor)).first->second;
}

const YamlAnchor* YamlAnchorTable::Find(std::string_view name) const {
    const auto entry = anchors_.find(name);
    return entry != anchors_.end() ? &entry->second : nullptr;
}

}  // namespace Nimbel::internal
