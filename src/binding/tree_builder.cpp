// TreeBuilder: the stack of waiting nodes, the exact-size stores at closing,
// the combining of repeated member names, and the cache of interned texts.
#include "binding/tree_builder.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <unordered_map>
#include <utility>

#include "binding/internal/element_array.h"
#include "binding/internal/member_map.h"
#include "binding/property_arena.h"

namespace Nimbel {
namespace {

// Structures of at most this many members are searched for a repeated name
// pair by pair; larger ones by marking the names met.
constexpr size_t kComparedPairwise = 8;

constexpr size_t kFirstStackCapacity = 64;

// The first and last 8 bytes of a text of 1 to 32 bytes (fewer, zero-filled,
// for shorter texts): with the length they identify a text of up to 16 bytes.
struct TextEnds {
    uint64_t head = 0;
    uint64_t tail = 0;
};

[[nodiscard]] TextEnds EndsOf(std::string_view text) noexcept {
    TextEnds ends;
    if (text.size() >= 8) {
        std::memcpy(&ends.head, text.data(), 8);
        std::memcpy(&ends.tail, text.data() + text.size() - 8, 8);
    } else if (text.size() >= 4) {
        uint32_t first = 0;
        uint32_t last = 0;
        std::memcpy(&first, text.data(), 4);
        std::memcpy(&last, text.data() + text.size() - 4, 4);
        ends.head = first;
        ends.tail = last;
    } else {
        for (const char c : text) ends.head = (ends.head << 8) | static_cast<unsigned char>(c);
    }
    return ends;
}

[[nodiscard]] size_t CacheSlotOf(const TextEnds& ends, size_t length, size_t slots) noexcept {
    const uint64_t mixed =
        (ends.head * 0x9E3779B97F4A7C15u) ^ ((ends.tail + length) * 0xC2B2AE3D27D4EB4Fu);
    return static_cast<size_t>(mixed >> 32) & (slots - 1);
}

}  // namespace

TreeBuilder::TreeBuilder(BindingProperty& root, RepeatedNameRule rule) : root_(root), rule_(rule) {
    frames_.reserve(32);
}

TreeBuilder::~TreeBuilder() {
    DestroyNodes(0);
    if (nodes_ != nullptr) Nimbel::Free(nodes_);
    for (const CachedText& cached : cache_) {
        if (cached.entry != nullptr) Arena().Release(*cached.entry);
    }
}

// ---- Values -----------------------------------------------------------------

void TreeBuilder::String(std::string_view text) {
    BindingProperty& node = Place();
    node.payload_.string = &Intern(text);
    node.kind_ = BindingPropertyKind::String;
}

void TreeBuilder::Blob(std::span<const uint8_t> bytes) {
    Place().AssignBytes(BindingBytes(bytes.begin(), bytes.end()));
}

void TreeBuilder::Key(std::string_view name) {
    // The node is pushed first, so that a failure to grow holds no reference.
    internal::PendingNode& node = Push(nullptr);
    node.name = &Intern(name);
}

// ---- Containers -------------------------------------------------------------

void TreeBuilder::OpenCollection() {
    Open(true);
}

void TreeBuilder::OpenStructure() {
    Open(false);
}

void TreeBuilder::Open(bool isCollection) {
    size_t target = kRootTarget;
    if (!frames_.empty()) {
        static_cast<void>(Place());
        target = size_ - 1;
    }
    frames_.push_back(Frame{size_, target, isCollection});
}

bool TreeBuilder::Close() {
    const Frame frame = frames_.back();
    if (!frame.isCollection && !CombineRepeated(frame)) return false;
    const std::span<const internal::PendingNode> nodes = NodesFrom(frame.start);
    BindingProperty& target = TargetOf(frame);
    if (frame.isCollection) {
        auto* elements = Arena().New<internal::ElementArray>(Arena());
        try {
            elements->AdoptRelocated(nodes);
        } catch (...) {
            Arena().Delete(elements);
            throw;
        }
        target.payload_.collection = elements;
        target.kind_ = BindingPropertyKind::Collection;
    } else {
        auto* members = Arena().New<internal::MemberMap>(Arena());
        try {
            members->AdoptRelocated(nodes);
        } catch (...) {
            Arena().Delete(members);
            throw;
        }
        target.payload_.structure = members;
        target.kind_ = BindingPropertyKind::Structure;
    }
    size_ = frame.start;  // the nodes now live in the container
    frames_.pop_back();
    return true;
}

BindingProperty& TreeBuilder::TargetOf(const Frame& frame) noexcept {
    return frame.target == kRootTarget ? root_ : nodes_[frame.target].value;
}

bool TreeBuilder::CombineRepeatedNames() {
    return CombineRepeated(frames_.back());
}

bool TreeBuilder::HasOpenMember(std::string_view name) const noexcept {
    const std::string_view key = name.substr(0, name.find('\0'));
    for (size_t i = frames_.back().start; i < size_; ++i) {
        if (nodes_[i].name->View() == key) return true;
    }
    return false;
}

// ---- Repeated names ---------------------------------------------------------

bool TreeBuilder::HasRepeatedNames(std::span<const internal::PendingNode> nodes) {
    if (nodes.size() <= kComparedPairwise) {
        for (size_t i = 1; i < nodes.size(); ++i) {
            for (size_t j = 0; j < i; ++j) {
                if (nodes[i].name == nodes[j].name) return true;
            }
        }
        return false;
    }
    // The shared empty entry is never marked: it belongs to every arena.
    const uint32_t mark = Arena().NewMarkGeneration();
    bool emptyMet = false;
    for (const internal::PendingNode& node : nodes) {
        if (node.name == &InternedString::Empty()) {
            if (emptyMet) return true;
            emptyMet = true;
        } else if (internal::InternTable::TestAndMark(*node.name, mark)) {
            return true;
        }
    }
    return false;
}

// Each node whose name came before is combined into the first node of that
// name, in arrival order, and the nodes that stay close ranks. The stack stays
// whole whatever happens, so that a refusal leaves nothing half moved.
bool TreeBuilder::CombineRepeated(const Frame& frame) {
    const std::span<internal::PendingNode> nodes = NodesFrom(frame.start);
    if (!HasRepeatedNames(nodes)) return true;
    std::unordered_map<const InternedString*, size_t, std::hash<const InternedString*>,
                       std::equal_to<>,
                       CountingAllocator<std::pair<const InternedString* const, size_t>>>
        firstOf;
    bool combined = true;
    size_t kept = 0;
    for (size_t i = 0; i < nodes.size(); ++i) {
        internal::PendingNode& node = nodes[i];
        const auto [first, isNew] = firstOf.try_emplace(node.name, kept);
        if (isNew) {
            if (kept != i) {
                new (&nodes[kept]) internal::PendingNode{
                    node.name, BindingProperty(BindingProperty::RelocateTag{}, node.value)};
            }
            ++kept;
            continue;
        }
        combined = combined && Combine(nodes[first->second].value, node.value);
        node.value.~BindingProperty();
        Arena().Release(*node.name);
    }
    size_ = frame.start + kept;
    return combined;
}

// Assigns `later` onto `earlier` as if each value that made `later` were
// assigned in arrival order. `later` may itself stand for several values (a
// structure whose repeated names were combined when it closed): where one of
// them replaced what came before it, `later` carries replacesEarlier_ and
// replaces `earlier` too, whatever `earlier` holds. The combined node keeps
// the mark for the assignments still to come at the levels above.
bool TreeBuilder::Combine(BindingProperty& earlier, BindingProperty& later) {
    if (later.kind_ == BindingPropertyKind::Empty) return true;
    if (earlier.kind_ == BindingPropertyKind::Empty) {
        // An empty value changes nothing: `later` stands as it came.
        Take(earlier, later);
        return true;
    }
    if (!later.replacesEarlier_) {
        if (later.kind_ == BindingPropertyKind::Structure &&
            earlier.kind_ == BindingPropertyKind::Structure) {
            return CombineStructures(earlier, later);
        }
        if (later.kind_ == BindingPropertyKind::Collection &&
            earlier.kind_ == BindingPropertyKind::Collection) {
            return CombineCollections(earlier, later);
        }
    }
    Take(earlier, later);
    earlier.replacesEarlier_ = true;
    return true;
}

bool TreeBuilder::CombineStructures(BindingProperty& earlier, BindingProperty& later) {
    internal::MemberMap& into = *earlier.payload_.structure;
    for (BindingMember& member : later.payload_.structure->StoredMembers()) {
        if (into.Size() >= BindingProperty::kMaxCount && into.Find(member.Name()) == nullptr) {
            return false;
        }
        if (!Combine(into.FindOrInsert(member.InternedName()), member.Value())) return false;
    }
    later.Clear();
    return true;
}

bool TreeBuilder::CombineCollections(BindingProperty& earlier, BindingProperty& later) {
    internal::ElementArray& into = *earlier.payload_.collection;
    internal::ElementArray& from = *later.payload_.collection;
    if (rule_ == RepeatedNameRule::ExtendCollections) {
        if (into.Size() + from.Size() > BindingProperty::kMaxCount) return false;
        into.AppendRelocated(from);
    } else {
        const std::span<BindingProperty> elements = from.Elements();
        for (size_t i = 0; i < elements.size(); ++i) {
            if (i < into.Size()) {
                if (!Combine(into.Elements()[i], elements[i])) return false;
            } else {
                Take(into.EnsureIndex(i), elements[i]);
            }
        }
    }
    later.Clear();
    return true;
}

void TreeBuilder::Take(BindingProperty& into, BindingProperty& from) noexcept {
    into.Clear();
    into.payload_ = from.payload_;
    into.kind_ = from.kind_;
    into.replacesEarlier_ = from.replacesEarlier_;
    from.payload_.raw = 0;
    from.kind_ = BindingPropertyKind::Empty;
    from.replacesEarlier_ = false;
}

// ---- Texts ------------------------------------------------------------------

const InternedString& TreeBuilder::Intern(std::string_view text) {
    if (text.empty() || text.size() > kLongestCachedText) return Arena().Intern(text);
    const TextEnds ends = EndsOf(text);
    CachedText& cached = cache_[CacheSlotOf(ends, text.size(), kCachedTexts)];
    if (cached.head == ends.head && cached.tail == ends.tail && cached.length == text.size() &&
        (text.size() <= 16 ||
         std::memcmp(cached.entry->CStr() + 8, text.data() + 8, text.size() - 16) == 0)) {
        PropertyArena::AddReference(*cached.entry);
        cached.metAgain = true;
        return *cached.entry;
    }
    const InternedString& entry = Arena().Intern(text);
    if (cached.metAgain) {
        cached.metAgain = false;  // a second chance, once
        return entry;
    }
    // A text cut at a NUL is not its entry's text: it is not cached.
    if (entry.View().size() == text.size()) {
        if (cached.entry != nullptr) Arena().Release(*cached.entry);
        PropertyArena::AddReference(entry);
        cached =
            CachedText{ends.head, ends.tail, static_cast<uint32_t>(text.size()), false, &entry};
    }
    return entry;
}

// ---- The stack --------------------------------------------------------------

void TreeBuilder::GrowStack() {
    const size_t capacity = std::max(kFirstStackCapacity, capacity_ * 2);
    auto* grown = static_cast<internal::PendingNode*>(
        Nimbel::Allocate(capacity * sizeof(internal::PendingNode)));
    if (grown == nullptr) ThrowBadAlloc();
    for (size_t i = 0; i < size_; ++i) {
        new (&grown[i]) internal::PendingNode{
            nodes_[i].name, BindingProperty(BindingProperty::RelocateTag{}, nodes_[i].value)};
    }
    if (nodes_ != nullptr) Nimbel::Free(nodes_);
    nodes_ = grown;
    capacity_ = capacity;
}

void TreeBuilder::DestroyNodes(size_t start) noexcept {
    for (size_t i = start; i < size_; ++i) {
        nodes_[i].value.~BindingProperty();
        if (nodes_[i].name != nullptr) Arena().Release(*nodes_[i].name);
    }
    size_ = start;
}

}  // namespace Nimbel
