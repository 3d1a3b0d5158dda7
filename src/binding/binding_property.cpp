// BindingProperty: kinds, assignment, copy and move rules, access and walking.
#include "binding/binding_property.h"

#include <array>
#include <cassert>
#include <charconv>
#include <utility>

#include "binding/base64.h"
#include "binding/binding_visitor.h"
#include "binding/internal/element_array.h"
#include "binding/internal/length_limit.h"
#include "binding/internal/member_map.h"
#include "binding/property_arena.h"

namespace Nimbel {
namespace {

static_assert(sizeof(BindingPropertyKind) == 1);
// Payload, arena pointer, kind and owns-arena flag: 24 bytes with 8-byte
// pointers, 16 with 4-byte ones.
static_assert(sizeof(BindingProperty) == (sizeof(void*) == 8 ? 24 : 16));
static_assert(BindingProperty::kMaxCount == internal::kMaxNodeCount);

// Kept alive through process exit, so late readers still find a valid object.
template <class T>
union NeverDestroyed {
    T value;
    constexpr NeverDestroyed() : value() {}
    // Not defaulted: a union's defaulted destructor is deleted when a member's is not trivial.
    ~NeverDestroyed() {}  // NOLINT(modernize-use-equals-default)
};

constexpr std::array<std::string_view, 10> kKindNames = {
    "empty",  "bool", "signed", "unsigned",   "float",
    "string", "blob", "enum",   "collection", "structure"};

[[nodiscard]] bool IsEmptyText(std::string_view text) noexcept {
    return text.empty() || text.front() == '\0';
}

[[nodiscard]] std::string FixedSixDecimals(double value) {
    // Same text as printf "%f", independent of the process's locale.
    std::array<char, 400> buffer;
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::fixed, 6);
    return std::string(buffer.data(), result.ptr);
}

template <class Integer>
[[nodiscard]] std::string Decimal(Integer value) {
    std::array<char, 24> buffer;
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return std::string(buffer.data(), result.ptr);
}

}  // namespace

// ---- Construction -----------------------------------------------------------

BindingProperty::BindingProperty(const BindingProperty& source) {
    CopyInto(source);
}

// NOLINTNEXTLINE(performance-noexcept-move-constructor): a node is deep-copied, which allocates
BindingProperty::BindingProperty(BindingProperty&& source) {
    MoveFrom(source);
}

BindingProperty::~BindingProperty() {
    if (ownsArena_ && arena_ != nullptr) {
        // Nothing outside this tree uses the arena any more: it can go whole,
        // unless blobs must still free their bytes.
        if (arena_->HoldsBlobs()) {
            arena_->BeginTeardown();
            Clear();
        } else {
            arena_->DropEverything();
        }
        PropertyArena::Destroy(arena_);
        return;
    }
    Clear();
}

BindingProperty::BindingProperty(bool value) noexcept : kind_(BindingPropertyKind::Bool) {
    payload_.boolean = value;
}

BindingProperty::BindingProperty(SignedTag, int64_t value) noexcept
    : kind_(BindingPropertyKind::Signed) {
    payload_.signedValue = value;
}

BindingProperty::BindingProperty(UnsignedTag, uint64_t value) noexcept
    : kind_(BindingPropertyKind::Unsigned) {
    payload_.unsignedValue = value;
}

BindingProperty::BindingProperty(double value) noexcept : kind_(BindingPropertyKind::Float) {
    payload_.floatValue = value;
}

BindingProperty::BindingProperty(const char* text) {
    AssignText(text == nullptr ? std::string_view() : std::string_view(text));
}
BindingProperty::BindingProperty(const std::string& text) {
    AssignText(text);
}
BindingProperty::BindingProperty(std::string&& text) {
    AssignText(text);
}
BindingProperty::BindingProperty(std::string_view text) {
    AssignText(text);
}
BindingProperty::BindingProperty(const BindingBytes& bytes) {
    AssignBytes(bytes);
}
BindingProperty::BindingProperty(BindingBytes&& bytes) {
    AssignBytes(std::move(bytes));
}
BindingProperty::BindingProperty(const BindingEnum& pair) {
    AssignEnum(pair);
}

// ---- Assignment -------------------------------------------------------------

BindingProperty& BindingProperty::operator=(const BindingProperty& source) {
    if (this == &source) return *this;
    if (SharesArenaWith(source)) {
        // One of the two may hold the other: clearing first would destroy the
        // source, copying first could read what is being written.
        // NOLINTNEXTLINE(performance-unnecessary-copy-initialization): the copy is the point
        const BindingProperty detached(source);
        Clear();
        CopyInto(detached);
        return *this;
    }
    Clear();
    CopyInto(source);
    return *this;
}

