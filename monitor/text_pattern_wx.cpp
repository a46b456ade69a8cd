// Where PCRE2 is not at hand as a library of its own (the Windows build):
// the toolkit's regular expressions, kept from showing their own error
// boxes, without a bound on a match's cost.
#include "monitor/text_pattern.h"

#include <wx/log.h>
#include <wx/regex.h>

namespace
{
class ToolkitPattern final : public TextPattern
{
public:
    explicit ToolkitPattern(const wxString& expression)
        : m_regex(L"^(?:" + expression + L")$", wxRE_EXTENDED | wxRE_NOSUB)
    {
    }
    bool IsValid() const { return m_regex.IsValid(); }

    Match MatchWhole(const wxString& text) const override
    {
        wxLogNull quiet;
        return m_regex.Matches(text) ? Match::Whole : Match::No;
    }

private:
    wxRegEx m_regex;
};
}  // namespace

std::unique_ptr<TextPattern> TextPattern::Compile(const wxString& expression, wxString& reason)
{
    reason.clear();
    if (expression.empty())
        return nullptr;
    wxLogNull quiet;
    auto pattern = std::make_unique<ToolkitPattern>(expression);
    if (!wxRegEx(expression, wxRE_EXTENDED | wxRE_NOSUB).IsValid() || !pattern->IsValid())
    {
        reason = L"it is not a valid regular expression";
        return nullptr;
    }
    return pattern;
}
