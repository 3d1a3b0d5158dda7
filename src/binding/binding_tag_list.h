// BindingTagList: the tag texts of a type, function or event description,
// which the API description and the help report and by which the built-in
// entries ("$builtin", "xclient") are told apart.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace Nimbel {

/// Texts in the order they were added; owns copies of them.
class BindingTagList {
public:
    /// Appends a copy of `text`; the empty text is ignored.
    void Add(std::string_view text);
    /// Appends copies of `texts` in order, as given.
    void Append(std::span<const std::string> texts);

    [[nodiscard]] const std::vector<std::string>& Texts() const noexcept { return texts_; }
    [[nodiscard]] size_t Size() const noexcept { return texts_.size(); }

private:
    std::vector<std::string> texts_;
};

}  // namespace Nimbel
