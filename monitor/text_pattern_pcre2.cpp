#include "monitor/text_pattern.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <set>
#include <string>
#include <vector>

namespace
{
// Steps of the matcher and depth of its backtracking: titles are at most
// 255 characters, and any sane pattern needs far fewer on them; a runaway
// one is stopped well within a millisecond.
constexpr uint32_t kMatchLimit = 20000;
constexpr uint32_t kDepthLimit = 2000;
constexpr uint32_t kHeapLimitKiB = 1024;

class Pcre2Pattern final : public TextPattern
{
public:
    Pcre2Pattern(pcre2_code* code, pcre2_match_context* context)
        : m_code(code), m_context(context), m_data(pcre2_match_data_create(1, nullptr))
    {
    }
    ~Pcre2Pattern() override
    {
        pcre2_match_data_free(m_data);
        pcre2_match_context_free(m_context);
        pcre2_code_free(m_code);
    }

    Match MatchWhole(const wxString& text) const override
    {
        const wxScopedCharBuffer utf8 = text.utf8_str();
        return MatchUtf8(utf8.data(), utf8.length());
    }

    Match MatchUtf8(const char* text, size_t length) const
    {
        const int result = pcre2_match(m_code, reinterpret_cast<PCRE2_SPTR>(text), length, 0, 0,
                                       m_data, m_context);
        if (result >= 0)
            return Match::Whole;
        return result == PCRE2_ERROR_NOMATCH ? Match::No : Match::Failed;
    }

private:
    pcre2_code* m_code;
    pcre2_match_context* m_context;
    pcre2_match_data* m_data;
};

wxString ErrorText(int code)
{
    PCRE2_UCHAR buffer[256];
    if (pcre2_get_error_message(code, buffer, sizeof buffer) < 0)
        return wxString::Format(L"error %d", code);
    return wxString::FromUTF8(reinterpret_cast<const char*>(buffer));
}

// Texts on which a runaway pattern shows itself: long runs of one kind of
// character (those the pattern names among them), with and without a last
// character that spoils the match, the way a long title would.
std::vector<std::string> Probes(const std::string& expression)
{
    std::set<char> kinds = {'a', 'A', '0', ' ', '.', '-', '_', '/'};
    for (char c : expression)
        if (c > ' ' && c < 0x7F && c != '\\')
            kinds.insert(c);
    std::vector<std::string> probes;
    for (char c : kinds)
    {
        probes.push_back(std::string(255, c));
        probes.push_back(std::string(254, c) + (c == '!' ? '#' : '!'));
    }
    std::string words;
    while (words.size() < 250)
        words += "word ";
    probes.push_back(words);
    probes.push_back(words + "!");
    return probes;
}
}  // namespace

std::unique_ptr<TextPattern> TextPattern::Compile(const wxString& expression, wxString& reason)
{
    reason.clear();
    if (expression.empty())
        return nullptr;
    const std::string utf8 = expression.utf8_string();
    int error = 0;
    PCRE2_SIZE offset = 0;
    // Anchored at both ends by option, not by wrapping the text: "a)|(b"
    // wrapped in "^(?:...)$" would compile and mean something else.
    pcre2_code* code =
        pcre2_compile(reinterpret_cast<PCRE2_SPTR>(utf8.data()), utf8.size(),
                      PCRE2_UTF | PCRE2_ANCHORED | PCRE2_ENDANCHORED, &error, &offset, nullptr);
    if (!code)
    {
        reason = wxString::Format(L"%s at character %u", ErrorText(error),
                                  static_cast<unsigned>(offset) + 1);
        return nullptr;
    }
    pcre2_match_context* context = pcre2_match_context_create(nullptr);
    pcre2_set_match_limit(context, kMatchLimit);
    pcre2_set_depth_limit(context, kDepthLimit);
    pcre2_set_heap_limit(context, kHeapLimitKiB);
    auto pattern = std::make_unique<Pcre2Pattern>(code, context);
    for (const std::string& probe : Probes(utf8))
    {
        if (pattern->MatchUtf8(probe.data(), probe.size()) == Match::Failed)
        {
            reason = L"it backtracks without end on long titles (such as " +
                     wxString::FromUTF8(probe.substr(0, 8)) + L"...)";
            return nullptr;
        }
    }
    return pattern;
}
