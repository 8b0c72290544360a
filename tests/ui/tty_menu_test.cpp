// A popup menu in the terminal: numbered items, a submenu's items indented under it, greyed
// ones without a number; what each answer chooses.
#include <gtest/gtest.h>

#include <cstdio>
#include <deque>

#include "frontends/tty/tty_frontend.h"

namespace vlt::frontends {
namespace {

std::vector<ui::MenuItem> shellMenu() {
    ui::MenuItem sub{0, "V &L T", false, false, false, {}};
    sub.submenu = {{12, "&UnLock File", false, false, false, {}},
                   {0, "", true, false, false, {}},
                   {13, "&About", false, false, false, {}}};
    return {{10, "&Lock File", false, false, false, {}}, {11, "&Grant File", false, true, false, {}}, sub};
}

struct MenuCase {
    std::vector<std::string> lines;  // what is typed; the end of input after them
    bool interactive;
    UINT chosen;
};

class TtyMenu : public ::testing::TestWithParam<MenuCase> {};

TEST_P(TtyMenu, AnswerChoosesANumberedItem) {
    std::deque<std::string> lines(GetParam().lines.begin(), GetParam().lines.end());
    TtyOptions options;
    options.interactive = GetParam().interactive;
    options.readLine = [&lines]() -> std::optional<std::string> {
        if (lines.empty()) return std::nullopt;
        std::string line = lines.front();
        lines.pop_front();
        return line;
    };
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&buffer, &size);
    ASSERT_NE(out, nullptr);
    UINT chosen = 0;
    {
        TtyFrontend tty(options, out);
        ui::PopupMenuRequest request;
        request.items = shellMenu();
        chosen = tty.popupMenu(request);
    }
    std::fclose(out);
    const std::string shown(buffer, size);
    std::free(buffer);
    EXPECT_EQ(chosen, GetParam().chosen) << shown;
    EXPECT_EQ(shown.rfind("  1. Lock File\n  -. Grant File (unavailable)\n  V L T:\n    2. UnLock File\n    ----\n"
                          "    3. About\n",
                          0),
              0u)
        << shown;
}

INSTANTIATE_TEST_SUITE_P(Answers, TtyMenu,
                         ::testing::Values(MenuCase{{"2"}, true, 12}, MenuCase{{"1"}, true, 10},
                                           MenuCase{{"x", "0", "4", "3"}, true, 13}, MenuCase{{""}, true, 0},
                                           MenuCase{{}, true, 0}, MenuCase{{"1"}, false, 0}));

}  // namespace
}  // namespace vlt::frontends
