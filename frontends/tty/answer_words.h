// What a person may type to answer a message box in the terminal.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vlt::frontends::tty {

// The button an answer names, without regard to case or surrounding blanks: a button's word
// ("yes", "cancel") or its first letter, and y/yes for OK, n/no for the Cancel beside it.
// nullopt for anything else.
std::optional<int> buttonFor(const std::string& answer, const std::vector<int>& buttons);

// The question's prompt, saying what it takes: "Answer yes or no (y/n, Enter for no): ".
std::string answerPrompt(const std::vector<int>& buttons, int fallback);

}  // namespace vlt::frontends::tty
