#pragma once

#include "config/Echo.h"
#include "core/Msg.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace tavro {

// The paragraphs of the cookie list: runs of lines between lines that are empty after
// trimming. The lines are kept as written.
std::vector<TStringList> CookieParagraphs(const TStringList& cookies);

// One paragraph, each with equal chance: `pick(n)` returns an index below n (a larger one
// wraps). Empty when the list holds none.
TStringList ChooseCookie(const TStringList& cookies, const std::function<size_t(size_t)>& pick);

// The origin text of a new message: a random entry of `origins` when the area has
// efRandomOrigin and the list is not empty, else the area's Origin; trimmed; when that is
// empty, DefaultOriginText.
std::string ChooseOrigin(const TEcho& area, const TStringList& origins,
                         const std::function<size_t(size_t)>& pick);

// The origin of an area that names none: a banner naming the program and its home page.
extern const char* const DefaultOriginText;

// A uniformly distributed index below n (0 for n 0), for `pick` outside tests.
size_t RandomIndex(size_t n);

} // namespace tavro
