#pragma once

#include <string_view>

namespace vandrel {

// A yes/no question put to the user; the user-interface layer shows it as a
// message box with a question icon, owned by the active window.
class UserQuestion {
public:
    virtual ~UserQuestion() = default;
    // True when the user answers Yes.
    virtual bool AskYesNo(std::string_view caption, std::string_view text) = 0;
};

}  // namespace vandrel
