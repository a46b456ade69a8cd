// The record report: times as records and users write them, and the sums
// over crafted record files (several runs, damaged, cut, foreign and older
// lines), read the way --report reads them.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "monitor/holds_report.h"
#include "monitor/record_time.h"
#include "support/scoped_zone.h"
#include "support/temp_folder.h"

namespace
{
// 2026-12-08T17:00:00+01:00
constexpr std::int64_t kFive = 1796745600000;

// A record line as Corvalin writes it; `rest` holds the newer keys, or
// nothing for a line of an earlier version.
std::string Line(int number, const char* time, const char* module, int handle,
                 const std::string& rest = std::string())
{
    return std::string("{\"time\":\"2026-12-08T") + time + "+01:00\",\"number\":" +
           std::to_string(number) + ",\"module\":\"" + module +
           "\",\"path\":\"\",\"pid\":1,\"class\":\"C\",\"title\":\"t\",\"handle\":" +
           std::to_string(handle) + ",\"seen\":\"event\"" + rest + "}";
}
std::string New(const char* held, const char* unprompted)
{
    return std::string(",\"held_ms\":") + held + ",\"idle_ms\":null,\"unprompted\":" + unprompted +
           ",\"request\":null";
}

// The newest lines' keys of who is behind a change that the report reads;
// null for an empty text.
std::string Culprit(const char* program, const char* launcher, const char* cmdline)
{
    const auto text = [](const char* value) { return *value ? '"' + std::string(value) + '"' : "null"; };
    return ",\"cmdline\":" + text(cmdline) + ",\"unit\":null,\"launcher\":" + text(launcher) +
           ",\"program\":" + text(program);
}

ReportedProgram Find(const std::vector<ReportedProgram>& programs, const std::string& module)
{
    for (const ReportedProgram& program : programs)
        if (program.module == module)
            return program;
    return ReportedProgram{};
}

class HoldsReportTest : public ::testing::Test
{
protected:
    std::string Write(const std::string& name, const std::string& text)
    {
        std::ofstream(folder.Path(name), std::ios::binary) << text;
        return folder.Path(name);
    }
    // Runs the report; its status, with stdout and stderr kept.
    int Run(std::vector<wxString> args)
    {
        char *out = nullptr, *err = nullptr;
        size_t outSize = 0, errSize = 0;
        std::FILE* outFile = open_memstream(&out, &outSize);
        std::FILE* errFile = open_memstream(&err, &errSize);
        const int status = RunReport(args, outFile, errFile);
        std::fclose(outFile), std::fclose(errFile);
        output.assign(out, outSize), errors.assign(err, errSize);
        std::free(out), std::free(err);
        return status;
    }

    TempFolder folder;
    std::string output, errors;
};
}  // namespace

TEST(ReportTimes, RecordTimesNeedTheirOffset)
{
    EXPECT_EQ(kFive + 83, ParseRecordTime("2026-12-08T17:00:00.083+01:00"));
    EXPECT_EQ(kFive, ParseRecordTime("2026-12-08T16:00:00Z"));
    EXPECT_EQ(kFive + 500, ParseRecordTime("2026-12-08T12:30:00.5-0330"));
    for (const char* bad : {"2026-12-08T17:00:00.083", "2026-12-08", "2026-02-29T10:00:00Z",
                            "2026-12-08T24:00:00Z", "2026-12-08T17:00:00+01:00 ", "17:00",
                            "2026-12-08T17:00:00+1:00", ""})
        EXPECT_FALSE(ParseRecordTime(bad).has_value()) << bad;
}

