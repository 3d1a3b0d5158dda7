// BindingProperty, the one dynamic value of the system: every body, response,
// event payload and conversion result passes through it.
//
// Typed getters never throw and never convert between kinds: each returns its
// payload only when the value's kind is exactly its own (an unsigned value read
// as signed gives the fallback), and the caller's fallback otherwise. Read-only
// access by index or name never fails either: a miss yields the shared empty
// value, which is immutable and lives for the whole process.
//
// Ownership: a value created on its own (a root, a temporary, a field of a
// native record) owns its PropertyArena, created by the first operation that
// needs storage and destroyed with the value. Elements and members are created
// by their parent, share the root's arena, and never outlive the root.
// References, spans and views into a tree stay valid until the node holding
// them is changed or cleared, its parent collection or structure gains or
// loses a node (which may move its siblings), or the root is destroyed. A
// tree belongs to one thread at a time.
#pragma once

#include <compare>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "binding/interned_string.h"
#include "binding/static_type.h"
#include "diagnostics/allocator.h"

namespace Nimbel {

class BindingMember;
template <class Member>
class BindingMemberRange;
class BindingVisitor;
class PropertyArena;

class TreeBuilder;

namespace internal {
class ElementArray;
class MemberMap;
}  // namespace internal

/// The kind of a value; one byte. The numbers are part of the value's layout.
enum class BindingPropertyKind : uint8_t {
    Empty = 0,
    Bool = 1,
    Signed = 2,
    Unsigned = 3,
    Float = 4,
    String = 5,
    Blob = 6,
    Enum = 7,
    Collection = 8,
    Structure = 9,
};

/// The payload of a blob value. Its memory is counted by the library's allocator.
using BindingBytes = std::vector<uint8_t, CountingAllocator<uint8_t>>;

/// The payload of an enum value: the enumerator's value and the identity of the
/// enumeration's native type. The default pair is (0, no type).
struct BindingEnum {
    int32_t value = 0;
    const StaticTypeId* type = &StaticTypeId::None();

    /// Equal values of the same native type (identities compare by hash).
    [[nodiscard]] friend bool operator==(const BindingEnum& left,
                                         const BindingEnum& right) noexcept {
        return left.value == right.value && *left.type == *right.type;
    }
};

/// 16-, 32- and 64-bit signed integers; stored sign-extended to 64 bits.
template <class T>
concept BindingSignedInteger = std::same_as<T, short> || std::same_as<T, int> ||
    std::same_as<T, long> || std::same_as<T, long long>;
/// 16-, 32- and 64-bit unsigned integers; stored as 64 bits.
template <class T>
concept BindingUnsignedInteger = std::same_as<T, unsigned short> || std::same_as<T, unsigned int> ||
    std::same_as<T, unsigned long> || std::same_as<T, unsigned long long>;

class BindingProperty {
public:
    /// Collections and structures hold at most this many nodes; asking for more
    /// throws std::length_error.
    static constexpr size_t kMaxCount = 268435455;

    /// Empty, without an arena, owning the arena it will create.
    constexpr BindingProperty() noexcept = default;
    /// Deep copy into a new arena of its own.
    BindingProperty(const BindingProperty& source);
    /// From another root: takes its content and arena without copying. From a
    /// node of a tree: a deep copy. The source is empty afterwards either way.
    // NOLINTNEXTLINE(performance-noexcept-move-constructor): a node is deep-copied, which allocates
    BindingProperty(BindingProperty&& source);
    ~BindingProperty();

    // Sources of each kind; implicit, so a value can be written `BindingProperty id = 5`.
    BindingProperty(bool value) noexcept;
    template <BindingSignedInteger T>
    BindingProperty(T value) noexcept : BindingProperty(SignedTag{}, static_cast<int64_t>(value)) {}
    template <BindingUnsignedInteger T>
    BindingProperty(T value) noexcept
        : BindingProperty(UnsignedTag{}, static_cast<uint64_t>(value)) {}
    BindingProperty(double value) noexcept;
    /// Texts are interned cut at their first NUL; a null C string is the empty text.
    BindingProperty(const char* text);
    BindingProperty(const std::string& text);
    BindingProperty(std::string&& text);
    BindingProperty(std::string_view text);
    BindingProperty(const BindingBytes& bytes);
    BindingProperty(BindingBytes&& bytes);
    BindingProperty(const BindingEnum& pair);
    /// Pointers other than texts would silently become bool.
    BindingProperty(const volatile void*) = delete;

