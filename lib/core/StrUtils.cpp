#include "StrUtils.h"

#include <algorithm>

namespace tavro {

bool StrToInt(std::string_view text, int32_t& value) {
    if (text.empty())
        return false;
    bool negative = false;
    if (text.front() == '+' || text.front() == '-') {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || text.front() < '0' || text.front() > '9')
        return false;
    int64_t result = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        result = result * 10 + (c - '0');
        if (result > 2147483648LL)
            return false;
    }
    if (negative)
        result = -result;
    if (result > INT32_MAX || result < INT32_MIN)
        return false;
    value = static_cast<int32_t>(result);
    return true;
}

static bool IsTrimmed(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

std::string_view TrimView(std::string_view text) {
    while (!text.empty() && IsTrimmed(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsTrimmed(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string Trim(std::string_view text) {
    return std::string(TrimView(text));
}

std::string TrimLeft(std::string_view text) {
    while (!text.empty() && IsTrimmed(text.front()))
        text.remove_prefix(1);
    return std::string(text);
}

std::string TrimRight(std::string_view text) {
    while (!text.empty() && IsTrimmed(text.back()))
        text.remove_suffix(1);
    return std::string(text);
}

char UpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

static char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string UpperCaseAscii(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        c = UpperAscii(c);
    return result;
}

std::string LowerCaseAscii(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        c = LowerAscii(c);
    return result;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (UpperAscii(a[i]) != UpperAscii(b[i]))
            return false;
    return true;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

uint32_t NameHashOf(std::string_view text) {
    uint32_t h = 0;
    for (char ch : text) {
        auto c = static_cast<uint8_t>(ch);
        if (c >= 'A' && c <= 'Z')
            c = static_cast<uint8_t>(c - 'A' + 'a');
        h = (h << 4) + c;
        h |= (h & 0xF0000000) >> 24;
    }
    return h & 0x7FFFFFFF;
}

std::string_view FirstWord(std::string_view text) {
    size_t start = text.find_first_not_of(' ');
    if (start == std::string_view::npos)
        return {};
    text.remove_prefix(start);
    return text.substr(0, text.find(' '));
}

std::vector<std::string_view> BlankWords(std::string_view text) {
    std::vector<std::string_view> words;
    for (size_t at = 0; at < text.size();) {
        const size_t end = std::min(text.find(' ', at), text.size());
        if (end > at)
            words.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return words;
}

} // namespace tavro