TEST(ReportTimes, UserTimesAreLocalUnlessTheySayOtherwise)
{
    ScopedZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
    EXPECT_EQ(kFive, ParseUserTime("2026-12-08T17:00"));
    EXPECT_EQ(kFive, ParseUserTime("2026-12-08 17:00:00"));
    EXPECT_EQ(kFive + 3 * 3600000, ParseUserTime("2026-12-08T17:00:00-02:00"));
    // Summer time in the same zone: an hour less from UTC.
    EXPECT_EQ(ParseRecordTime("2026-07-01T00:00:00+02:00"), ParseUserTime("2026-07-01"));
    // A date alone as an end is the midnight after it; the day a clock goes
    // back has 25 hours.
    EXPECT_EQ(ParseUserTime("2026-10-26"), ParseUserTime("2026-10-25", true));
    EXPECT_EQ(25 * 3600000LL, *ParseUserTime("2026-10-25", true) - *ParseUserTime("2026-10-25"));
    const std::int64_t today = *ParseUserTime(std::string(wxDateTime::Today().FormatISODate().utf8_str()));
    EXPECT_EQ(today + (17 * 60 + 5) * 60000LL, ParseUserTime("17:05"));
    // Days by name and spans back from now.
    const std::int64_t day = 86400000;
    const std::string todayIso(wxDateTime::Today().FormatISODate().utf8_str());
    const std::string yesterdayIso((wxDateTime::Today() - wxDateSpan::Day()).FormatISODate().utf8_str());
    EXPECT_EQ(today, ParseUserTime("today"));
    EXPECT_EQ(ParseUserTime(todayIso, true), ParseUserTime("today", true));
    EXPECT_EQ(ParseUserTime(yesterdayIso), ParseUserTime("yesterday"));
    EXPECT_EQ(today, ParseUserTime("yesterday", true));
    const std::int64_t now = wxDateTime::UNow().GetValue().GetValue();
    EXPECT_NEAR(static_cast<double>(now - 3600000), static_cast<double>(ParseUserTime("-1h").value_or(0)), 5000.0);
    EXPECT_NEAR(static_cast<double>(now - 2 * day), static_cast<double>(ParseUserTime("-2d").value_or(0)), 5000.0);
    for (const char* bad : {"Yesterday", "-h", "-1", "-1w", "--1h", "-1h30m", "17:5", "25:00", "2026-02-30",
                            "2026-13-01", "17:05Z", "1796745600"})
        EXPECT_FALSE(ParseUserTime(bad).has_value()) << bad;
}

// Three runs in one file: the newest version's lines, a cut line in the
// middle, foreign JSON, an empty line, a line of an earlier version without
// the newer keys, and a last line cut short without its line break.
TEST_F(HoldsReportTest, SumsOverRunsDamagedForeignAndOlderLines)
{
    const std::string text =
        Line(1, "17:00:00.000", "editor", 1, New("null", "null")) + "\n" +
        Line(2, "17:00:10.000", "updater", 9, New("10000", "true")) + "\n" +
        Line(3, "17:00:10.250", "editor", 1, New("250", "true")) + "\r\n" +  // the theft ends
        Line(4, "17:00:20.000", "updater", 9, New("9750", "true")).substr(0, 60) + "\n" +
        Line(5, "17:00:30.000", "mail", 2, New("10000", "false")) + "\n" +
        Line(1, "18:00:00.000", "editor", 1, New("null", "false")) + "\n" +
        "[1, 2, 3]\n" +
        "\n" +
        "{\"time\":\"2026-12-08T18:00:00.100+01:00\",\"number\":\"2\",\"module\":\"x\",\"handle\":3}\n" +
        Line(2, "18:00:00.400", "updater", 9, New("400", "true")) + "\n" +
        Line(1, "19:00:00.000", "editor", 1) + "\n" +
        Line(2, "19:00:00.700", "updater", 9) + "\n" +
        Line(3, "19:00:02.000", "editor", 1) + "\n" +
        Line(4, "19:00:03.000", "mail", 2).substr(0, 70);
    ReportOptions options;
    HoldsReport report(options);
    wxString problem;
    ASSERT_TRUE(report.ReadFile(Write("focus.jsonl", text), problem)) << problem;
    EXPECT_EQ(9, report.Changes());
    EXPECT_EQ(2, report.Damaged());
    EXPECT_EQ(2, report.Foreign());

    const std::vector<ReportedProgram> programs = report.Programs();
    ASSERT_EQ(3u, programs.size());
    const ProgramHolds editor = Find(programs, "editor");
    // Neither theft's end counts: the unprompted one's, nor the focus coming
    // back 1.3 s after the older line's take.
    EXPECT_EQ(3, editor.takes);
    EXPECT_EQ(2, editor.brief);  // 400 told, 700 from the older lines' times
    EXPECT_EQ(400, editor.shortestMs.value_or(-1));
    EXPECT_EQ(kFive + 2 * 3600000, editor.lastTakeMs);
    const ProgramHolds updater = Find(programs, "updater");
    EXPECT_EQ(3, updater.takes);
    EXPECT_EQ(2, updater.unprompted);  // the older line cannot say
    EXPECT_EQ(1, updater.brief);       // 250; 1300 is not, the end of run 2 unknown
    EXPECT_EQ(250, updater.shortestMs.value_or(-1));
    const ProgramHolds mail = Find(programs, "mail");
    EXPECT_EQ(1, mail.takes);  // after the cut line: no hold known for the editor
    EXPECT_FALSE(mail.shortestMs.has_value());
}

