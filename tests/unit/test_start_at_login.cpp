#include <gtest/gtest.h>

#include "platform/linux/start_at_login.h"

// A path no entry can hold: no entry, and a reason that shows the path on
// one readable line and says what is wrong with it.
TEST(AutostartEntry, RefusesPathsThatAreNotPlainTextAndSaysWhy)
{
    const struct
    {
        std::string path;
        const wchar_t* shown;
        const wchar_t* why;
    } cases[] = {
        {"/opt/line\nbreak/Corvalin", L"\"/opt/line\uFFFDbreak/Corvalin\"", L"line break"},
        {"/opt/tab\tand\xc2\x85/Corvalin", L"\"/opt/tab\uFFFDand\uFFFD/Corvalin\"", L"control"},
        {"/opt/byte\xff/Corvalin", L"\"/opt/byte\uFFFD/Corvalin\"", L"not UTF-8"},
    };
    for (const auto& c : cases)
    {
        std::string entry;
        wxString problem;
        EXPECT_FALSE(AutostartEntry(c.path, entry, problem));
        EXPECT_TRUE(entry.empty());
        EXPECT_TRUE(problem.Contains(c.shown) && problem.Contains(c.why)) << problem;
    }
}
