#include "Cookies.h"

#include "core/StrUtils.h"

#include <random>

namespace tavro {

// No brackets: readers take the address from the last bracket of the origin line.
const char* const DefaultOriginText = "Tavro - https://tavro.example.org/";

namespace {

size_t PickBelow(const std::function<size_t(size_t)>& pick, size_t n) {
    return pick(n) % n;
}

} // namespace

std::vector<TStringList> CookieParagraphs(const TStringList& cookies) {
    std::vector<TStringList> paragraphs;
    bool inParagraph = false;
    for (const std::string& line : cookies) {
        if (TrimView(line).empty()) {
            inParagraph = false;
            continue;
        }
        if (!inParagraph)
            paragraphs.emplace_back();
        paragraphs.back().push_back(line);
        inParagraph = true;
    }
    return paragraphs;
}

TStringList ChooseCookie(const TStringList& cookies, const std::function<size_t(size_t)>& pick) {
    std::vector<TStringList> paragraphs = CookieParagraphs(cookies);
    if (paragraphs.empty())
        return {};
    return std::move(paragraphs[PickBelow(pick, paragraphs.size())]);
}

std::string ChooseOrigin(const TEcho& area, const TStringList& origins,
                         const std::function<size_t(size_t)>& pick) {
    const bool random = (area.Flags & efRandomOrigin) != 0 && !origins.empty();
    std::string text = Trim(random ? origins[PickBelow(pick, origins.size())] : area.Origin);
    return text.empty() ? DefaultOriginText : text;
}

size_t RandomIndex(size_t n) {
    if (n == 0)
        return 0;
    thread_local std::mt19937_64 engine{std::random_device{}()};
    return std::uniform_int_distribution<size_t>(0, n - 1)(engine);
}

} // namespace tavro
