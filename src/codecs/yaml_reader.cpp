// The YAML reader: pulls libyaml's events and builds the value in place, with
// a stack of the nodes being filled, their paths for anchors, and the limits
// that keep nesting and alias copies bounded.
#include "codecs/yaml_reader.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "codecs/internal/nesting_limit.h"
#include "codecs/internal/tree_measure.h"
#include "codecs/internal/value_path.h"
#include "codecs/internal/yaml_anchor_table.h"
#include "codecs/internal/yaml_event_stream.h"
#include "codecs/internal/yaml_scalar.h"
#include "diagnostics/text_format.h"

namespace Nimbel {
namespace {

using internal::PathStep;
using internal::YamlAnchor;

// Alias copies may create this many nodes, or ten times the nodes written in
// the document if that is more: generous for real documents, while nested
// aliases ("billion laughs") are refused before they are copied.
constexpr size_t kAliasNodeFloor = 100000;
constexpr size_t kAliasNodeFactor = 10;

enum class EntryKind : uint8_t { Slot, Sequence, Mapping };

// One node being filled. Entries point into the output tree: only the top
// entry's container gains nodes, so the nodes of the entries never move.
struct Entry {
    BindingProperty* value = nullptr;
    EntryKind kind = EntryKind::Slot;
    PathStep step;                // how the parent entry reaches this node (not for the root)
    internal::ValuePath path;     // the node's path, once an anchor needed it
    bool pathMade = false;        // `path` is set (the root's is null)
    size_t openAnchorsBegin = 0;  // the open anchors this entry holds start here
};

// Where a node event puts its node.
enum class NodePlace : uint8_t { Value, Key, Refused };

// 1-based, as every message but the parser's own prints them.
struct EventPlace {
    size_t line;
    size_t column;
};

[[nodiscard]] EventPlace PlaceOf(const yaml_event_t& event) noexcept {
    return {event.start_mark.line + 1, event.start_mark.column + 1};
}

[[nodiscard]] std::string_view TextOf(const yaml_char_t* text) noexcept {
    return text != nullptr ? std::string_view(reinterpret_cast<const char*>(text))
                           : std::string_view();
}

[[nodiscard]] bool IsContainer(const BindingProperty& node) noexcept {
    return node.Kind() == BindingPropertyKind::Collection ||
           node.Kind() == BindingPropertyKind::Structure;
}

[[nodiscard]] bool IsQuoted(yaml_scalar_style_t style) noexcept {
    return style == YAML_SINGLE_QUOTED_SCALAR_STYLE || style == YAML_DOUBLE_QUOTED_SCALAR_STYLE;
}

class YamlValueBuilder {
public:
    explicit YamlValueBuilder(BindingStatus& status) : status_(status) {
        entries_.resize(1);
        entries_[0].value = &status.Value();
        entries_[0].pathMade = true;
        depth_ = 1;
    }

    // Handles one event; a failure is left in the status.
    void Handle(const yaml_event_t& event) {
        // libyaml sends exactly one root node per document and a second
        // document is refused, so no node event comes after the root's end.
        if (depth_ == 0 && event.type != YAML_DOCUMENT_START_EVENT) return;
        switch (event.type) {
            case YAML_DOCUMENT_START_EVENT:
                StartDocument();
                return;
            case YAML_SCALAR_EVENT:
                HandleScalar(event);
                return;
            case YAML_SEQUENCE_START_EVENT:
                OpenContainer(event, EntryKind::Sequence);
                return;
            case YAML_MAPPING_START_EVENT:
                OpenContainer(event, EntryKind::Mapping);
                return;
            case YAML_SEQUENCE_END_EVENT:
            case YAML_MAPPING_END_EVENT:
                CloseContainer();
                return;
            case YAML_ALIAS_EVENT:
                HandleAlias(event);
                return;
            default:
                return;
        }
    }

private:
    void StartDocument() {
        if (documentStarted_) {
            status_.SetError("Multi-document YAML is not supported.");
            return;
        }
        documentStarted_ = true;
    }

