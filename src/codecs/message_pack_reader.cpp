// The MessagePack reader: one pass over the bytes with an explicit stack of
// open nodes, so that nesting costs heap, never call depth.
#include "codecs/message_pack_reader.h"

#include <bit>
#include <string_view>
#include <utility>
#include <vector>

#include "codecs/internal/nesting_limit.h"
#include "diagnostics/text_format.h"

namespace Nimbel {
namespace {

constexpr const char* kInvalidTypeMessage = "Invalid MessagePack data at position %1.";
constexpr const char* kKeyNotStringMessage =
    "Invalid MessagePack data at position %1. Map keys must be strings.";
constexpr const char* kTooDeepMessage =
    "Invalid MessagePack data at position %1. Containers must not nest deeper than %2 levels.";
constexpr const char* kTooManyItemsMessage =
    "Invalid MessagePack data at position %1. Containers must not hold more than %2 items.";
constexpr const char* kStringTruncatedMessage =
    "Invalid MessagePack data. String of size %1 at position %2 is truncated.";
constexpr const char* kBytesTruncatedMessage =
    "Invalid MessagePack data. Raw bytes of size %1 at position %2 are truncated.";
constexpr const char* kArrayTruncatedMessage =
    "Invalid MessagePack data. Array of size %1 at position %2 is truncated.";
constexpr const char* kMapTruncatedMessage =
    "Invalid MessagePack data. Map of size %1 at position %2 is truncated.";

[[nodiscard]] const char* IntegerTruncatedMessage(size_t width) noexcept {
    switch (width) {
        case 1:
            return "Invalid MessagePack data. 8-bit integer value at position %1 is truncated.";
        case 2:
            return "Invalid MessagePack data. 16-bit integer value at position %1 is truncated.";
        case 4:
            return "Invalid MessagePack data. 32-bit integer value at position %1 is truncated.";
        default:
            return "Invalid MessagePack data. 64-bit integer value at position %1 is truncated.";
    }
}

enum class FrameKind : uint8_t { Slot, Array, Map };

// One open node: a slot waiting for its value, or a container whose items are
// still to come. Frames point into the output tree; a frame's node cannot move
// while the frame is open, because only the top frame's container gains nodes.
struct Frame {
    // A slot waiting for the value of `node`.
    explicit Frame(BindingProperty& node) noexcept : value(&node) {}

    BindingProperty* value;
    uint64_t count = 0;    // items of the container; a map counts keys and values apart
    uint64_t index = 0;    // the next item
    size_t header = 0;     // the position of a container's type byte
    std::string_view key;  // the last key read, a view of the input (maps)
    FrameKind kind = FrameKind::Slot;
};

// What the byte at the current position starts.
enum class NextItem : uint8_t { Done, Key, Value };

class MessagePackReader {
public:
    MessagePackReader(const uint8_t* bytes, size_t size, BindingStatus& status)
        : bytes_(bytes), size_(size), status_(status) {
        frames_.reserve(16);
        frames_.emplace_back(status.Value());
    }

    void Run() {
        while (position_ < size_ && status_.Ok()) {
            switch (AdvanceToNextItem()) {
                case NextItem::Done:
                    return;
                case NextItem::Key:
                    ReadKey();
                    break;
                case NextItem::Value:
                    ReadValue();
                    break;
            }
        }
        if (status_.Ok()) FailIfRootIsOpen();
    }

    [[nodiscard]] size_t Position() const noexcept { return position_; }

private:
    // Pops finished containers and opens the slot of the next item.
    [[nodiscard]] NextItem AdvanceToNextItem() {
        while (!frames_.empty()) {
            Frame& top = frames_.back();
            if (top.kind == FrameKind::Slot) return NextItem::Value;
            if (top.index == top.count) {
                frames_.pop_back();
                continue;
            }
            if (top.kind == FrameKind::Array) return OpenElement(top);
            if (top.index % 2 == 0) {
                ++top.index;
                return NextItem::Key;
            }
            return OpenMember(top);
        }
        return NextItem::Done;
    }

    // At the end of the input: the root must be complete, or never begun
    // (an empty input). Otherwise the innermost container still expecting
    // items is named, with the count its header announced (pairs for a map).
    void FailIfRootIsOpen() {
        while (!frames_.empty() && frames_.back().kind != FrameKind::Slot &&
               frames_.back().index == frames_.back().count) {
            frames_.pop_back();
        }
        if (frames_.empty()) return;
        if (frames_.size() == 1 && frames_.back().kind == FrameKind::Slot) return;
        for (auto frame = frames_.rbegin(); frame != frames_.rend(); ++frame) {
            if (frame->kind == FrameKind::Array) {
                Fail(kArrayTruncatedMessage, frame->count, frame->header);
                return;
            }
            if (frame->kind == FrameKind::Map) {
                Fail(kMapTruncatedMessage, frame->count / 2, frame->header);
                return;
            }
        }
    }

