#include <gtest/gtest.h>

#include "monitor/activity_line.h"

namespace
{
wxDateTime LocalTime(int hour, int minute, int second, int millisecond)
{
    return wxDateTime(7, wxDateTime::Dec, 2026, hour, minute, second, millisecond);
}
}  // namespace

TEST(ActivityLine, MatchesTheDocumentedExampleCharacterForCharacter)
{
    const wxString line = FormatActivityLine(7, FormatActivityTime(LocalTime(9, 17, 5, 83)),
                                             L"notepad.exe", L"Untitled - Notepad", 918);
    EXPECT_EQ(line, L"007.  17:05:083     notepad.exe - Untitled - Notepad (918) \n");
}

TEST(ActivityLine, NumbersArePaddedToThreeDigitsButNeverCut)
{
    EXPECT_TRUE(FormatActivityLine(1, L"t", L"m", L"x", 1).StartsWith(L"001.  "));
    EXPECT_TRUE(FormatActivityLine(42, L"t", L"m", L"x", 1).StartsWith(L"042.  "));
    EXPECT_TRUE(FormatActivityLine(1000, L"t", L"m", L"x", 1).StartsWith(L"1000.  "));
    EXPECT_TRUE(FormatActivityLine(123456, L"t", L"m", L"x", 1).StartsWith(L"123456.  "));
}

TEST(ActivityLine, HandlePrintsAsSignedLow32Bits)
{
    EXPECT_TRUE(FormatActivityLine(1, L"t", L"m", L"x", 0x1c00007).EndsWith(L"(29360135) \n"));
    EXPECT_TRUE(FormatActivityLine(1, L"t", L"m", L"x", 0xFFFFFFFEu).EndsWith(L"(-2) \n"));
}

TEST(ActivityLine, TimeStampShowsMinutesSecondsMillisecondsOnly)
{
    EXPECT_EQ(FormatActivityTime(LocalTime(0, 0, 0, 0)), L"00:00:000");
    EXPECT_EQ(FormatActivityTime(LocalTime(23, 59, 59, 999)), L"59:59:999");
    // One hour apart reads the same: the hour is not part of the stamp.
    EXPECT_EQ(FormatActivityTime(LocalTime(10, 17, 5, 83)),
              FormatActivityTime(LocalTime(11, 17, 5, 83)));
}

TEST(ActivityLine, TitlesWithSeparatorsAndPercentSignsStayAsTheyAre)
{
    const wxString line = FormatActivityLine(3, L"00:00:000", L"a - b", L"%s %i - 100% - x", 5);
    EXPECT_EQ(line, L"003.  00:00:000     a - b - %s %i - 100% - x (5) \n");
}

// Neither a module (a Wayland app id is any text) nor a title can split
// the line or reorder it on screen: line breaks, escapes and every
// bidirectional control show as spaces; their neighbours, including
// look-alike characters that control nothing, stay.
TEST(ActivityLine, ModulesAndTitlesCannotSpoofTheLine)
{
    for (const wchar_t control : {L'\n', L'\r', L'\x1b', L'\x85', L'\u2028', L'\u202A', L'\u202B',
                                  L'\u202C', L'\u202D', L'\u202E', L'\u2066', L'\u2067', L'\u2068',
                                  L'\u2069', L'\u200E', L'\u200F', L'\u061C'})
    {
        const wxString hostile = wxString(L"a") + control + L"b";
        EXPECT_EQ(FormatActivityLine(1, L"t", hostile, hostile, 1), L"001.  t     a b - a b (1) \n")
            << std::hex << static_cast<unsigned>(control);
    }
    EXPECT_EQ(ShownText(L"\u202F\u2065\u206A\u200D x"), L"\u202F\u2065\u206A\u200D x");
}

// A program's last line is found by its number; text the user typed into
// the log, even a number, is not a line.
TEST(ActivityLine, TheLastLineOfANumberIsFoundWhereItsNumberStartsIt)
{
    const wxString log = L"001.  a (1) \nnote: 002.  typed\n002.  b (2) \n1002.  c \n002.  again (2) ";
    const auto found = FindNumberedLine(log, 2);
    ASSERT_TRUE(found);
    EXPECT_EQ(L"002.  again (2) ", log.Mid(found->first, found->second - found->first));
    EXPECT_EQ(L"001.  a (1) ", log.Left(FindNumberedLine(log, 1)->second));
    EXPECT_EQ(L"1002.  c ", log.Mid(FindNumberedLine(log, 1002)->first).BeforeFirst(L'\n'));
    EXPECT_FALSE(FindNumberedLine(log, 3));
}
