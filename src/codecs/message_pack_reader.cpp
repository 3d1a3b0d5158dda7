// The MessagePack reader: one pass over the bytes with an explicit stack of
// open nodes, so that nesting costs heap, never call depth.
#include "codecs/message_pack_reader.h"

#include <bit>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "binding/tree_builder.h"
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

enum class FrameKind : uint8_t { Array, Map };

// One open container: how many items it announced (a map counts keys and
// values apart), the next item, the position of its type byte, and for a map
// the last key read (a view of the input).
struct Frame {
    uint64_t count = 0;
    uint64_t index = 0;
    size_t header = 0;
    std::string_view key;
    FrameKind kind = FrameKind::Array;
};

// Reads one value into a tree builder: the builder places each value in the
// innermost open container, and each container is stored when its announced
// items are all read.
class MessagePackReader {
public:
    MessagePackReader(const uint8_t* bytes, size_t size, BindingStatus& status)
        : bytes_(bytes),
          size_(size),
          status_(status),
          tree_(status.Value(), RepeatedNameRule::OverlayCollections) {
        frames_.reserve(16);
    }

    void Run() {
        while (status_.Ok() && CloseFinishedContainers() && !rootDone_ && position_ < size_) {
            if (frames_.empty()) {
                ReadValue();
                continue;
            }
            Frame& top = frames_.back();
            if (top.kind == FrameKind::Array) {
                if (top.index >= BindingProperty::kMaxCount) return FailTooManyItems();
                ++top.index;
                ReadValue();
            } else if (top.index % 2 == 0) {
                ++top.index;
                ReadKey(top);
            } else {
                if (!MayAddMember(top.key)) return FailTooManyItems();
                ++top.index;
                tree_.Key(top.key);
                ReadValue();
            }
        }
        if (status_.Ok()) FailIfRootIsOpen();
    }

    [[nodiscard]] size_t Position() const noexcept { return position_; }

private:
    // Stores every container whose items have all been read; the root is
    // complete when the last one closes.
    [[nodiscard]] bool CloseFinishedContainers() {
        while (!frames_.empty() && frames_.back().index == frames_.back().count) {
            if (!tree_.Close()) {
                FailTooManyItems();
                return false;
            }
            frames_.pop_back();
            if (frames_.empty()) rootDone_ = true;
        }
        return true;
    }

    // At the end of the input: the root must be complete, or never begun
    // (an empty input). Otherwise the innermost container still expecting
    // items is named, with the count its header announced (pairs for a map).
    void FailIfRootIsOpen() {
        if (frames_.empty()) return;
        const Frame& open = frames_.back();
        if (open.kind == FrameKind::Array) {
            Fail(kArrayTruncatedMessage, open.count, open.header);
        } else {
            Fail(kMapTruncatedMessage, open.count / 2, open.header);
        }
    }

    // Whether the map may take a member of that name: it may always reuse one.
    [[nodiscard]] bool MayAddMember(std::string_view name) {
        if (tree_.OpenCount() < BindingProperty::kMaxCount) return true;
        if (!tree_.CombineRepeatedNames()) return false;
        return tree_.OpenCount() < BindingProperty::kMaxCount || tree_.HasOpenMember(name);
    }

    void ReadKey(Frame& map) {
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
        map.key =
            std::string_view(reinterpret_cast<const char*>(text), static_cast<size_t>(length));
    }

    void ReadValue() {
        const size_t header = position_;
        const uint8_t type = bytes_[position_++];
        if (type <= 0x7F) {
            tree_.Signed(type);
            return Stored();
        }
        if (type >= 0xE0) {
            tree_.Signed(static_cast<int8_t>(type));
            return Stored();
        }
        if (type <= 0x8F) {
            if (CheckDepth()) OpenMap(type & 0x0Fu, header);
            return;
        }
        if (type <= 0x9F) {
            if (CheckDepth()) OpenArray(type & 0x0Fu, header);
            return;
        }
        if (type <= 0xBF) return ReadString(type & 0x1Fu);
        switch (type) {
            case 0xC0:
                tree_.Empty();
                return Stored();  // nil: the slot keeps what it holds
            case 0xC2:
                tree_.Bool(false);
                return Stored();
            case 0xC3:
                tree_.Bool(true);
                return Stored();
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
                return ReadArrayHeader(2, header);
            case 0xDD:
                return ReadArrayHeader(4, header);
            case 0xDE:
                return ReadMapHeader(2, header);
            case 0xDF:
                return ReadMapHeader(4, header);
            default:  // 0xC1 is never used; ext and fixext types are not supported
                Fail(kInvalidTypeMessage, position_);
                return;
        }
    }

