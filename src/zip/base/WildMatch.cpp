#include "zip/base/WildMatch.h"

#include <bitset>
#include <cstddef>

namespace {

// The set that follows a `*`. matche resets it on entry, and the run after
// the star consults it after every nested attempt; this sharing across the
// nested calls is part of how the matcher has always behaved.
struct StarSet {
    std::bitset<256> members;
    bool negated = false;

    void Reset() {
        members.reset();
        negated = false;
    }
    bool Empty() const { return members.none(); }
    bool Accepts(unsigned char c) const { return members.test(c) != negated; }
};

StarSet& TheStarSet() {
    static thread_local StarSet set;
    return set;
}

std::string Lower(const std::string& s) {
    std::string out = s;
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

unsigned char At(const std::string& s, size_t i) { return static_cast<unsigned char>(s[i]); }

// Parses `*<...>` starting at the `*` (position p) into the star set and
// moves p past the closing `>` (or to the end when there is none).
void ParseStarSet(const std::string& pat, size_t& p) {
    StarSet& set = TheStarSet();
    set.Reset();
    p += 2;
    if (p >= pat.size()) {
        return;
    }
    if (pat[p] == '^' || pat[p] == '!') {
        set.negated = true;
        ++p;
    }
    while (p < pat.size() && pat[p] != '>') {
        if (p + 2 < pat.size() && pat[p + 1] == '-') {
            for (unsigned c = At(pat, p); c <= At(pat, p + 2); ++c) {
                set.members.set(c);
            }
            p += 3;
        } else {
            set.members.set(At(pat, p));
            ++p;
        }
    }
    if (p >= pat.size()) {
        set.Reset();
        return;
    }
    ++p;
}

// Matches one `<set>` at pattern position p against character c. Returns 0
// and moves p past the closing `>` on a match, else the failure code.
int MatchSet(const std::string& pat, size_t& p, unsigned char c) {
    ++p;
    if (p >= pat.size()) {
        return MATCH_PATTERN;
    }
    bool negated = false;
    if (pat[p] == '!' || pat[p] == '^') {
        negated = true;
        ++p;
        if (p >= pat.size()) {
            return MATCH_PATTERN;
        }
    }
    if (pat[p] == '>') {
        return MATCH_PATTERN;
    }
    bool contained = false;
    while (!contained) {
        if (p >= pat.size()) {
            return MATCH_PATTERN;
        }
        if (pat[p] == '>') {
            break;
        }
        unsigned char low = At(pat, p);
        unsigned char high = low;
        if (p + 1 < pat.size() && pat[p + 1] == '-') {
            if (p + 2 >= pat.size() || pat[p + 2] == '>') {
                return MATCH_PATTERN;
            }
            high = At(pat, p + 2);
            p += 3;
        } else {
            ++p;
        }
        contained = low <= c && c <= high;
    }
    if (negated == contained) {
        return MATCH_RANGE;
    }
    if (contained) {
        while (p < pat.size() && pat[p] != '>') {
            ++p;
        }
        if (p >= pat.size()) {
            return MATCH_PATTERN;
        }
    }
    ++p;
    return 0;
}

}  // namespace

int matche(const std::string& patternIn, const std::string& textIn) {
    TheStarSet().Reset();
    const std::string pat = Lower(patternIn);
    const std::string text = Lower(textIn);
    if (pat == "*") {
        return MATCH_VALID;
    }
    int code = 0;
    size_t p = 0;
    size_t t = 0;
    while (code == 0 && p < pat.size()) {
        if (t >= text.size()) {
            return (pat[p] == '*' && p + 1 == pat.size()) ? MATCH_VALID : MATCH_ABORT;
        }
        switch (pat[p]) {
            case '*': {
                size_t from = p;
                if (p + 1 < pat.size() && pat[p + 1] == '<') {
                    ParseStarSet(pat, p);
                    if (TheStarSet().Empty()) {
                        return MATCH_ABORT;
                    }
                    from = p;
                } else {
                    TheStarSet().Reset();
                }
                code = match_after_star(pat.substr(std::min(from, pat.size())), text.substr(t));
                p = from + 1;
                ++t;
                break;
            }
            case '<': {
                const int setCode = MatchSet(pat, p, At(text, t));
                if (setCode != 0) {
                    return setCode;
                }
                ++t;
                break;
            }
            case '?':
                ++p;
                ++t;
                break;
            default:
                if (pat[p] != text[t]) {
                    return MATCH_LITERAL;
                }
                ++p;
                ++t;
                break;
        }
    }
    if (code != 0) {
        return code;
    }
    return t >= text.size() ? MATCH_VALID : MATCH_END;
}

int match_after_star(const std::string& patternIn, const std::string& textIn) {
    std::string pat = Lower(patternIn);
    std::string text = Lower(textIn);
    size_t p = 0;
    size_t t = 0;
    while (p < pat.size() && (pat[p] == '*' || pat[p] == '?')) {
        if (pat[p] == '?') {
            if (t >= text.size()) {
                break;
            }
            ++t;
        }
        ++p;
    }
    if (t >= text.size()) {
        return MATCH_ABORT;
    }
    if (!pat.empty() && p >= pat.size()) {
        return MATCH_VALID;
    }
    int code = 0;
    do {
        if (p < pat.size() && (pat[p] == text[t] || pat[p] == '<')) {
            code = matche(pat.substr(p), text.substr(t));
            pat = pat.substr(p);
            text = text.substr(t);
            p = 0;
            t = 0;
        }
        if (t >= text.size()) {
            return MATCH_ABORT;
        }
        const StarSet& set = TheStarSet();
        if (code != MATCH_VALID && !set.Empty() && !set.Accepts(At(text, t))) {
            return MATCH_ABORT;
        }
        ++t;
    } while (code != MATCH_VALID && t < text.size());
    if (p >= pat.size() && t >= text.size()) {
        return MATCH_VALID;
    }
    return code;
}

bool IsMatch(const std::string& pattern, const std::string& text) {
    return matche(pattern, text) == MATCH_VALID;
}
