#pragma once

// One regular expression that must match a whole text (PCRE2 syntax), with
// a bound on what one match may cost: the filters run on the main loop for
// every logged change, and a pattern that backtracks without end on some
// title must not stall it.  A match that hits the bound is told apart from
// a mismatch, so that a caller can fail closed.

#include <memory>

#include <wx/string.h>

class TextPattern
{
public:
    enum class Match
    {
        No,
        Whole,
        // The match was given up (its cost bound, or an engine error).
        Failed
    };

    virtual ~TextPattern() = default;

    // Null, with the reason as a phrase for the user, when the expression
    // does not compile or when it hits the cost bound on long texts made
    // to find runaway patterns.  An empty expression is no pattern: null
    // with an empty reason.
    static std::unique_ptr<TextPattern> Compile(const wxString& expression, wxString& reason);

    virtual Match MatchWhole(const wxString& text) const = 0;
};
