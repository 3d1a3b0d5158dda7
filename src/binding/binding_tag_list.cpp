// Tag lists of descriptions.
#include "binding/binding_tag_list.h"

namespace Nimbel {

void BindingTagList::Add(std::string_view text) {
    if (!text.empty()) texts_.emplace_back(text);
}

void BindingTagList::Append(std::span<const std::string> texts) {
    texts_.insert(texts_.end(), texts.begin(), texts.end());
}

}  // namespace Nimbel