    /// Clears the old content, then deep-copies `source`. Safe when one of the
    /// two holds the other.
    BindingProperty& operator=(const BindingProperty& source);
    /// Both roots: they swap contents and arenas, then the source is cleared.
    /// Otherwise the destination ends with the source's content (a deep copy
    /// into the destination's arena when the arenas differ) and the source is
    /// cleared; when the source holds the destination, only the clearing remains.
    // NOLINTNEXTLINE(performance-noexcept-move-constructor): a node is deep-copied, which allocates
    BindingProperty& operator=(BindingProperty&& source);
    BindingProperty& operator=(bool value);
    template <BindingSignedInteger T>
    BindingProperty& operator=(T value) {
        AssignSigned(static_cast<int64_t>(value));
        return *this;
    }
    template <BindingUnsignedInteger T>
    BindingProperty& operator=(T value) {
        AssignUnsigned(static_cast<uint64_t>(value));
        return *this;
    }
    BindingProperty& operator=(double value);
    BindingProperty& operator=(const char* text);
    BindingProperty& operator=(const std::string& text);
    BindingProperty& operator=(std::string&& text);
    BindingProperty& operator=(std::string_view text);
    BindingProperty& operator=(const BindingBytes& bytes);
    BindingProperty& operator=(BindingBytes&& bytes);
    BindingProperty& operator=(const BindingEnum& pair);
    BindingProperty& operator=(const volatile void*) = delete;

    /// Unchanged if already a collection; otherwise cleared and made an empty one.
    void MakeCollection();
    /// Unchanged if already a structure; otherwise cleared and made an empty one.
    void MakeStructure();
    /// On a collection, makes room for `count` elements; other kinds are left
    /// alone. Throws std::length_error when `count` exceeds kMaxCount.
    void Reserve(size_t count);
    /// Releases the content: the value is empty; its arena and ownership stay.
    void Clear() noexcept;

    [[nodiscard]] BindingPropertyKind Kind() const noexcept { return kind_; }
    [[nodiscard]] bool IsEmpty() const noexcept { return kind_ == BindingPropertyKind::Empty; }
    /// "empty", "bool", "signed", "unsigned", "float", "string", "blob", "enum",
    /// "collection", "structure"; the empty text for any other number.
    [[nodiscard]] static std::string_view KindName(BindingPropertyKind kind) noexcept;
    [[nodiscard]] std::string_view KindName() const noexcept { return KindName(kind_); }

    [[nodiscard]] bool GetBool(bool fallback = false) const noexcept;
    [[nodiscard]] int64_t GetSigned(int64_t fallback = 0) const noexcept;
    [[nodiscard]] uint64_t GetUnsigned(uint64_t fallback = 0) const noexcept;
    [[nodiscard]] double GetDouble(double fallback = 0.0) const noexcept;
    /// The interned text (NUL-terminated) or the fallback.
    [[nodiscard]] std::string_view GetString(std::string_view fallback = {}) const noexcept;
    [[nodiscard]] const BindingBytes& GetBytes(
        const BindingBytes& fallback = EmptyBytes()) const noexcept;
    [[nodiscard]] BindingEnum GetEnum(const BindingEnum& fallback = {}) const noexcept;

    /// Empty 0; string bytes; blob bytes; collection elements; structure
    /// members; bool, numbers and enum 1.
    [[nodiscard]] size_t Size() const noexcept;

    // Reading access. On a value that is not const, the writing forms of
    // operator[] below are the ones chosen: read through a const reference,
    // FindMember, Elements or Members to leave the value as it is.

    /// The element, or the shared empty value when this is not a collection or
    /// the index is out of range.
    [[nodiscard]] const BindingProperty& operator[](size_t index) const noexcept;
    /// The member, or the shared empty value when this is not a structure or
    /// has no such member. The name is cut at its first NUL.
    [[nodiscard]] const BindingProperty& operator[](std::string_view name) const noexcept;
    /// The member, or null when this is not a structure or has no such member.
    [[nodiscard]] const BindingProperty* FindMember(std::string_view name) const noexcept;
    /// Elements in order; empty unless this is a collection.
    [[nodiscard]] std::span<const BindingProperty> Elements() const noexcept;
    [[nodiscard]] std::span<BindingProperty> Elements() noexcept;
    /// Members in name order (bytes compared as unsigned); empty unless this is
    /// a structure. Members added since the last ordered read are put in order
    /// first, which moves no member.
    [[nodiscard]] BindingMemberRange<const BindingMember> Members() const noexcept;
    [[nodiscard]] BindingMemberRange<BindingMember> Members() noexcept;

    /// Makes this a collection (discarding other content), appends empty
    /// elements until `index` exists and returns that element. Throws
    /// std::length_error when `index` is not below kMaxCount.
    [[nodiscard]] BindingProperty& operator[](size_t index);
    /// Makes this a collection if it is not one and appends one empty element.
    [[nodiscard]] BindingProperty& Append();
    /// Makes this a structure (discarding other content) and returns the member
    /// of that name (cut at its first NUL), inserting an empty one if missing.
    [[nodiscard]] BindingProperty& operator[](std::string_view name);

