#include "api/api_description.h"

#include <cstdint>

#include "binding/binding_type_registry.h"

namespace Nimbel {
namespace {

constexpr const char* kNoText = "";

[[nodiscard]] KzoWord Word(BindingTypeKind kind) noexcept {
    return static_cast<KzoWord>(kind);
}

[[nodiscard]] bool NamesRegisteredType(BindingTypeKind kind) noexcept {
    return kind == BindingTypeKind::Struct || kind == BindingTypeKind::Enum ||
           kind == BindingTypeKind::Vector || kind == BindingTypeKind::Map;
}

// A second type, when one was registered, is what the description reports.
[[nodiscard]] const BindingTypeRef& Reported(const BindingTypeRef& first,
                                             const BindingTypeRef& second) noexcept {
    return second.kind != BindingTypeKind::None ? second : first;
}

[[nodiscard]] const char* TypeNameOf(const BindingTypeRef& type) noexcept {
    if (NamesRegisteredType(type.kind) && type.description != nullptr) {
        return type.description->name.c_str();
    }
    return kNoText;
}

// Chains each record of `records` to the one after it; the last gets 0.
template <class Record>
void Chain(std::vector<Record>& records) {
    for (size_t i = 0; i < records.size(); ++i) {
        records[i].next = i + 1 < records.size() ? &records[i + 1] : nullptr;
    }
}

[[nodiscard]] const char* const* TagArray(ApiDescription& storage, const BindingTagList& tags) {
    std::vector<const char*>& texts = storage.tagArrays.emplace_back();
    for (const std::string& tag : tags.Texts()) texts.push_back(tag.c_str());
    return texts.data();
}

[[nodiscard]] const ArgumentRecord* ArgumentArray(ApiDescription& storage,
                                                  const BindingFunctionDescription& function) {
    std::vector<ArgumentRecord>& records = storage.argumentArrays.emplace_back();
    records.resize(function.arguments.size());
    for (size_t i = 0; i < records.size(); ++i) {
        const BindingArgumentDescription& argument = function.arguments[i];
        const BindingTypeRef& type = Reported(argument.type, argument.secondType);
        ArgumentRecord record{};
        record.name = argument.name.c_str();
        record.description = argument.description.c_str();
        record.kind = Word(type.kind);
        record.elementKind = Word(type.elementKind);
        record.typeName = TypeNameOf(type);
        record.optional = argument.optional ? 1 : 0;
        records[i] = record;
    }
    Chain(records);
    return records.data();
}

[[nodiscard]] FunctionRecord FunctionRecordOf(ApiDescription& storage,
                                              const BindingFunctionDescription& function) {
    const BindingTypeRef& result = Reported(function.result, function.secondResult);
    FunctionRecord record{};
    record.name = function.name.c_str();
    record.nameSpace = function.namespaceText.c_str();
    record.arguments = ArgumentArray(storage, function);
    record.argumentCount = function.arguments.size();
    record.resultKind = Word(result.kind);
    record.resultElementKind = Word(result.elementKind);
    record.resultTypeName = TypeNameOf(result);
    record.description = function.description.c_str();
    record.help = function.help.c_str();
    record.threadSafe = function.threadSafe ? 1 : 0;
    record.asyncTypeName = function.async && function.asyncType != nullptr
                               ? function.asyncType->name.c_str()
                               : kNoText;
    record.tags = TagArray(storage, function.tags);
    record.tagCount = function.tags.Size();
    return record;
}

[[nodiscard]] const FieldRecord* FieldArray(ApiDescription& storage,
                                            const BindingTypeDescription& type) {
    std::vector<FieldRecord>& records = storage.fieldArrays.emplace_back();
    records.resize(type.fields.size());
    for (size_t i = 0; i < records.size(); ++i) {
        const BindingFieldDescription& field = type.fields[i];
        const BindingTypeRef& fieldType = Reported(field.type, field.secondType);
        FieldRecord record{};
        record.name = field.name.c_str();
        record.description = field.description.c_str();
        record.offset = field.position;
        record.kind = Word(fieldType.kind);
        record.elementKind = Word(fieldType.elementKind);
        record.typeName = TypeNameOf(fieldType);
        record.optional = field.optional ? 1 : 0;
        records[i] = record;
    }
    Chain(records);
    return records.data();
}

[[nodiscard]] const EnumeratorRecord* EnumeratorArray(ApiDescription& storage,
                                                      const BindingTypeDescription& type) {
    std::vector<EnumeratorRecord>& records = storage.enumeratorArrays.emplace_back();
    for (const auto& [name, enumerator] : type.enumerators) {
        EnumeratorRecord record{};
        record.name = enumerator.name.c_str();
        record.description = enumerator.description.c_str();
        // Sign-extended, so that the word read as a signed number is the value.
        record.value = static_cast<KzoWord>(static_cast<intptr_t>(enumerator.value));
        records.push_back(record);
    }
    Chain(records);
    return records.data();
}

[[nodiscard]] TypeRecord TypeRecordOf(ApiDescription& storage, const BindingTypeDescription& type) {
    TypeRecord record{};
    record.name = type.name.c_str();
    record.nameSpace = kNoText;
    record.size = type.nativeSize;
    record.description = type.description.c_str();
    record.tags = TagArray(storage, type.tags);
    record.tagCount = type.tags.Size();
    if (!type.fields.empty()) {
        record.fields = FieldArray(storage, type);
        record.memberCount = type.fields.size();
    } else {
        record.enumerators = EnumeratorArray(storage, type);
        record.memberCount = type.enumerators.size();
    }
    return record;
}

[[nodiscard]] EventRecord EventRecordOf(ApiDescription& storage,
                                        const BindingEventDescription& event) {
    EventRecord record{};
    record.name = event.name.c_str();
    record.nameSpace = event.namespaceText.c_str();
    record.typeName = event.payload != nullptr ? event.payload->name.c_str() : kNoText;
    record.description = event.description.c_str();
    record.tags = TagArray(storage, event.tags);
    record.tagCount = event.tags.Size();
    return record;
}

}  // namespace

ApiDescription& BuildApiDescription(BindingTypeRegistry& registry) {
    const auto functions = registry.FunctionSnapshot();
    const auto types = registry.TypeSnapshot();
    const auto events = registry.EventSnapshot();

    ApiDescription& storage = registry.ReplaceApiDescription<ApiDescription>();
    storage.functions.reserve(functions.size());
    for (const BindingFunctionDescription* function : functions) {
        storage.functions.push_back(FunctionRecordOf(storage, *function));
    }
    storage.types.reserve(types.size());
    for (const BindingTypeDescription* type : types) {
        storage.types.push_back(TypeRecordOf(storage, *type));
    }
    storage.events.reserve(events.size());
    for (const BindingEventDescription* event : events) {
        storage.events.push_back(EventRecordOf(storage, *event));
    }
    Chain(storage.functions);
    Chain(storage.types);
    Chain(storage.events);

    ApiDescriptionRoot root{};
    root.types = storage.types.empty() ? nullptr : storage.types.data();
    root.typeCount = storage.types.size();
    root.events = storage.events.empty() ? nullptr : storage.events.data();
    root.eventCount = storage.events.size();
    storage.root = root;
    return storage;
}

}  // namespace Nimbel