    void HandleScalar(const yaml_event_t& event) {
        ++writtenNodes_;
        const internal::YamlScalar scalar{
            std::string_view(reinterpret_cast<const char*>(event.data.scalar.value),
                             event.data.scalar.length),
            reinterpret_cast<const char*>(event.data.scalar.tag),
            IsQuoted(event.data.scalar.style)};
        const std::string_view anchor = TextOf(event.data.scalar.anchor);
        switch (ChooseTarget(event)) {
            case NodePlace::Key:
                TakeKey(event, scalar, anchor);
                return;
            case NodePlace::Value:
                internal::ResolveYamlScalar(scalar, Top(), status_);
                if (!status_.Ok()) return;
                if (!anchor.empty() && !DefineNodeAnchor(event, anchor)) return;
                PopEntry();
                return;
            case NodePlace::Refused:
                return;
        }
    }

    void TakeKey(const yaml_event_t& event, const internal::YamlScalar& scalar,
                 std::string_view anchor) {
        if (!internal::IsStringKeyTag(scalar.tag)) {
            Fail(event,
                 "Invalid mapping key. Only string scalar keys are allowed. At line: %1 col: %2");
            return;
        }
        pendingKey_.assign(scalar.text);
        hasPendingKey_ = true;
        // A key is a complete scalar: an alias to it gives its text anywhere
        // after it, inside its own mapping too.
        if (!anchor.empty()) {
            DefineAnchor(event, anchor, YamlAnchor{YamlAnchor::Kind::KeyText, pendingKey_, {}});
        }
    }

    void OpenContainer(const yaml_event_t& event, EntryKind kind) {
        ++writtenNodes_;
        const bool sequence = kind == EntryKind::Sequence;
        if (ChooseTarget(event) == NodePlace::Refused) return;
        // In key position the target is the mapping itself; a repeated key
        // whose earlier value is a mapping is refused the same way.
        if (Top().Kind() == BindingPropertyKind::Structure) {
            Fail(event, sequence ? "Unexpected start of sequence. At line: %1 col: %2"
                                 : "Unexpected start of mapping. At line: %1 col: %2");
            return;
        }
        if (openContainers_ >= internal::kMaxNestingDepth) {
            FailTooDeep(event);
            return;
        }
        if (sequence) {
            Top().MakeCollection();
        } else {
            Top().MakeStructure();
        }
        entries_[depth_ - 1].kind = kind;
        ++openContainers_;
        const std::string_view anchor =
            TextOf(sequence ? event.data.sequence_start.anchor : event.data.mapping_start.anchor);
        if (anchor.empty()) return;
        YamlAnchor* defined = DefineNodeAnchor(event, anchor);
        if (defined != nullptr) MarkOpen(*defined);
    }

    void CloseContainer() {
        --openContainers_;
        PopEntry();
    }

    void HandleAlias(const yaml_event_t& event) {
        ++writtenNodes_;
        const std::string_view name = TextOf(event.data.alias.anchor);
        switch (ChooseTarget(event)) {
            case NodePlace::Key:
                Fail(event,
                     "Invalid mapping key. Aliases are not allowed as keys. Alias \"%1\". At line: "
                     "%2 col: %3",
                     name);
                return;
            case NodePlace::Refused:
                return;
            case NodePlace::Value:
                break;
        }
        const YamlAnchor* anchor = anchors_.Find(name);
        if (anchor != nullptr && anchor->open) {
            FailCyclic(event, name);
            return;
        }
        if (anchor == nullptr) {
            Fail(event, "Undefined alias encountered: \"%1\". At line: %2 col: %3", name);
            return;
        }
        if (anchor->kind == YamlAnchor::Kind::KeyText) {
            if (!ChargeAliasNodes(event, name, 1)) return;
            Top() = anchor->keyText;
        } else if (!CopyAnchoredNode(event, name, anchor->path)) {
            return;
        }
        PopEntry();
    }

