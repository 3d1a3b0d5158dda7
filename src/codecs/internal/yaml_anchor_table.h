// The anchors of one YAML document: what each anchor name stands for, so that
// an alias can be resolved after its node has been built.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "codecs/internal/value_path.h"
#include "diagnostics/keyed_hash.h"

namespace Nimbel::internal {

/// What an anchor names: the text of an anchored mapping key, or the path to
/// the anchored node in the output value (paths, because nodes move as the
/// tree grows).
struct YamlAnchor {
    enum class Kind : uint8_t { KeyText, Node };

    Kind kind = Kind::Node;
    std::string keyText;  ///< the key's text (KeyText)
    ValuePath path;       ///< where the node is (Node)
    /// The anchored node, or the mapping of an anchored key, is still being
    /// built; set and cleared by the reader.
    bool open = false;
};

/// Anchor names to anchors, placed by their KeyedHash so that no choice of
/// names in a document can crowd one bucket, starting with 8 buckets and a
/// maximum load factor of 1. A name is defined at most once. Anchors are owned
/// by the table and never move: the anchor returned by Define stays valid for
/// the table's lifetime.
class YamlAnchorTable {
public:
    YamlAnchorTable();

    /// Stores `anchor` under `name` and returns the stored anchor; null,
    /// storing nothing, when the name is already defined. Throws
    /// std::bad_alloc.
    [[nodiscard]] YamlAnchor* Define(std::string_view name, YamlAnchor&& anchor);
    /// The anchor of that name, or null.
    [[nodiscard]] const YamlAnchor* Find(std::string_view name) const;

private:
    std::unordered_map<std::string, YamlAnchor, KeyedTextHash, std::equal_to<>> anchors_;
};

}  // namespace Nimbel::internal