    [[nodiscard]] NextItem OpenElement(Frame& array) {
        if (array.index >= BindingProperty::kMaxCount) return FailTooManyItems();
        BindingProperty& element = (*array.value)[static_cast<size_t>(array.index)];
        ++array.index;
        frames_.emplace_back(element);
        return NextItem::Value;
    }

    [[nodiscard]] NextItem OpenMember(Frame& map) {
        if (map.value->Size() >= BindingProperty::kMaxCount &&
            map.value->FindMember(map.key) == nullptr) {
            return FailTooManyItems();
        }
        BindingProperty& member = (*map.value)[map.key];
        ++map.index;
        frames_.emplace_back(member);
        return NextItem::Value;
    }

    void ReadKey() {
        const uint8_t type = bytes_[position_++];
        uint64_t length = 0;
        if (type >= 0xA0 && type <= 0xBF) {
            length = type & 0x1Fu;
        } else if (type == 0xD9 || type == 0xDA || type == 0xDB) {
            if (!ReadBigEndian(size_t{1} << (type - 0xD9), length)) return;
        } else {
            Fail(kKeyNotStringMessage, position_);
            return;
        }
        const uint8_t* text = nullptr;
        if (!TakePayload(length, kStringTruncatedMessage, text)) return;
        frames_.back().key =
            std::string_view(reinterpret_cast<const char*>(text), static_cast<size_t>(length));
    }

    void ReadValue() {
        frames_.back().header = position_;
        const uint8_t type = bytes_[position_++];
        if (type <= 0x7F) return StoreScalar(static_cast<int64_t>(type));
        if (type >= 0xE0) return StoreScalar(static_cast<int64_t>(static_cast<int8_t>(type)));
        if (type <= 0x8F) {
            if (CheckDepth()) OpenMap(type & 0x0Fu);
            return;
        }
        if (type <= 0x9F) {
            if (CheckDepth()) OpenArray(type & 0x0Fu);
            return;
        }
        if (type <= 0xBF) return ReadString(type & 0x1Fu);
        switch (type) {
            case 0xC0:
                frames_.pop_back();  // nil: the slot keeps what it holds
                return;
            case 0xC2:
                return StoreScalar(false);
            case 0xC3:
                return StoreScalar(true);
            case 0xC4:
            case 0xC5:
            case 0xC6:
                return ReadBlob(size_t{1} << (type - 0xC4));
            case 0xCA:
                return ReadFloat32();
            case 0xCB:
                return ReadFloat64();
            case 0xCC:
            case 0xCD:
            case 0xCE:
            case 0xCF:
                return ReadUnsigned(size_t{1} << (type - 0xCC));
            case 0xD0:
            case 0xD1:
            case 0xD2:
            case 0xD3:
                return ReadSigned(size_t{1} << (type - 0xD0));
            case 0xD9:
            case 0xDA:
            case 0xDB:
                return ReadSizedString(size_t{1} << (type - 0xD9));
            case 0xDC:
                return ReadArrayHeader(2);
            case 0xDD:
                return ReadArrayHeader(4);
            case 0xDE:
                return ReadMapHeader(2);
            case 0xDF:
                return ReadMapHeader(4);
            default:  // 0xC1 is never used; ext and fixext types are not supported
                Fail(kInvalidTypeMessage, position_);
                return;
        }
    }

    template <class Scalar>
    void StoreScalar(Scalar scalar) {
        *frames_.back().value = std::move(scalar);
        frames_.pop_back();
    }

    void ReadUnsigned(size_t width) {
        uint64_t value = 0;
        if (ReadBigEndian(width, value)) StoreScalar(value);
    }

    void ReadSigned(size_t width) {
        uint64_t bits = 0;
        if (!ReadBigEndian(width, bits)) return;
        // Moves the sign bit of the field to bit 63, then shifts it back down.
        const int shift = static_cast<int>(64 - 8 * width);
        StoreScalar(static_cast<int64_t>(bits << shift) >> shift);
    }

    void ReadFloat32() {
        uint64_t bits = 0;
        if (!ReadBigEndian(4, bits)) return;
        StoreScalar(static_cast<double>(std::bit_cast<float>(static_cast<uint32_t>(bits))));
    }