// Each file is a sequence of its own, whatever its numbers say; a line far
// too long to be a record is skipped without being held whole.
TEST_F(HoldsReportTest, FilesDoNotContinueEachOtherAndOverlongLinesAreSkipped)
{
    const std::string first = Write("a.jsonl", Line(1, "17:00:00.000", "editor", 1, New("null", "false")) +
                                                   "\n" + Line(2, "17:00:01.000", "updater", 9, New("1000", "true")) + "\n");
    const std::string second = Write("b.jsonl", std::string(3 << 20, 'x') + "\n" +
                                                    Line(3, "17:00:01.200", "editor", 1, New("200", "true")) + "\n");
    ASSERT_EQ(0, Run({first, second}));
    EXPECT_NE(std::string::npos, errors.find("1 damaged, 0 foreign")) << errors;
    ASSERT_EQ(0u, output.find("program  takes  unprompted  brief  attempts  shortest   median  longest    total  last\n"))
        << output;
    // The editor's return is an unprompted take of its own: nothing in
    // b.jsonl says where it came from.
    EXPECT_NE(std::string::npos,
              output.find("\neditor       2           1      0         0   1000 ms  1000 ms  1000 ms  1000 ms  2026-12-08 "))
        << output;
    EXPECT_NE(std::string::npos,
              output.find("\nupdater      1           1      0         0         -        -        -        -  2026-12-08 "))
        << output;
}

TEST_F(HoldsReportTest, RangeBriefAndCsvFromTheCommandLine)
{
    const std::string file = Write("focus.jsonl",
        Line(1, "17:00:00.000", "editor", 1, New("null", "false")) + "\n" +
        Line(2, "17:00:01.500", "up,\\\"date\\\"r", 9, New("1500", "true")) + "\n" +
        Line(3, "17:00:03.000", "editor", 1, New("1500", "true")) + "\n" +
        Line(4, "17:30:00.000", "mail", 2, New("1797000", "false")) + "\n");
    EXPECT_EQ(2, Run({L"--bogus", file}));
    EXPECT_NE(std::string::npos, errors.find("Unknown long option 'bogus'")) << errors;

    ASSERT_EQ(0, Run({file, L"--since", L"2026-12-08T17:00:01+01:00", L"--until", L"2026-12-08T17:29:00+01:00",
                      L"--brief", L"2000", L"--csv"}));
    EXPECT_EQ("program,takes,unprompted,brief,shortest_ms,last,launcher,cmdline,median_ms,longest_ms,total_ms,"
              "attempts\n\"up,\"\"date\"\"r\",1,1,1,1500,",
              output.substr(0, output.find(',', output.find("1500")) + 1));
    EXPECT_EQ(2u, static_cast<size_t>(std::count(output.begin(), output.end(), '\n'))) << output;

    EXPECT_EQ(1, Run({file, L"--since", L"2026-12-09"}));
    EXPECT_NE(std::string::npos, errors.find("no record line matched"));
    EXPECT_EQ(2, Run({file, folder.Path("missing.jsonl")}));
    EXPECT_NE(std::string::npos, errors.find("missing.jsonl: No such file or directory")) << errors;
    EXPECT_NE(std::string::npos, output.find("editor")) << "what could be read is shown";
    for (std::vector<wxString> wrong : {std::vector<wxString>{file, L"--brief", L"soon"},
                                        {file, L"--since"}, {L"--csv"}, {folder.Path()},
                                        {file, L"--by"}, {file, L"--by", L"window"}})
        EXPECT_EQ(2, Run(wrong)) << wrong.back();  // a folder opens, but cannot be read
    EXPECT_NE(std::string::npos, errors.find("--by window: not program, launcher, unit or module")) << errors;

    // Two foot windows, one of them the updater's, and a line of an earlier
    // version: each grouping counts the same takes and the same theft's end
    // (the focus back to the first foot), only under other names.  The
    // command line is the last take's, never the theft's end's.
    ScopedZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
    const std::string feet = Write("feet.jsonl",
        Line(1, "17:00:00.000", "foot", 1, New("null", "false") + Culprit("foot", "", "foot")) + "\n" +
        Line(2, "17:00:05.000", "foot", 7,
             New("5000", "true") + Culprit("foot (updater)", "updater", "foot -e \\\"upd, now\\\"")) + "\n" +
        Line(3, "17:00:05.300", "foot", 1, New("300", "true") + Culprit("foot", "", "foot --again")) + "\n" +
        Line(4, "17:00:20.000", "mail", 2) + "\n");
    const std::string update = ",updater,\"foot -e \"\"upd, now\"\"\"\n";
    const std::string update300 = update.substr(0, update.size() - 1) + ",300,300,300,0\n";
    ASSERT_EQ(0, Run({feet, L"--csv"}));
    EXPECT_EQ(std::string("program,takes,unprompted,brief,shortest_ms,last,launcher,cmdline,median_ms,"
                          "longest_ms,total_ms,attempts\n"
                          "foot (updater),1,1,1,300,2026-12-08T17:00:05.000+01:00") + update300 +
                  "foot,1,0,0,5000,2026-12-08T17:00:00.000+01:00,,foot,5000,5000,5000,0\n"
                  "mail,1,0,0,,2026-12-08T17:00:20.000+01:00,,,,,,0\n",
              output);
    ASSERT_EQ(0, Run({feet, L"--csv", L"--by", L"module"}));
    EXPECT_EQ(std::string("module,takes,unprompted,brief,shortest_ms,last,launcher,cmdline,median_ms,"
                          "longest_ms,total_ms,attempts\n"
                          "foot,2,1,1,300,2026-12-08T17:00:05.000+01:00") + update.substr(0, update.size() - 1) +
                  ",2650,5000,5300,0\nmail,1,0,0,,2026-12-08T17:00:20.000+01:00,,,,,,0\n",
              output);
    ASSERT_EQ(0, Run({feet, L"--by", L"launcher"}));
    EXPECT_EQ(0u, output.find("launcher  takes  unprompted  brief  attempts  shortest   median  longest    total  last\n"
                              "updater       1           1      1         0    300 ms   300 ms   300 ms   300 ms  "
                              "2026-12-08 17:00:05\n"
                              "(none)        2           0      0         0   5000 ms  5000 ms  5000 ms  5000 ms  "
                              "2026-12-08 17:00:20\n"))
        << output;
}