// NOLINTNEXTLINE(performance-noexcept-move-constructor): a node is deep-copied, which allocates
BindingProperty& BindingProperty::operator=(BindingProperty&& source) {
    MoveFrom(source);
    return *this;
}

BindingProperty& BindingProperty::operator=(bool value) {
    Clear();
    payload_.boolean = value;
    kind_ = BindingPropertyKind::Bool;
    return *this;
}

BindingProperty& BindingProperty::operator=(double value) {
    Clear();
    payload_.floatValue = value;
    kind_ = BindingPropertyKind::Float;
    return *this;
}

BindingProperty& BindingProperty::operator=(const char* text) {
    AssignText(text == nullptr ? std::string_view() : std::string_view(text));
    return *this;
}

BindingProperty& BindingProperty::operator=(const std::string& text) {
    AssignText(text);
    return *this;
}

BindingProperty& BindingProperty::operator=(std::string&& text) {
    AssignText(text);
    return *this;
}

BindingProperty& BindingProperty::operator=(std::string_view text) {
    AssignText(text);
    return *this;
}

BindingProperty& BindingProperty::operator=(const BindingBytes& bytes) {
    AssignBytes(bytes);
    return *this;
}

BindingProperty& BindingProperty::operator=(BindingBytes&& bytes) {
    AssignBytes(std::move(bytes));
    return *this;
}

BindingProperty& BindingProperty::operator=(const BindingEnum& pair) {
    AssignEnum(pair);
    return *this;
}

void BindingProperty::AssignSigned(int64_t value) noexcept {
    Clear();
    payload_.signedValue = value;
    kind_ = BindingPropertyKind::Signed;
}

void BindingProperty::AssignUnsigned(uint64_t value) noexcept {
    Clear();
    payload_.unsignedValue = value;
    kind_ = BindingPropertyKind::Unsigned;
}

// The new payload is made before the old content is released: the source may
// be a view of this value's own text or bytes, or of one of its descendants.
void BindingProperty::AssignText(std::string_view text) {
    const InternedString& entry =
        IsEmptyText(text) ? InternedString::Empty() : EnsureArena().Intern(text);
    Clear();
    payload_.string = &entry;
    kind_ = BindingPropertyKind::String;
}

void BindingProperty::AssignBytes(const BindingBytes& bytes) {
    BindingBytes* blob = EnsureArena().New<BindingBytes>(bytes);
    arena_->BlobCreated();
    Clear();
    payload_.blob = blob;
    kind_ = BindingPropertyKind::Blob;
}

void BindingProperty::AssignBytes(BindingBytes&& bytes) {
    BindingBytes* blob = EnsureArena().New<BindingBytes>(std::move(bytes));
    arena_->BlobCreated();
    Clear();
    payload_.blob = blob;
    kind_ = BindingPropertyKind::Blob;
}

void BindingProperty::AssignEnum(const BindingEnum& pair) {
    BindingEnum* stored = EnsureArena().New<BindingEnum>(pair);
    Clear();
    payload_.enumPair = stored;
    kind_ = BindingPropertyKind::Enum;
}

void BindingProperty::CopyInto(const BindingProperty& source) {
    assert(IsEmpty() && "copies go into an empty value");
    switch (source.kind_) {
        case BindingPropertyKind::Bool:
        case BindingPropertyKind::Signed:
        case BindingPropertyKind::Unsigned:
        case BindingPropertyKind::Float:
            payload_ = source.payload_;
            kind_ = source.kind_;
            return;
        case BindingPropertyKind::String: {
            const InternedString& text = *source.payload_.string;
            payload_.string =
                &text == &InternedString::Empty() ? &text : &EnsureArena().Intern(text);
            kind_ = BindingPropertyKind::String;
            return;
        }
        case BindingPropertyKind::Blob:
            AssignBytes(*source.payload_.blob);
            return;
        case BindingPropertyKind::Enum:
            AssignEnum(*source.payload_.enumPair);
            return;
        case BindingPropertyKind::Collection: {
            MakeCollection();
            internal::ElementArray& elements = Collection();
            const std::span<const BindingProperty> from = source.Elements();
            elements.Reserve(from.size());
            for (size_t i = 0; i < from.size(); ++i) elements.EnsureIndex(i).CopyInto(from[i]);
            return;
        }
        case BindingPropertyKind::Structure: {
            MakeStructure();
            internal::MemberMap& members = Structure();
            const BindingMemberRange<const BindingMember> from = source.Members();
            members.Reserve(from.size());
            for (const BindingMember& member : from) {
                members.FindOrInsert(member.InternedName()).CopyInto(member.Value());
            }
            return;
        }
        case BindingPropertyKind::Empty:
            return;
    }
}