    /// Walks the tree depth first, one visitor call per node; structure members
    /// in name order. The visitor's results do not stop the walk.
    void Visit(BindingVisitor& visitor) const;

    /// Deep equality: the same kind and the same content, members compared by
    /// name and elements in order. Floats compare numerically, except that two
    /// NaNs are equal, so that every value equals its copy.
    friend bool operator==(const BindingProperty& left, const BindingProperty& right) noexcept;

    /// bool: itself; numbers: not zero (NaN is true); string: exactly "true" or
    /// "1"; blob, collection, structure: not empty; enum: value not zero;
    /// empty: false.
    [[nodiscard]] bool ToBool() const noexcept;
    /// bool "true"/"false"; integers in decimal; float as printf "%f" (always
    /// with '.', whatever the locale); string: its text; blob: base64 with '='
    /// fill; enum: its value in decimal; empty, collection, structure: "".
    [[nodiscard]] std::string ToString() const;

    /// The arena this value allocates from; null while none was needed.
    [[nodiscard]] const PropertyArena* Arena() const noexcept { return arena_; }
    /// Set for roots, clear for elements and members.
    [[nodiscard]] bool OwnsArena() const noexcept { return ownsArena_; }

    /// The shared empty value and the shared empty byte array.
    [[nodiscard]] static const BindingProperty& EmptyValue() noexcept;
    [[nodiscard]] static const BindingBytes& EmptyBytes() noexcept;

private:
    friend class BindingMember;
    friend class internal::ElementArray;
    friend class internal::MemberMap;
    friend class TreeBuilder;

    struct SignedTag {};
    struct UnsignedTag {};
    struct ChildTag {};
    struct RelocateTag {};

    // Interpreted by kind_; `raw` is zero whenever the value is empty.
    union Payload {
        uint64_t raw;
        bool boolean;
        int64_t signedValue;
        uint64_t unsignedValue;
        double floatValue;
        const InternedString* string;
        BindingBytes* blob;
        BindingEnum* enumPair;
        internal::ElementArray* collection;
        internal::MemberMap* structure;
    };

    BindingProperty(SignedTag, int64_t value) noexcept;
    BindingProperty(UnsignedTag, uint64_t value) noexcept;
    /// An empty element or member of a tree using `arena`.
    BindingProperty(ChildTag, PropertyArena& arena) noexcept : arena_(&arena), ownsArena_(false) {}
    /// Takes `source`'s fields bit for bit. The containers move their nodes with
    /// this: the source's storage is then freed or built over, never destroyed.
    BindingProperty(RelocateTag, const BindingProperty& source) noexcept
        : payload_(source.payload_),
          arena_(source.arena_),
          kind_(source.kind_),
          ownsArena_(source.ownsArena_),
          replacesEarlier_(source.replacesEarlier_) {}

    [[nodiscard]] PropertyArena& EnsureArena();
    [[nodiscard]] bool SharesArenaWith(const BindingProperty& other) const noexcept;
    /// True when `node` is an element or member of this value at any depth.
    [[nodiscard]] bool Holds(const BindingProperty& node) const noexcept;

    void AssignSigned(int64_t value) noexcept;
    void AssignUnsigned(uint64_t value) noexcept;
    void AssignText(std::string_view text);
    void AssignBytes(const BindingBytes& bytes);
    void AssignBytes(BindingBytes&& bytes);
    void AssignEnum(const BindingEnum& pair);
    /// Deep-copies `source` into this empty value, using this value's arena.
    void CopyInto(const BindingProperty& source);
    void MoveFrom(BindingProperty& source);
    void MoveWithinArena(BindingProperty& source) noexcept;
    void SwapRoots(BindingProperty& other) noexcept;

    [[nodiscard]] internal::ElementArray& Collection();
    [[nodiscard]] internal::MemberMap& Structure();

    Payload payload_{};
    PropertyArena* arena_ = nullptr;
    BindingPropertyKind kind_ = BindingPropertyKind::Empty;
    bool ownsArena_ = true;
    /// Kept by a tree builder while it combines repeated member names: the
    /// values that made this one included a replacement, so assigning it onto
    /// an earlier value replaces that value whatever its kind. Read nowhere
    /// else.
    bool replacesEarlier_ = false;
};

/// A member of a structure: an interned name and its value. Members are made
/// and moved only by their structure; the name cannot change.
class BindingMember {
public:
    BindingMember(const BindingMember&) = delete;
    BindingMember& operator=(const BindingMember&) = delete;

    [[nodiscard]] std::string_view Name() const noexcept { return name_->View(); }
    [[nodiscard]] const InternedString& InternedName() const noexcept { return *name_; }
    [[nodiscard]] const BindingProperty& Value() const noexcept { return value_; }
    [[nodiscard]] BindingProperty& Value() noexcept { return value_; }

private:
    friend class internal::MemberMap;

