#include "ReplyPrefix.h"

namespace tavro {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The length of one prefix at the start of `s`, 0 when there is none.
size_t PrefixLength(std::string_view s) {
    if (s.size() < 2 || (s[0] != 'R' && s[0] != 'r') || (s[1] != 'E' && s[1] != 'e'))
        return 0;
    size_t i = 2;
    if (i < s.size() && s[i] == '^') {
        for (++i; i < s.size() && IsDigit(s[i]); ++i) {
        }
    } else if (i < s.size() && s[i] == '[') {
        for (++i; i < s.size() && IsDigit(s[i]); ++i) {
        }
        if (i >= s.size() || s[i] != ']')
            return 0;
        ++i;
    }
    if (i >= s.size() || (s[i] != ' ' && s[i] != ':'))
        return 0;
    for (++i; i < s.size() && s[i] == ' '; ++i) {
    }
    return i;
}

} // namespace

std::string_view StripReplyPrefixes(std::string_view subject) {
    while (const size_t n = PrefixLength(subject))
        subject.remove_prefix(n);
    return subject;
}

} // namespace tavro