// The hold figures beside the shortest, one program's takes one by one
// (a window named again goes on holding; the record's end leaves the last
// hold unknown), and Corvalin's own windows counted for nobody.
TEST_F(HoldsReportTest, MedianLongestTotalAndOneProgramsTakes)
{
    const auto titled = [](std::string line, const char* title) {
        return line.replace(line.find("\"title\":\"t\""), 11, std::string("\"title\":\"") + title + '"');
    };
    ScopedZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
    const std::string own = ",\"own\":true";
    const std::string file = Write("focus.jsonl",
        titled(Line(1, "17:00:00.000", "editor", 1, New("null", "false")), "notes") + "\n" +
        titled(Line(2, "17:00:10.000", "updater", 9, New("10000", "true")), "Update 1") + "\n" +
        titled(Line(3, "17:00:10.100", "updater", 9, New("100", "true")), "Update 1 again") + "\n" +
        titled(Line(4, "17:00:10.400", "editor", 1, New("300", "true")), "notes") + "\n" +
        titled(Line(5, "17:01:00.000", "Corvalin", 5, New("49600", "false") + own), "Corvalin") + "\n" +
        titled(Line(6, "17:01:02.000", "updater", 9, New("2000", "true")), "Update 2") + "\n" +
        "{\"time\":\"2026-12-08T17:01:02.020+01:00\",\"number\":null,\"module\":\"updater\",\"title\":\"Nag\","
        "\"handle\":8,\"seen\":\"attempt\",\"program\":\"updater\",\"attempt\":\"urgent\"}\n" +
        titled(Line(7, "17:01:02.050", "mail", 2, New("50", "false")), "Inbox") + "\n" +
        titled(Line(8, "17:02:00.000", "updater", 8, New("57950", "true")), "Update 3") + "\n");
    ASSERT_EQ(0, Run({file, L"--csv"}));
    EXPECT_NE(std::string::npos, output.find("\nupdater,3,3,2,50,")) << output;
    // The attempt counts for the updater and breaks no hold: 50 ms still.
    EXPECT_NE(std::string::npos, output.find(",225,400,450,1\n")) << output;
    EXPECT_EQ(std::string::npos, output.find("Corvalin")) << output;

    ASSERT_EQ(0, Run({file, L"--takes", L"updater", L"--csv"}));
    EXPECT_EQ("time,held_ms,unprompted,title,interrupted_program,interrupted_title,kind\n"
              "2026-12-08T17:00:10.000+01:00,400,true,Update 1,editor,notes,take\n"
              "2026-12-08T17:01:02.000+01:00,50,true,Update 2,Corvalin,Corvalin,take\n"
              "2026-12-08T17:01:02.020+01:00,,,Nag,,,urgent\n"
              "2026-12-08T17:02:00.000+01:00,,true,Update 3,mail,Inbox,take\n",
              output);
    ASSERT_EQ(0, Run({file, L"--takes", L"updater"}));
    EXPECT_EQ(0u, output.find("time                     kind      held  unprompted  title     interrupted\n"
                              "2026-12-08 17:00:10.000  take    400 ms  yes         Update 1  editor \u2014 notes\n"))
        << output;
    EXPECT_EQ(1, Run({file, L"--takes", L"nobody"}));
    EXPECT_NE(std::string::npos, errors.find("no take by nobody")) << errors;
    EXPECT_EQ(2, Run({file, L"--takes"}));
}

