// JsonValueBuilder: placing values, opening containers, and the refusals that
// keep hostile input from overflowing the stack or throwing.
#include "codecs/internal/json_value_builder.h"

#include <cmath>

namespace Nimbel::internal {

JsonValueBuilder::JsonValueBuilder(BindingProperty& root) : target_(&root) {
    open_.reserve(32);
}

BindingProperty* JsonValueBuilder::Place() {
    if (open_.empty()) return target_;
    BindingProperty& top = *open_.back();
    if (top.Kind() != BindingPropertyKind::Collection) return target_;
    if (top.Size() >= BindingProperty::kMaxCount) {
        static_cast<void>(Refuse(Refusal::TooManyNodes));
        return nullptr;
    }
    return &top.Append();
}

bool JsonValueBuilder::Double(double value) {
    // Normal-precision conversion can overflow a number below the reader's own
    // limit ("1.8e308") to an infinity, which no JSON writer can write back.
    if (!std::isfinite(value)) return Refuse(Refusal::NumberNotFinite);
    return Store(value);
}

bool JsonValueBuilder::Key(const Ch* text, rapidjson::SizeType length, bool) {
    BindingProperty& structure = *open_.back();
    const std::string_view name(text, length);
    if (structure.Size() >= BindingProperty::kMaxCount && structure.FindMember(name) == nullptr) {
        return Refuse(Refusal::TooManyNodes);
    }
    target_ = &structure[name];
    return true;
}

bool JsonValueBuilder::Open(BindingPropertyKind kind) {
    if (open_.size() >= kMaxDepth) return Refuse(Refusal::TooDeep);
    BindingProperty* target = Place();
    if (target == nullptr) return false;
    if (kind == BindingPropertyKind::Collection) {
        target->MakeCollection();
    } else {
        target->MakeStructure();
    }
    open_.push_back(target);
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