    // A scalar was placed: at the root, the value is complete.
    void Stored() noexcept {
        if (frames_.empty()) rootDone_ = true;
    }

    void ReadUnsigned(size_t width) {
        uint64_t value = 0;
        if (ReadBigEndian(width, value)) {
            tree_.Unsigned(value);
            Stored();
        }
    }

    void ReadSigned(size_t width) {
        uint64_t bits = 0;
        if (!ReadBigEndian(width, bits)) return;
        // Moves the sign bit of the field to bit 63, then shifts it back down.
        const int shift = static_cast<int>(64 - 8 * width);
        tree_.Signed(static_cast<int64_t>(bits << shift) >> shift);
        Stored();
    }

    void ReadFloat32() {
        uint64_t bits = 0;
        if (!ReadBigEndian(4, bits)) return;
        tree_.Float(static_cast<double>(std::bit_cast<float>(static_cast<uint32_t>(bits))));
        Stored();
    }

    void ReadFloat64() {
        uint64_t bits = 0;
        if (ReadBigEndian(8, bits)) {
            tree_.Float(std::bit_cast<double>(bits));
            Stored();
        }
    }

    void ReadSizedString(size_t lengthWidth) {
        uint64_t length = 0;
        if (ReadBigEndian(lengthWidth, length)) ReadString(length);
    }

    void ReadString(uint64_t length) {
        const uint8_t* text = nullptr;
        if (!TakePayload(length, kStringTruncatedMessage, text)) return;
        tree_.String(
            std::string_view(reinterpret_cast<const char*>(text), static_cast<size_t>(length)));
        Stored();
    }

    void ReadBlob(size_t lengthWidth) {
        uint64_t length = 0;
        if (!ReadBigEndian(lengthWidth, length)) return;
        const uint8_t* data = nullptr;
        if (!TakePayload(length, kBytesTruncatedMessage, data)) return;
        tree_.Blob(std::span<const uint8_t>(data, static_cast<size_t>(length)));
        Stored();
    }

    void ReadArrayHeader(size_t countWidth, size_t header) {
        uint64_t count = 0;
        if (CheckDepth() && ReadBigEndian(countWidth, count)) OpenArray(count, header);
    }

    void ReadMapHeader(size_t countWidth, size_t header) {
        uint64_t pairs = 0;
        if (CheckDepth() && ReadBigEndian(countWidth, pairs)) OpenMap(pairs, header);
    }

    // The depth was checked before the count was read.
    void OpenArray(uint64_t count, size_t header) {
        tree_.OpenCollection();
        frames_.push_back(Frame{count, 0, header, {}, FrameKind::Array});
    }

    void OpenMap(uint64_t pairs, size_t header) {
        tree_.OpenStructure();
        // At most 2^33 - 2 items: no overflow in 64 bits.
        frames_.push_back(Frame{pairs * 2, 0, header, {}, FrameKind::Map});
    }

    // Whether a container may open at the depth of the value being read: one
    // below the open containers (the root is at depth 1). Checked just after
    // the type byte, so the message names the same position as for a bad type.
    [[nodiscard]] bool CheckDepth() {
        if (frames_.size() + 1 <= internal::kMaxNestingDepth) return true;
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

    void FailTooManyItems() { Fail(kTooManyItemsMessage, position_, BindingProperty::kMaxCount); }

    template <class... Args>
    void Fail(const char* message, const Args&... arguments) {
        status_.SetError(FormatMessage(message, arguments...));
    }

    const uint8_t* bytes_;
    size_t size_;
    size_t position_ = 0;
    bool rootDone_ = false;
    BindingStatus& status_;
    TreeBuilder tree_;
    std::vector<Frame, CountingAllocator<Frame>> frames_;
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