    [[nodiscard]] bool CopyAnchoredNode(const yaml_event_t& event, std::string_view name,
                                        const internal::ValuePath& path) {
        const BindingProperty& source = internal::FindByPath(status_.Value(), path);
        // A path can lead to an open node when its anchored node was replaced
        // by a repeated key: copying a node into its own child would never end.
        if (IsContainer(source) && IsAncestorOfTop(source)) {
            FailCyclic(event, name);
            return false;
        }
        const internal::TreeMeasure measure = internal::MeasureTree(source, AliasNodesLeft());
        if (!ChargeAliasNodes(event, name, measure.nodes)) return false;
        if (openContainers_ + measure.depth > internal::kMaxNestingDepth) {
            FailTooDeep(event);
            return false;
        }
        Top() = source;
        return true;
    }

    // Picks the node that the next node event fills, as YAML's structure
    // says: a new element of an open sequence, the member of the pending key
    // of an open mapping, a key of an open mapping, or the root.
    [[nodiscard]] NodePlace ChooseTarget(const yaml_event_t& event) {
        Entry& top = entries_[depth_ - 1];
        if (top.kind == EntryKind::Sequence) {
            if (!HasRoomFor(event, *top.value, {})) return NodePlace::Refused;
            const size_t index = top.value->Size();
            BindingProperty& element = top.value->Append();
            Entry& entry = PushEntry(element);
            entry.step.kind = PathStep::Kind::Element;
            entry.step.index = index;
            return NodePlace::Value;
        }
        if (top.kind == EntryKind::Mapping) {
            if (!hasPendingKey_) return NodePlace::Key;
            if (!HasRoomFor(event, *top.value, pendingKey_)) return NodePlace::Refused;
            BindingProperty& member = (*top.value)[pendingKey_];
            Entry& entry = PushEntry(member);
            entry.step.kind = PathStep::Kind::Member;
            std::swap(entry.step.name, pendingKey_);
            hasPendingKey_ = false;
            return NodePlace::Value;
        }
        return NodePlace::Value;
    }

    // Whether `container` may gain the element or member for `key`.
    [[nodiscard]] bool HasRoomFor(const yaml_event_t& event, const BindingProperty& container,
                                  std::string_view key) {
        if (container.Size() < BindingProperty::kMaxCount) return true;
        if (container.Kind() == BindingPropertyKind::Structure &&
            container.FindMember(key) != nullptr) {
            return true;
        }
        Fail(event, "Collections of more than %1 items are not supported. At line: %2 col: %3",
             BindingProperty::kMaxCount);
        return false;
    }

    // Entries above depth_ are kept, so that their path names keep their buffers.
    [[nodiscard]] Entry& PushEntry(BindingProperty& value) {
        if (depth_ == entries_.size()) entries_.emplace_back();
        Entry& entry = entries_[depth_++];
        entry.value = &value;
        entry.kind = EntryKind::Slot;
        entry.path.reset();
        entry.pathMade = false;
        entry.openAnchorsBegin = openAnchors_.size();
        return entry;
    }

    void PopEntry() {
        const Entry& entry = entries_[--depth_];
        for (size_t i = entry.openAnchorsBegin; i < openAnchors_.size(); ++i) {
            openAnchors_[i]->open = false;
        }
        openAnchors_.resize(entry.openAnchorsBegin);
    }

    // Open until the top entry is popped.
    void MarkOpen(YamlAnchor& anchor) {
        anchor.open = true;
        openAnchors_.push_back(&anchor);
    }

    [[nodiscard]] BindingProperty& Top() { return *entries_[depth_ - 1].value; }

    // Records the path of the top entry's node under `name`.
    YamlAnchor* DefineNodeAnchor(const yaml_event_t& event, std::string_view name) {
        return DefineAnchor(event, name, YamlAnchor{YamlAnchor::Kind::Node, {}, PathOfTop()});
    }