void BindingProperty::MoveFrom(BindingProperty& source) {
    if (this == &source) return;
    if (ownsArena_ && source.ownsArena_) {
        SwapRoots(source);
        source.Clear();
        return;
    }
    if (SharesArenaWith(source)) {
        MoveWithinArena(source);
        return;
    }
    Clear();
    CopyInto(source);
    source.Clear();
}

// Both nodes live in one arena, so the payload is valid in either place and
// changes hands without a copy. Order matters when one holds the other.
void BindingProperty::MoveWithinArena(BindingProperty& source) noexcept {
    if (source.Holds(*this)) {
        // The destination is part of what the move clears.
        source.Clear();
        return;
    }
    const Payload taken = source.payload_;
    const BindingPropertyKind takenKind = source.kind_;
    source.payload_.raw = 0;
    source.kind_ = BindingPropertyKind::Empty;
    Clear();
    payload_ = taken;
    kind_ = takenKind;
}

void BindingProperty::SwapRoots(BindingProperty& other) noexcept {
    std::swap(payload_, other.payload_);
    std::swap(arena_, other.arena_);
    std::swap(kind_, other.kind_);
    std::swap(ownsArena_, other.ownsArena_);
}

// ---- Kinds and containers ---------------------------------------------------

void BindingProperty::MakeCollection() {
    if (kind_ == BindingPropertyKind::Collection) return;
    PropertyArena& arena = EnsureArena();
    internal::ElementArray* elements = arena.New<internal::ElementArray>(arena);
    Clear();
    payload_.collection = elements;
    kind_ = BindingPropertyKind::Collection;
}

void BindingProperty::MakeStructure() {
    if (kind_ == BindingPropertyKind::Structure) return;
    PropertyArena& arena = EnsureArena();
    internal::MemberMap* members = arena.New<internal::MemberMap>(arena);
    Clear();
    payload_.structure = members;
    kind_ = BindingPropertyKind::Structure;
}

void BindingProperty::Reserve(size_t count) {
    internal::RequireCountWithinLimit(count);
    if (kind_ == BindingPropertyKind::Collection) Collection().Reserve(count);
}

void BindingProperty::Clear() noexcept {
    const Payload payload = payload_;
    const BindingPropertyKind kind = kind_;
    payload_.raw = 0;
    kind_ = BindingPropertyKind::Empty;
    switch (kind) {
        case BindingPropertyKind::String:
            if (payload.string != &InternedString::Empty()) arena_->Release(*payload.string);
            break;
        case BindingPropertyKind::Blob:
            arena_->Delete(payload.blob);
            arena_->BlobDestroyed();
            break;
        case BindingPropertyKind::Enum:
            arena_->Delete(payload.enumPair);
            break;
        case BindingPropertyKind::Collection:
            arena_->Delete(payload.collection);
            break;
        case BindingPropertyKind::Structure:
            arena_->Delete(payload.structure);
            break;
        default:
            break;
    }
}

PropertyArena& BindingProperty::EnsureArena() {
    if (arena_ == nullptr) {
        assert(ownsArena_ && "elements and members always have their root's arena");
        arena_ = PropertyArena::Create();
    }
    return *arena_;
}

bool BindingProperty::SharesArenaWith(const BindingProperty& other) const noexcept {
    return arena_ != nullptr && arena_ == other.arena_;
}

bool BindingProperty::Holds(const BindingProperty& node) const noexcept {
    for (const BindingProperty& element : Elements()) {
        if (&element == &node || element.Holds(node)) return true;
    }
    for (const BindingMember& member : Members()) {
        if (&member.Value() == &node || member.Value().Holds(node)) return true;
    }
    return false;
}

internal::ElementArray& BindingProperty::Collection() {
    assert(kind_ == BindingPropertyKind::Collection);
    return *payload_.collection;
}

internal::MemberMap& BindingProperty::Structure() {
    assert(kind_ == BindingPropertyKind::Structure);
    return *payload_.structure;
}

// ---- Reading ----------------------------------------------------------------

std::string_view BindingProperty::KindName(BindingPropertyKind kind) noexcept {
    const auto index = static_cast<size_t>(kind);
    return index < kKindNames.size() ? kKindNames[index] : std::string_view();
}

bool BindingProperty::GetBool(bool fallback) const noexcept {
    return kind_ == BindingPropertyKind::Bool ? payload_.boolean : fallback;
}