    void ReadFloat64() {
        uint64_t bits = 0;
        if (ReadBigEndian(8, bits)) StoreScalar(std::bit_cast<double>(bits));
    }

    void ReadSizedString(size_t lengthWidth) {
        uint64_t length = 0;
        if (ReadBigEndian(lengthWidth, length)) ReadString(length);
    }

    void ReadString(uint64_t length) {
        const uint8_t* text = nullptr;
        if (!TakePayload(length, kStringTruncatedMessage, text)) return;
        StoreScalar(
            std::string_view(reinterpret_cast<const char*>(text), static_cast<size_t>(length)));
    }

    void ReadBlob(size_t lengthWidth) {
        uint64_t length = 0;
        if (!ReadBigEndian(lengthWidth, length)) return;
        const uint8_t* data = nullptr;
        if (!TakePayload(length, kBytesTruncatedMessage, data)) return;
        StoreScalar(BindingBytes(data, data + length));
    }

    void ReadArrayHeader(size_t countWidth) {
        uint64_t count = 0;
        if (CheckDepth() && ReadBigEndian(countWidth, count)) OpenArray(count);
    }

    void ReadMapHeader(size_t countWidth) {
        uint64_t pairs = 0;
        if (CheckDepth() && ReadBigEndian(countWidth, pairs)) OpenMap(pairs);
    }

    // The depth was checked before the count was read.
    void OpenArray(uint64_t count) {
        Frame& slot = frames_.back();
        slot.value->MakeCollection();
        ReserveElements(*slot.value, count);
        slot.kind = FrameKind::Array;
        slot.count = count;
    }

    // Room for the elements an array announces, so that it does not regrow
    // while it fills. Every element takes at least one byte of input, so all
    // reservations together stay within the input's size: a header claiming
    // more than the input holds costs nothing.
    void ReserveElements(BindingProperty& collection, uint64_t count) {
        if (count > size_ - reservedElements_) return;
        reservedElements_ += static_cast<size_t>(count);
        collection.Reserve(static_cast<size_t>(count));
    }

    void OpenMap(uint64_t pairs) {
        Frame& slot = frames_.back();
        slot.value->MakeStructure();
        slot.kind = FrameKind::Map;
        slot.count = pairs * 2;  // at most 2^33 - 2: no overflow in 64 bits
    }

    // Whether a container may open in the top slot, which is at depth
    // frames_.size() (the root's slot is at depth 1). Checked just after the
    // type byte, so the message names the same position as for a bad type.
    [[nodiscard]] bool CheckDepth() {
        if (frames_.size() <= internal::kMaxNestingDepth) return true;
        Fail(kTooDeepMessage, position_, internal::kMaxNestingDepth);
        return false;
    }

    // Reads a big-endian field of 1, 2, 4 or 8 bytes.
    [[nodiscard]] bool ReadBigEndian(size_t width, uint64_t& value) {
        if (size_ - position_ < width) {
            Fail(IntegerTruncatedMessage(width), position_);
            return false;
        }
        uint64_t result = 0;
        for (size_t i = 0; i < width; ++i) result = (result << 8) | bytes_[position_ + i];
        position_ += width;
        value = result;
        return true;
    }

    // Takes `length` bytes of payload; `message` names its size and position.
    [[nodiscard]] bool TakePayload(uint64_t length, const char* message, const uint8_t*& data) {
        if (size_ - position_ < length) {
            Fail(message, length, position_);
            return false;
        }
        data = bytes_ + position_;
        position_ += static_cast<size_t>(length);
        return true;
    }

    [[nodiscard]] NextItem FailTooManyItems() {
        Fail(kTooManyItemsMessage, position_, BindingProperty::kMaxCount);
        return NextItem::Done;
    }

    template <class... Args>
    void Fail(const char* message, const Args&... arguments) {
        status_.SetError(FormatMessage(message, arguments...));
    }

    const uint8_t* bytes_;
    size_t size_;
    size_t position_ = 0;
    size_t reservedElements_ = 0;  // elements reserved so far, at most size_
    BindingStatus& status_;
    std::vector<Frame> frames_;
};

}  // namespace

BindingStatus MessagePackToValue(const uint8_t* bytes, size_t size, size_t& consumed) {
    BindingStatus status;
    MessagePackReader reader(bytes, size, status);
    reader.Run();
    consumed = reader.Position();
    return status;
}

}  // namespace Nimbel
