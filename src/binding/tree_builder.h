// Builds one value tree from a stream of reading events, as a DOM parser
// does: the codecs' readers feed it, and each container is stored once, at
// its exact size, when it closes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <new>
#include <span>
#include <string_view>
#include <vector>

#include "binding/binding_property.h"
#include "binding/pending_node.h"
#include "diagnostics/allocator.h"

namespace Nimbel {

/// How a later value under a structure's repeated name combines with the
/// earlier one. In both, a later empty value leaves the earlier as it is, a
/// later structure onto a structure combines member by member (recursively),
/// and any other later value replaces the earlier.
enum class RepeatedNameRule : uint8_t {
    /// A later collection onto a collection appends its elements.
    ExtendCollections,
    /// A later collection onto a collection combines element by element from
    /// index 0; elements past its count remain.
    OverlayCollections,
};

/// Receives values in document order: into the root first, then into the
/// innermost open container (a new element of a collection, or the member
/// named by the last Key of a structure). The nodes of open containers wait
/// on a stack in arrival order; closing a container moves them, bit for bit,
/// into storage of their exact count, and combines repeated member names by
/// the builder's rule, so that the finished tree is the one that assigning
/// each value into its place in turn would have made.
///
/// Texts are interned through a small cache of entries met before, which
/// spares hashing the member names and short words that repeat through a
/// document; the cache holds one reference to each entry until the builder
/// is destroyed.
///
/// The root must be empty, must outlive the builder and must change only
/// through it while it lives. If the builder is destroyed with containers
/// still open, the root stays empty and every waiting node is released.
/// The callers bound the nesting depth and the node counts.
class TreeBuilder {
public:
    TreeBuilder(BindingProperty& root, RepeatedNameRule rule);
    TreeBuilder(const TreeBuilder&) = delete;
    TreeBuilder& operator=(const TreeBuilder&) = delete;
    ~TreeBuilder();

    /// An empty value (JSON null, MessagePack nil).
    void Empty() { static_cast<void>(Place()); }
    void Bool(bool value) {
        BindingProperty& node = Place();
        node.payload_.boolean = value;
        node.kind_ = BindingPropertyKind::Bool;
    }
    void Signed(int64_t value) {
        BindingProperty& node = Place();
        node.payload_.signedValue = value;
        node.kind_ = BindingPropertyKind::Signed;
    }
    void Unsigned(uint64_t value) {
        BindingProperty& node = Place();
        node.payload_.unsignedValue = value;
        node.kind_ = BindingPropertyKind::Unsigned;
    }
    void Float(double value) {
        BindingProperty& node = Place();
        node.payload_.floatValue = value;
        node.kind_ = BindingPropertyKind::Float;
    }
    /// A text, cut at its first NUL.
    void String(std::string_view text);
    void Blob(std::span<const uint8_t> bytes);
    /// The name of the next member of the innermost open structure.
    void Key(std::string_view name);
    void OpenCollection();
    void OpenStructure();
    /// Closes the innermost open container. False when combining repeated
    /// names would pass BindingProperty::kMaxCount nodes; nothing is stored
    /// then.
    [[nodiscard]] bool Close();

    /// Open containers.
    [[nodiscard]] size_t Depth() const noexcept { return frames_.size(); }
    /// Whether the innermost open container is a collection (false at the root).
    [[nodiscard]] bool InCollection() const noexcept {
        return !frames_.empty() && frames_.back().isCollection;
    }
    /// Nodes received so far by the innermost open container; for a
    /// structure, its members and the repeated names among them.
    [[nodiscard]] size_t OpenCount() const noexcept {
        return frames_.empty() ? 0 : size_ - frames_.back().start;
    }
    /// Combines the repeated names of the innermost open structure now; then
    /// OpenCount is its member count. False as Close.
    [[nodiscard]] bool CombineRepeatedNames();
    /// Whether the innermost open structure has a member of that name.
    [[nodiscard]] bool HasOpenMember(std::string_view name) const noexcept;

private:
    static constexpr size_t kRootTarget = SIZE_MAX;
    static constexpr size_t kCachedTexts = 512;
    static constexpr size_t kLongestCachedText = 32;

    struct Frame {
        size_t start;   // the container's first node on the stack
        size_t target;  // the stack index of the container's own node, or kRootTarget
        bool isCollection;
    };

    /// The node the next value goes into: the root, a new element, or the
    /// member named by the last key.
    [[nodiscard]] BindingProperty& Place() {
        if (frames_.empty()) return root_;
        if (frames_.back().isCollection) return Push(nullptr).value;
        return nodes_[size_ - 1].value;
    }
    /// Appends an empty node named `name` (null in a collection) to the stack.
    [[nodiscard]] internal::PendingNode& Push(const InternedString* name) {
        if (size_ == capacity_) GrowStack();
        auto* node = new (&nodes_[size_])
            internal::PendingNode{name, BindingProperty(BindingProperty::ChildTag{}, Arena())};
        ++size_;
        return *node;
    }
    void GrowStack();
    /// Destroys the stack's nodes from `start` on, releasing their names.
    void DestroyNodes(size_t start) noexcept;
    [[nodiscard]] std::span<internal::PendingNode> NodesFrom(size_t start) noexcept {
        return {nodes_ + start, size_ - start};
    }
    [[nodiscard]] BindingProperty& TargetOf(const Frame& frame) noexcept;
    void Open(bool isCollection);
    [[nodiscard]] const InternedString& Intern(std::string_view text);
    [[nodiscard]] bool HasRepeatedNames(std::span<const internal::PendingNode> nodes);
    [[nodiscard]] bool CombineRepeated(const Frame& frame);
    [[nodiscard]] bool Combine(BindingProperty& earlier, BindingProperty& later);
    [[nodiscard]] bool CombineStructures(BindingProperty& earlier, BindingProperty& later);
    [[nodiscard]] bool CombineCollections(BindingProperty& earlier, BindingProperty& later);
    static void Take(BindingProperty& into, BindingProperty& from) noexcept;

    /// The root's arena, created at the first node that needs storage and
    /// kept here, so that placing a node asks the root only once.
    [[nodiscard]] PropertyArena& Arena() {
        if (arena_ == nullptr) arena_ = &root_.EnsureArena();
        return *arena_;
    }

    BindingProperty& root_;
    PropertyArena* arena_ = nullptr;
    RepeatedNameRule rule_;
    // The waiting nodes. They grow without running the nodes' constructors,
    // moving bit for bit as nodes do.
    internal::PendingNode* nodes_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
    std::vector<Frame, CountingAllocator<Frame>> frames_;
    /// A text met before: its first and last 8 bytes (fewer for shorter
    /// texts), which identify texts of up to 16 bytes, its length and entry.
    /// A text met again since it was cached keeps its slot against the next
    /// newcomer, so that one-off texts do not push out the names that repeat.
    struct CachedText {
        uint64_t head = 0;
        uint64_t tail = 0;
        uint32_t length = 0;
        bool metAgain = false;
        const InternedString* entry = nullptr;
    };
    std::array<CachedText, kCachedTexts> cache_{};
};

}  // namespace Nimbel
