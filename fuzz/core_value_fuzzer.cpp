// Fuzz target for CoreValueToProperty fed records that a hostile core or peer
// could send. The bytes describe a tree of records, which the target builds
// in memory of its own (pointers are valid wherever the description gives an
// array, and null where it says so) and then converts. Any tree gives a value
// or a refusal in the result record, never a crash, an exception or a value
// deeper than the nesting limit; an accepted value survives being made into
// records by the plug-in and read back.
//
// The description, read byte by byte (a missing byte reads as 0):
//   op % 16   record
//   0         empty
//   1         bool: A is the next byte, B garbage
//   2, 3, 4   signed, unsigned, double: A and B from 8 bytes each, garbage
//             above bit 31 included
//   5, 6      string, borrowed or owned: a length byte, then the text
//   7, 8      blob, borrowed or owned: a length byte, then the bytes
//   9         collection: a count byte (% 8), then each element
//   10        structure: a count byte (% 8), then per entry a name (a length
//             byte, 255 for a null name, then the text) and its value
//   11        a chain of collections and structures, 2 bytes of length
//             (up to 65,535 levels, times 2 for the next byte's low bit),
//             around one more record
//   12        a collection or structure whose 8-byte count is above the
//             container limit, over an array of one element
//   13        a collection, structure or blob with a count but a null pointer
//   14, 15    a kind outside 0 to 10
// Records nest by description only down to kMaxDescribedDepth; past that each
// record is empty, so the target itself never recurses deeply. Deep nesting
// comes from chains, which are built without recursion.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "binding/binding_property.h"
#include "binding/core_value.h"
#include "support/reader_invariants.h"
#include "support/value_equivalence.h"

namespace {

using namespace Nimbel;

constexpr size_t kMaxDescribedDepth = 64;

class Input {
public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    [[nodiscard]] uint8_t Byte() { return position_ < size_ ? data_[position_++] : 0; }
    [[nodiscard]] uint64_t Bytes(size_t count) {
        uint64_t value = 0;
        for (size_t i = 0; i < count; ++i) value |= uint64_t{Byte()} << (8 * i);
        return value;
    }
    [[nodiscard]] std::string Text(size_t length) {
        std::string text;
        for (size_t i = 0; i < length && position_ < size_; ++i) text += static_cast<char>(Byte());
        return text;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
};

template <class T>
KzoWord Word(const T* pointer) {
    return reinterpret_cast<KzoWord>(pointer);
}

/// Builds the described records and owns every array and text they point at.
/// Elements live in deques of arrays whose size is fixed before they are
/// filled, so pointers handed out stay valid while more is built.
class RecordTreeBuilder {
public:
    explicit RecordTreeBuilder(Input& input) : input_(input) {}

    [[nodiscard]] CoreValue Build(size_t depth) {
        if (depth > kMaxDescribedDepth) return CoreValue{};
        const uint8_t op = input_.Byte() % 16;
        switch (op) {
            case 0:
                return CoreValue{};
            case 1:
                return CoreValue{kCoreValueBool, Wide(input_.Bytes(1)), Wide(input_.Bytes(1))};
            case 2:
                return Number(kCoreValueSigned);
            case 3:
                return Number(kCoreValueUnsigned);
            case 4:
                return Number(kCoreValueDouble);
            case 5:
            case 6: {
                const std::string& text = Keep(input_.Text(input_.Byte()));
                const KzoKind kind = op == 5 ? kCoreValueStringBorrowed : kCoreValueStringOwned;
                return CoreValue{kind, Word(text.c_str()), text.size()};
            }
            case 7:
            case 8: {
                const std::string& bytes = Keep(input_.Text(input_.Byte()));
                const KzoKind kind = op == 7 ? kCoreValueBlobBorrowed : kCoreValueBlobOwned;
                return CoreValue{kind, bytes.empty() ? 0 : Word(bytes.data()), bytes.size()};
            }
            case 9:
                return Collection(input_.Byte() % 8, depth);
            case 10:
                return Structure(input_.Byte() % 8, depth);
            case 11:
                return Chain(depth);
            case 12: {
                const auto count = static_cast<KzoWord>(
                    BindingProperty::kMaxCount + 1 +
                    input_.Bytes(8) % (~KzoWord{0} - BindingProperty::kMaxCount));
                CoreValue value =
                    input_.Byte() % 2 == 0 ? Collection(1, depth) : Structure(1, depth);
                value.b = count;
                return value;
            }
            case 13: {
                static constexpr KzoKind kKinds[] = {kCoreValueCollection, kCoreValueStructure,
                                                     kCoreValueBlobBorrowed, kCoreValueBlobOwned};
                const KzoKind kind = kKinds[input_.Byte() % 4];
                return CoreValue{kind, 0, static_cast<KzoWord>(1 + input_.Bytes(8) % ~KzoWord{0})};
            }
            default:
                return CoreValue{KzoWord{11} + input_.Byte(), Wide(input_.Bytes(8)),
                                 Wide(input_.Bytes(8))};
        }
    }

private:
    using KzoKind = KzoWord;