int64_t BindingProperty::GetSigned(int64_t fallback) const noexcept {
    return kind_ == BindingPropertyKind::Signed ? payload_.signedValue : fallback;
}

uint64_t BindingProperty::GetUnsigned(uint64_t fallback) const noexcept {
    return kind_ == BindingPropertyKind::Unsigned ? payload_.unsignedValue : fallback;
}

double BindingProperty::GetDouble(double fallback) const noexcept {
    return kind_ == BindingPropertyKind::Float ? payload_.floatValue : fallback;
}

std::string_view BindingProperty::GetString(std::string_view fallback) const noexcept {
    return kind_ == BindingPropertyKind::String ? payload_.string->View() : fallback;
}

const BindingBytes& BindingProperty::GetBytes(const BindingBytes& fallback) const noexcept {
    return kind_ == BindingPropertyKind::Blob ? *payload_.blob : fallback;
}

BindingEnum BindingProperty::GetEnum(const BindingEnum& fallback) const noexcept {
    return kind_ == BindingPropertyKind::Enum ? *payload_.enumPair : fallback;
}

size_t BindingProperty::Size() const noexcept {
    switch (kind_) {
        case BindingPropertyKind::Empty:
            return 0;
        case BindingPropertyKind::String:
            return payload_.string->View().size();
        case BindingPropertyKind::Blob:
            return payload_.blob->size();
        case BindingPropertyKind::Collection:
            return payload_.collection->Size();
        case BindingPropertyKind::Structure:
            return payload_.structure->Size();
        default:
            return 1;
    }
}

const BindingProperty& BindingProperty::operator[](size_t index) const noexcept {
    const std::span<const BindingProperty> elements = Elements();
    return index < elements.size() ? elements[index] : EmptyValue();
}

const BindingProperty& BindingProperty::operator[](std::string_view name) const noexcept {
    const BindingProperty* member = FindMember(name);
    return member != nullptr ? *member : EmptyValue();
}

const BindingProperty* BindingProperty::FindMember(std::string_view name) const noexcept {
    return kind_ == BindingPropertyKind::Structure ? payload_.structure->Find(name) : nullptr;
}

std::span<const BindingProperty> BindingProperty::Elements() const noexcept {
    if (kind_ != BindingPropertyKind::Collection) return {};
    return std::as_const(*payload_.collection).Elements();
}

std::span<BindingProperty> BindingProperty::Elements() noexcept {
    if (kind_ != BindingPropertyKind::Collection) return {};
    return payload_.collection->Elements();
}

BindingMemberRange<const BindingMember> BindingProperty::Members() const noexcept {
    if (kind_ != BindingPropertyKind::Structure) return {};
    return std::as_const(*payload_.structure).Members();
}

BindingMemberRange<BindingMember> BindingProperty::Members() noexcept {
    if (kind_ != BindingPropertyKind::Structure) return {};
    return payload_.structure->Members();
}

// ---- Writing access ---------------------------------------------------------

BindingProperty& BindingProperty::operator[](size_t index) {
    internal::RequireIndexWithinLimit(index);
    MakeCollection();
    return Collection().EnsureIndex(index);
}

BindingProperty& BindingProperty::Append() {
    MakeCollection();
    return Collection().EnsureIndex(Collection().Size());
}

BindingProperty& BindingProperty::operator[](std::string_view name) {
    MakeStructure();
    return Structure().FindOrInsert(name);
}

// ---- Walking and coercion ---------------------------------------------------

void BindingProperty::Visit(BindingVisitor& visitor) const {
    // The visitor's results are deliberately ignored: the walk always completes.
    switch (kind_) {
        case BindingPropertyKind::Empty:
            static_cast<void>(visitor.Empty());
            return;
        case BindingPropertyKind::Bool:
            static_cast<void>(visitor.Bool(payload_.boolean));
            return;
        case BindingPropertyKind::Signed:
            static_cast<void>(visitor.Signed(payload_.signedValue));
            return;
        case BindingPropertyKind::Unsigned:
            static_cast<void>(visitor.Unsigned(payload_.unsignedValue));
            return;
        case BindingPropertyKind::Float:
            static_cast<void>(visitor.Float(payload_.floatValue));
            return;
        case BindingPropertyKind::String:
            static_cast<void>(visitor.String(payload_.string->View()));
            return;
        case BindingPropertyKind::Blob:
            static_cast<void>(visitor.Blob(*payload_.blob));
            return;
        case BindingPropertyKind::Enum:
            static_cast<void>(visitor.Enum(*payload_.enumPair));
            return;
        case BindingPropertyKind::Collection: {
            const std::span<const BindingProperty> elements = Elements();
            static_cast<void>(visitor.BeginCollection(elements.size()));
            for (size_t i = 0; i < elements.size(); ++i) {
                static_cast<void>(visitor.BeginElement(i));
                elements[i].Visit(visitor);
                static_cast<void>(visitor.EndElement(i));
            }
            static_cast<void>(visitor.EndCollection());
            return;
        }
        case BindingPropertyKind::Structure: {
            const BindingMemberRange<const BindingMember> members = Members();
            static_cast<void>(visitor.BeginStructure(members.size()));
            for (const BindingMember& member : members) {
                static_cast<void>(visitor.MemberName(member.Name()));
                member.Value().Visit(visitor);
                static_cast<void>(visitor.EndMember());
            }
            static_cast<void>(visitor.EndStructure());
            return;
        }
    }
}