    // Each entry's path is made once, from its parent's, when an anchor at or
    // below it first needs it; so the anchors of a document cost one link per
    // node, however deep they sit.
    [[nodiscard]] internal::ValuePath PathOfTop() {
        size_t made = depth_ - 1;
        while (!entries_[made].pathMade) --made;
        for (size_t i = made + 1; i < depth_; ++i) {
            Entry& entry = entries_[i];
            PathStep step{entry.step.kind, entry.step.index, {}};
            if (step.kind == PathStep::Kind::Member) step.name = entry.step.name;
            entry.path = internal::ExtendPath(entries_[i - 1].path, std::move(step));
            entry.pathMade = true;
        }
        return entries_[depth_ - 1].path;
    }

    YamlAnchor* DefineAnchor(const yaml_event_t& event, std::string_view name,
                             YamlAnchor&& anchor) {
        YamlAnchor* stored = anchors_.Define(name, std::move(anchor));
        if (stored == nullptr) {
            Fail(event, "Duplicate occurrence of anchor \"%1\". At line: %2 col: %3", name);
        }
        return stored;
    }

    [[nodiscard]] bool IsAncestorOfTop(const BindingProperty& node) const noexcept {
        for (size_t i = 0; i + 1 < depth_; ++i) {
            if (entries_[i].value == &node) return true;
        }
        return false;
    }

    [[nodiscard]] size_t AliasNodesLeft() const noexcept {
        return std::max(kAliasNodeFloor, kAliasNodeFactor * writtenNodes_) - copiedNodes_;
    }

    [[nodiscard]] bool ChargeAliasNodes(const yaml_event_t& event, std::string_view name,
                                        size_t nodes) {
        if (nodes > AliasNodesLeft()) {
            Fail(event,
                 "Cannot deserialize aliases that expand to too many nodes. Alias \"%1\". "
                 "At line: %2 col: %3",
                 name);
            return false;
        }
        copiedNodes_ += nodes;
        return true;
    }

    void FailCyclic(const yaml_event_t& event, std::string_view name) {
        Fail(event, "Cannot deserialize cyclic aliases. Alias \"%1\". At line: %2 col: %3", name);
    }

    void FailTooDeep(const yaml_event_t& event) {
        Fail(event, "Nesting deeper than %1 levels is not supported. At line: %2 col: %3",
             internal::kMaxNestingDepth);
    }

    // The event's line and column follow `arguments` in the message.
    template <class... Args>
    void Fail(const yaml_event_t& event, const char* message, const Args&... arguments) {
        const EventPlace place = PlaceOf(event);
        status_.SetError(FormatMessage(message, arguments..., place.line, place.column));
    }

    BindingStatus& status_;
    std::vector<Entry> entries_;  // [0, depth_) are open; the root's entry is first
    size_t depth_ = 0;
    size_t openContainers_ = 0;
    // Anchors of nodes that are still open, in the table; each entry holds
    // those from its openAnchorsBegin.
    std::vector<YamlAnchor*> openAnchors_;
    internal::YamlAnchorTable anchors_;
    std::string pendingKey_;
    bool hasPendingKey_ = false;
    bool documentStarted_ = false;
    size_t writtenNodes_ = 0;
    size_t copiedNodes_ = 0;
};

}  // namespace

BindingStatus YamlToValue(const char* text, size_t length) {
    BindingStatus status;
    YamlValueBuilder builder(status);
    internal::YamlEventStream events(text, length);
    while (status.Ok()) {
        const yaml_event_t* event = events.Next();
        if (event == nullptr) {
            status.SetError(events.ErrorMessage());
            break;
        }
        if (event->type == YAML_STREAM_END_EVENT) break;
        builder.Handle(*event);
    }
    return status;
}

}  // namespace Nimbel