TEST(RunningMedianTest, MiddleOfOddAndEvenCounts)
{
    RunningMedian median;
    EXPECT_FALSE(median.Median().has_value());
    const std::int64_t values[] = {9, 1, 5, 7, 3, 3};
    const std::int64_t expected[] = {9, 5, 5, 6, 5, 4};
    for (int i = 0; i < 6; ++i)
    {
        median.Add(values[i]);
        EXPECT_EQ(expected[i], median.Median().value_or(-1)) << i;
    }
    RunningMedian huge;
    huge.Add(std::numeric_limits<std::int64_t>::max());
    huge.Add(std::numeric_limits<std::int64_t>::max() - 2);
    EXPECT_EQ(std::numeric_limits<std::int64_t>::max() - 1, huge.Median());
}

// What a hostile or huge record cannot do to the report: a FIFO with no
// writer is refused at once, numbers past any hold are damaged lines (no
// "-1 ms" shortest), a cell a spreadsheet would run as a formula is shown
// as text, and programs past the cap count together.
TEST_F(HoldsReportTest, FifosHugeNumbersFormulasAndManyProgramsAreBounded)
{
    const std::string fifo = folder.Path("fifo");
    ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
    EXPECT_EQ(2, Run({fifo}));
    EXPECT_NE(std::string::npos, errors.find("fifo: not a plain file")) << errors;

    const std::string huge = Write("huge.jsonl",
        Line(1, "17:00:00.000", "=HYPERLINK(\\\"x\\\")", 1, New("null", "false")) + "\n" +
        Line(2, "17:00:01.000", "updater", 9, New("18446744073709551615", "true")) + "\n" +
        Line(3, "17:00:02.000", "editor", 1, New("9223372036854775808", "true")) + "\n" +
        Line(4, "17:00:03.000", "mail", 2, New("2000", "false")) + "\n" +
        "{\"time\":\"2026-12-08T17:00:04+01:00\",\"number\":18446744073709551615,\"module\":\"x\",\"handle\":3}\n");
    ASSERT_EQ(0, Run({huge, L"--csv"}));
    EXPECT_NE(std::string::npos, errors.find("(3 damaged, 0 foreign)")) << errors;
    EXPECT_NE(std::string::npos, output.find("\n\"'=HYPERLINK(\"\"x\"\")\",1,0,0,,")) << output;
    EXPECT_EQ(std::string::npos, output.find(",-")) << output;
    // Escapes and bidirectional controls never reach the terminal.
    const std::string hostile = Write("hostile.jsonl",
        Line(1, "17:00:00.000", "evil\\u001b[2Jname\\u202e", 1, New("null", "true")) + "\n" +
        Line(2, "17:00:01.000", "mail", 2, New("1000", "false")) + "\n");
    ASSERT_EQ(0, Run({hostile}));
    EXPECT_EQ(std::string::npos, output.find('\x1b')) << output;
    EXPECT_EQ(std::string::npos, output.find("\u202e")) << output;
    EXPECT_NE(std::string::npos, output.find("evil [2Jname ")) << output;

    std::string many;
    for (std::size_t i = 0; i < FocusHolds::kMaxPrograms + 50; ++i)
        many += Line(static_cast<int>(i + 1), "17:00:00.000", ("p" + std::to_string(i)).c_str(), static_cast<int>(i + 1),
                     New(i ? "0" : "null", "false")) + "\n";
    ASSERT_EQ(0, Run({Write("many.jsonl", many), L"--csv"}));
    EXPECT_NE(std::string::npos, errors.find("more than 10000 programs")) << errors;
    EXPECT_NE(std::string::npos, output.find("\n(other programs),50,")) << output.substr(0, 300);
    EXPECT_EQ(FocusHolds::kMaxPrograms + 2, static_cast<std::size_t>(std::count(output.begin(), output.end(), '\n')));
}
