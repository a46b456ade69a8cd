// The exclusion filters: whole-name matching, and that they never fail open
// (a refused expression, a match that cannot be decided).
#include <chrono>
#include <string>

#include <gtest/gtest.h>

#include "monitor/record_filter.h"

namespace
{
wxString Repeat(const wxString& piece, int times)
{
    wxString text;
    for (int i = 0; i < times; ++i)
        text += piece;
    return text;
}
}  // namespace

// An expression excludes a name only when it matches the whole of it, with
// any of its alternatives; empty excludes nothing.
TEST(RecordFilter, ExcludesWholeNamesOnly)
{
    RecordFilter filter;
    EXPECT_TRUE(filter.Admits(L"keepassxc", L""));
    EXPECT_TRUE(filter.Set(L"keepass(xc)?|1password|KeePass\\.exe", L"Private Browsing.*|.*\\(bank\\)", false).empty());
    EXPECT_FALSE(filter.StoresTitles());
    for (const wchar_t* module : {L"keepassxc", L"keepass", L"1password", L"KeePass.exe"})
        EXPECT_FALSE(filter.Admits(module, L"x")) << module;
    for (const wchar_t* module : {L"keepassxc-cli", L"my1password", L"KeePassXexe"})
        EXPECT_TRUE(filter.Admits(module, L"x")) << module;
    EXPECT_FALSE(filter.Admits(L"firefox", L"Private Browsing - Mozilla Firefox"));
    EXPECT_FALSE(filter.Admits(L"xterm", L"statement (bank)"));
    EXPECT_TRUE(filter.Admits(L"xterm", L"statement (bank) 2"));
    EXPECT_TRUE(filter.Admits(L"firefox", L"Mozilla Firefox - Private Browsing"));
    // Non-ASCII names match as characters, not bytes.
    EXPECT_TRUE(filter.Set(L"caf.", L"", true).empty());
    EXPECT_FALSE(filter.Admits(L"caf\u00e9", L"x"));
}

// A bad expression, or one that only compiles once anchored ("a)|(b"), is
// named with its text and keeps every change out until it is mended; good
// ones set again let changes through.
TEST(RecordFilter, RefusedExpressionKeepsEverythingOut)
{
    RecordFilter filter;
    const wxString problem = filter.Set(L"(keepass", L"a)|(b", true);
    EXPECT_TRUE(problem.Contains(L"\"(keepass\"") && problem.Contains(L"\"a)|(b\"")) << problem;
    EXPECT_FALSE(filter.Admits(L"xterm", L"b"));
    EXPECT_TRUE(filter.ExcludesModule(L"sh"));
    EXPECT_FALSE(filter.Set(L"[", L"", true).empty());
    EXPECT_FALSE(filter.Admits(L"xterm", L"plans"));
    EXPECT_TRUE(filter.Set(L"keepass", L"", true).empty());
    EXPECT_TRUE(filter.Admits(L"xterm", L"plans"));
}

// Patterns that backtrack without end on long titles are refused at load;
// the usual ones pass the probe.
TEST(RecordFilter, RunawayPatternsAreRefusedAtLoad)
{
    RecordFilter filter;
    for (const wchar_t* runaway : {L"(a+)+$", L"(\\w+\\s?)+:|.*Private Browsing.*", L"(x+x+)+[yz]",
                                   L"(.*a){12}"})
    {
        const wxString problem = filter.Set(wxString(), runaway, true);
        EXPECT_TRUE(problem.Contains(L"backtracks")) << runaway << ": " << problem;
    }
    for (const wchar_t* usual : {L".*Private Browsing.*|.*- Online Banking", L"(?i).*secret.*",
                                 L"[A-Z][a-z]+ [0-9]{4}", L".*\\.kdbx( \\[Locked\\])? - KeePassXC"})
        EXPECT_TRUE(filter.Set(wxString(), usual, true).empty()) << usual;
}

// A pattern that passes the probe yet runs away on one title: that match is
// given up within its bound and the change is excluded, not stored.
TEST(RecordFilter, UndecidedMatchExcludesQuickly)
{
    RecordFilter filter;
    ASSERT_TRUE(filter.Set(wxString(), L"(?:ab|a|b)+[cd]", true).empty());
    const wxString title = Repeat(L"ab", 126) + L"!";
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(filter.Admits(L"xterm", title));
    const auto spent = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(1, filter.UndecidedMatches());
    // Unbounded, this takes longer than the age of the machine.
    EXPECT_LT(spent, std::chrono::milliseconds(20));
    EXPECT_TRUE(filter.Admits(L"xterm", L"abc!"));
    EXPECT_FALSE(filter.Admits(L"xterm", L"ababc"));
}