bool BindingProperty::ToBool() const noexcept {
    switch (kind_) {
        case BindingPropertyKind::Bool:
            return payload_.boolean;
        case BindingPropertyKind::Signed:
            return payload_.signedValue != 0;
        case BindingPropertyKind::Unsigned:
            return payload_.unsignedValue != 0;
        case BindingPropertyKind::Float:
            return payload_.floatValue != 0.0;
        case BindingPropertyKind::String: {
            const std::string_view text = payload_.string->View();
            return text == "true" || text == "1";
        }
        case BindingPropertyKind::Blob:
            return !payload_.blob->empty();
        case BindingPropertyKind::Enum:
            return payload_.enumPair->value != 0;
        case BindingPropertyKind::Collection:
        case BindingPropertyKind::Structure:
            return Size() != 0;
        case BindingPropertyKind::Empty:
            return false;
    }
    return false;
}

std::string BindingProperty::ToString() const {
    switch (kind_) {
        case BindingPropertyKind::Bool:
            return payload_.boolean ? "true" : "false";
        case BindingPropertyKind::Signed:
            return Decimal(payload_.signedValue);
        case BindingPropertyKind::Unsigned:
            return Decimal(payload_.unsignedValue);
        case BindingPropertyKind::Float:
            return FixedSixDecimals(payload_.floatValue);
        case BindingPropertyKind::String:
            return std::string(payload_.string->View());
        case BindingPropertyKind::Blob:
            return EncodeBase64(*payload_.blob);
        case BindingPropertyKind::Enum:
            return Decimal(payload_.enumPair->value);
        default:
            return std::string();
    }
}

// ---- Shared sentinels -------------------------------------------------------

const BindingProperty& BindingProperty::EmptyValue() noexcept {
    static constinit NeverDestroyed<BindingProperty> kEmpty;
    return kEmpty.value;
}

const BindingBytes& BindingProperty::EmptyBytes() noexcept {
    static constinit NeverDestroyed<BindingBytes> kEmpty;
    return kEmpty.value;
}

bool operator==(const BindingProperty& left, const BindingProperty& right) noexcept {
    if (left.Kind() != right.Kind()) return false;
    switch (left.Kind()) {
        case BindingPropertyKind::Empty:
            return true;
        case BindingPropertyKind::Bool:
            return left.GetBool() == right.GetBool();
        case BindingPropertyKind::Signed:
            return left.GetSigned() == right.GetSigned();
        case BindingPropertyKind::Unsigned:
            return left.GetUnsigned() == right.GetUnsigned();
        case BindingPropertyKind::Float: {
            const double a = left.GetDouble();
            const double b = right.GetDouble();
            return a == b || (a != a && b != b);
        }
        case BindingPropertyKind::String:
            return left.GetString() == right.GetString();
        case BindingPropertyKind::Blob:
            return left.GetBytes() == right.GetBytes();
        case BindingPropertyKind::Enum:
            return left.GetEnum() == right.GetEnum();
        case BindingPropertyKind::Collection: {
            const auto a = left.Elements();
            const auto b = right.Elements();
            if (a.size() != b.size()) return false;
            for (size_t i = 0; i < a.size(); ++i) {
                if (!(a[i] == b[i])) return false;
            }
            return true;
        }
        case BindingPropertyKind::Structure: {
            const auto a = left.Members();
            const auto b = right.Members();
            if (a.size() != b.size()) return false;
            for (size_t i = 0; i < a.size(); ++i) {
                if (a[i].Name() != b[i].Name() || !(a[i].Value() == b[i].Value())) return false;
            }
            return true;
        }
    }
    return false;
}

}  // namespace Nimbel
