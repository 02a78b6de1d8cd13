#pragma once
// One row of a pill's dropdown: what it reads, whether it is ticked, and what choosing it does.

#include <functional>
#include <optional>
#include <string>

namespace brivio {

struct DropdownItem {
    std::string title;
    std::optional<std::string> icon; // symbol name
    bool isChecked = false;
    bool isSeparator = false;
    std::function<void()> action;
};

} // namespace brivio
