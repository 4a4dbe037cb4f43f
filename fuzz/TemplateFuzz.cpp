// Template expansion: the input's first part is the template, the rest the quoted message.
// Checks that the cursor stays inside the body and that re-expansion keeps untagged lines.
#include "config/Echo.h"
#include "config/Template.h"
#include "core/Msg.h"
#include "text/TemplateEngine.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

using namespace tavro;

namespace {

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        lines.emplace_back(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return lines;
}

size_t UntaggedLines(const TBodyLines& lines) {
    return static_cast<size_t>(
        std::count_if(lines.begin(), lines.end(), [](const TBodyLine& line) { return line.LineTag == 0; }));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);
    const size_t split = input.find('\f');
    std::string templateText = input.substr(0, split);
    // Template lines may name files; keep the fuzzer to names that cannot leave the
    // configuration directory, which it never creates.
    std::replace(templateText.begin(), templateText.end(), '/', '_');

    TTemplate tpl;
    tpl.Lines = SplitLines(templateText);
    TEcho area;
    area.Name = "FUZZ.AREA";
    TCustomMsg quoted(nullptr), target(nullptr);
    quoted.FromName = "Ivan Petrov";
    if (split != std::string::npos)
        for (std::string& line : SplitLines(std::string_view(input).substr(split + 1)))
            quoted.Body.emplace_back(std::move(line));
    target.ToName = tpl.Lines.empty() ? "" : tpl.Lines.front();

    const TCursorPos cursor = ApplyTemplate(target, area, tpl, true, size % 2 == 0, &area, &quoted);
    if (cursor.Line < 0 || static_cast<size_t>(cursor.Line) > target.Body.size() || cursor.Column < 0)
        std::abort();
    const size_t untagged = UntaggedLines(target.Body);
    ReapplyTemplate(target, area, tpl, &area, &quoted);
    if (UntaggedLines(target.Body) < untagged)
        std::abort();
    return 0;
}
