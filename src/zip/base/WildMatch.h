#pragma once

#include <string>

// Wildcard matching of stored entry paths. Both strings are lower-cased
// (ASCII letters only) on entry, so matching ignores letter case.
//
// Pattern syntax: `?` one character; `*` any run (possibly empty); `<set>`
// one character from the set, `<!set>` or `<^set>` one not in it, where a
// set holds characters and ranges `a-b`; `*<set>` a run whose characters are
// all in (or, negated, not in) the set. Every other character stands for
// itself: there is no escape, so `\`, `[` and `]` are ordinary.

// Result codes of matche.
enum MatchCode : int {
    MATCH_VALID = 1,    // the pattern matches the whole text
    MATCH_END = 2,      // the pattern ended with text left over
    MATCH_ABORT = 3,    // the text ended first, or a star cannot be satisfied
    MATCH_RANGE = 4,    // a set did not match
    MATCH_LITERAL = 5,  // a literal character did not match
    MATCH_PATTERN = 6,  // malformed pattern
};

int matche(const std::string& pattern, const std::string& text);
int match_after_star(const std::string& pattern, const std::string& text);
// True when matche returns MATCH_VALID.
bool IsMatch(const std::string& pattern, const std::string& text);

// Kept for callers that check patterns first; every pattern is accepted.
inline bool is_pattern(const std::string& /*pattern*/) { return true; }
inline bool is_valid_pattern(const std::string& /*pattern*/, int& error) {
    error = 0;
    return true;
}