    BindingMember(const InternedString& name, PropertyArena& arena) noexcept
        : name_(&name), value_(BindingProperty::ChildTag{}, arena) {}
    BindingMember(BindingProperty::RelocateTag tag, const BindingMember& source) noexcept
        : name_(source.name_), value_(tag, source.value_) {}
    BindingMember(const InternedString& name, BindingProperty::RelocateTag tag,
                  const BindingProperty& value) noexcept
        : name_(&name), value_(tag, value) {}
    ~BindingMember() = default;

    const InternedString* name_;
    BindingProperty value_;
};

/// The members of a structure in name order: a random-access view of the
/// structure's storage through its order of names. It is valid as long as a
/// span of the storage would be: until the structure gains or loses a member,
/// is cleared, or is destroyed.
template <class Member>
class BindingMemberRange {
public:
    class Iterator {
    public:
        using iterator_category = std::random_access_iterator_tag;
        using iterator_concept = std::random_access_iterator_tag;
        using value_type = BindingMember;
        using difference_type = std::ptrdiff_t;
        using pointer = Member*;
        using reference = Member&;

        Iterator() noexcept = default;
        Iterator(const BindingMemberRange* range, size_t index) noexcept
            : members_(range->members_), order_(range->order_), index_(index) {}

        [[nodiscard]] Member& operator*() const noexcept { return (*this)[0]; }
        [[nodiscard]] Member* operator->() const noexcept { return &(*this)[0]; }
        [[nodiscard]] Member& operator[](difference_type offset) const noexcept {
            const size_t at = index_ + static_cast<size_t>(offset);
            return members_[order_ == nullptr ? at : order_[at]];
        }
        Iterator& operator++() noexcept {
            ++index_;
            return *this;
        }
        Iterator operator++(int) noexcept {
            Iterator old = *this;
            ++index_;
            return old;
        }
        Iterator& operator--() noexcept {
            --index_;
            return *this;
        }
        Iterator operator--(int) noexcept {
            Iterator old = *this;
            --index_;
            return old;
        }
        Iterator& operator+=(difference_type offset) noexcept {
            index_ += static_cast<size_t>(offset);
            return *this;
        }
        Iterator& operator-=(difference_type offset) noexcept {
            index_ -= static_cast<size_t>(offset);
            return *this;
        }
        [[nodiscard]] friend Iterator operator+(Iterator at, difference_type offset) noexcept {
            return at += offset;
        }
        [[nodiscard]] friend Iterator operator+(difference_type offset, Iterator at) noexcept {
            return at += offset;
        }
        [[nodiscard]] friend Iterator operator-(Iterator at, difference_type offset) noexcept {
            return at -= offset;
        }
        [[nodiscard]] friend difference_type operator-(const Iterator& left,
                                                       const Iterator& right) noexcept {
            return static_cast<difference_type>(left.index_) -
                   static_cast<difference_type>(right.index_);
        }
        [[nodiscard]] friend bool operator==(const Iterator& left, const Iterator& right) noexcept {
            return left.index_ == right.index_;
        }
        [[nodiscard]] friend std::strong_ordering operator<=>(const Iterator& left,
                                                              const Iterator& right) noexcept {
            return left.index_ <=> right.index_;
        }

    private:
        Member* members_ = nullptr;
        const uint32_t* order_ = nullptr;
        size_t index_ = 0;
    };

    BindingMemberRange() noexcept = default;
    /// `order` lists the positions of `count` members of `members` in name
    /// order; null when the members are stored in name order.
    BindingMemberRange(Member* members, const uint32_t* order, size_t count) noexcept
        : members_(members), order_(order), count_(count) {}
    /// A range of members may be read as a range of const members.
    template <class Other>
    requires(std::same_as<const Other, Member> && !std::same_as<Other, Member>)
        BindingMemberRange(const BindingMemberRange<Other>& other)
    noexcept : members_(other.members_), order_(other.order_), count_(other.count_) {}

    [[nodiscard]] size_t size() const noexcept { return count_; }
    [[nodiscard]] bool empty() const noexcept { return count_ == 0; }
    [[nodiscard]] Member& operator[](size_t index) const noexcept {
        return members_[order_ == nullptr ? index : order_[index]];
    }
    [[nodiscard]] Member& front() const noexcept { return (*this)[0]; }
    [[nodiscard]] Member& back() const noexcept { return (*this)[count_ - 1]; }
    [[nodiscard]] Iterator begin() const noexcept { return Iterator(this, 0); }
    [[nodiscard]] Iterator end() const noexcept { return Iterator(this, count_); }

private:
    template <class Other>
    friend class BindingMemberRange;

    Member* members_ = nullptr;
    const uint32_t* order_ = nullptr;
    size_t count_ = 0;
};

}  // namespace Nimbel
