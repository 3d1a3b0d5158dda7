// JsonValueBuilder: placing values, opening containers, and the refusals that
// keep hostile input from overflowing the stack or throwing.
#include "codecs/internal/json_value_builder.h"

#include <cmath>

namespace Nimbel::internal {

JsonValueBuilder::JsonValueBuilder(BindingProperty& root) : target_(&root) {
    open_.reserve(32);
}

BindingProperty* JsonValueBuilder::Place() {
    if (open_.empty() || !open_.back().isCollection) return target_;
    OpenContainer& collection = open_.back();
    if (collection.count >= BindingProperty::kMaxCount) {
        static_cast<void>(Refuse(Refusal::TooManyNodes));
        return nullptr;
    }
    ++collection.count;
    return &collection.node->Append();
}

bool JsonValueBuilder::Double(double value) {
    // Normal-precision conversion can overflow a number below the reader's own
    // limit ("1.8e308") to an infinity, which no JSON writer can write back.
    if (!std::isfinite(value)) return Refuse(Refusal::NumberNotFinite);
    return Store(value);
}

bool JsonValueBuilder::Key(const Ch* text, rapidjson::SizeType length, bool) {
    OpenContainer& structure = open_.back();
    const std::string_view name(text, length);
    if (structure.count >= BindingProperty::kMaxCount) {
        // Keys may repeat: only the structure knows how many members it has.
        structure.count = structure.node->Size();
        if (structure.count >= BindingProperty::kMaxCount &&
            structure.node->FindMember(name) == nullptr) {
            return Refuse(Refusal::TooManyNodes);
        }
    }
    ++structure.count;
    target_ = &(*structure.node)[name];
    return true;
}

bool JsonValueBuilder::Open(BindingPropertyKind kind) {
    if (open_.size() >= kMaxDepth) return Refuse(Refusal::TooDeep);
    BindingProperty* target = Place();
    if (target == nullptr) return false;
    const bool isCollection = kind == BindingPropertyKind::Collection;
    if (isCollection) {
        target->MakeCollection();
    } else {
        target->MakeStructure();
    }
    // A repeated key reopens a container that may already hold nodes.
    open_.push_back(OpenContainer{target, target->Size(), isCollection});
    return true;
}

bool JsonValueBuilder::Close() {
    open_.pop_back();
    return true;
}

bool JsonValueBuilder::Refuse(Refusal refusal) noexcept {
    refusal_ = refusal;
    return false;
}

}  // namespace Nimbel::internal