    // A word of the size the platform's is here, from up to 64 bits.
    static KzoWord Wide(uint64_t bits) { return static_cast<KzoWord>(bits); }

    [[nodiscard]] CoreValue Number(KzoKind kind) {
        return CoreValue{kind, Wide(input_.Bytes(8)), Wide(input_.Bytes(8))};
    }

    [[nodiscard]] const std::string& Keep(std::string text) {
        return texts_.emplace_back(std::move(text));
    }

    [[nodiscard]] CoreValue Collection(size_t count, size_t depth) {
        std::vector<CoreValue>& elements = values_.emplace_back(count);
        for (CoreValue& element : elements) element = Build(depth + 1);
        return CoreValue{kCoreValueCollection, count == 0 ? 0 : Word(elements.data()), count};
    }

    [[nodiscard]] CoreValue Structure(size_t count, size_t depth) {
        std::vector<CoreStructEntry>& entries = entries_.emplace_back(count);
        for (CoreStructEntry& entry : entries) {
            const uint8_t length = input_.Byte();
            entry.name = length == 255 ? nullptr : Keep(input_.Text(length)).c_str();
            entry.ownsName = input_.Byte() % 2;  // never read by the conversion
            entry.value = Build(depth + 1);
        }
        return CoreValue{kCoreValueStructure, count == 0 ? 0 : Word(entries.data()), count};
    }

    // Collections, or collections and structures by turns, each holding the
    // next, around one described record.
    [[nodiscard]] CoreValue Chain(size_t depth) {
        const size_t levels = static_cast<size_t>(input_.Bytes(2)) * (input_.Byte() % 2 + 1);
        const bool mixed = input_.Byte() % 2 == 1;
        std::vector<CoreValue>& links = values_.emplace_back(levels + 1);
        std::vector<CoreStructEntry>& entries = entries_.emplace_back(levels);
        links[levels] = Build(depth + 1);
        for (size_t i = levels; i-- > 0;) {
            if (mixed && i % 2 == 1) {
                entries[i].name = "k";
                entries[i].value = links[i + 1];
                links[i] = CoreValue{kCoreValueStructure, Word(&entries[i]), 1};
            } else {
                links[i] = CoreValue{kCoreValueCollection, Word(&links[i + 1]), 1};
            }
        }
        return links.front();
    }

    Input& input_;
    std::deque<std::vector<CoreValue>> values_;
    std::deque<std::vector<CoreStructEntry>> entries_;
    std::deque<std::string> texts_;
};

constexpr std::string_view kRefusalStart = "Couldn't assign value to '<result>' ";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input input(data, size);
    RecordTreeBuilder builder(input);
    const CoreValue record = builder.Build(0);

    alignas(KzoWord) CoreResponse result{};
    BindingProperty value;
    if (!CoreValueToProperty(&result, value, record, "<result>")) {
        fuzzing::Require(result.errorText != nullptr && result.ownsErrorText == 1,
                         "a refusal is reported in the result record");
        fuzzing::Require(std::string_view(result.errorText).starts_with(kRefusalStart),
                         "a refusal names the root");
        fuzzing::Require(result.value.kind == kCoreValueEmpty, "the result's value is released");
        CoreResultReleaseError(result);
        fuzzing::Require(fuzzing::NestingDepth(value) <= kMaxCoreValueDepth,
                         "what was converted before the refusal is within the limit");
        return 0;
    }
    fuzzing::Require(result.errorText == nullptr, "an accepted record reports nothing");
    fuzzing::Require(fuzzing::NestingDepth(value) <= kMaxCoreValueDepth,
                     "nesting within the limit");

    // The plug-in's own records of the value read back as the same value,
    // and releasing them returns every block.
    CoreValue copy{};
    PropertyToCoreValue(copy, value, nullptr);
    BindingProperty back;
    fuzzing::Require(CoreValueToProperty(nullptr, back, copy, "<result>"),
                     "the plug-in's records convert");
    fuzzing::Require(fuzz::SameValue(back, value), "the value survives its own records");
    CoreValueRelease(copy);
    fuzzing::Require(copy.kind == kCoreValueEmpty && copy.a == 0 && copy.b == 0,
                     "a released record is zero");
    return 0;
}
