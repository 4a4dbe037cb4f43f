// Template expansion: the input's first part is the template, the rest the quoted message.
// Checks that the cursor stays inside the body and that re-expansion rebuilds tagged lines in
// place: it keeps every untagged line and brings no quoted text a second time.
#include "config/Echo.h"
#include "config/Template.h"
#include "core/ConfigDir.h"
#include "core/Msg.h"
#include "text/TemplateEngine.h"

#include "ScratchDir.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
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

// Each line keeps its tag, and an untagged one its text as well.
bool SameShape(const TBodyLines& before, const TBodyLines& after) {
    if (before.size() != after.size())
        return false;
    for (size_t k = 0; k < before.size(); ++k) {
        if (before[k].LineTag != after[k].LineTag ||
            (before[k].LineTag == 0 && before[k].Text != after[k].Text))
            return false;
    }
    return true;
}

} // namespace

// Template lines name files in the configuration directory: it is the scratch directory,
// holding one text file to read, so no input reaches the user's own files.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("TAVRO_HOME", fuzz::ScratchDir().c_str(), 1);
    if (ConfigDir() != fuzz::ScratchDir())
        std::abort();
    std::ofstream(fuzz::ScratchDir() + "/sig.txt") << "Best regards,\nIvan\n\n-- \nlast line\n";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);
    const size_t split = input.find('\f');
    std::string templateText = input.substr(0, split);
    // Names with a separator (either kind) could leave the configuration directory.
    std::replace(templateText.begin(), templateText.end(), '/', '_');
    std::replace(templateText.begin(), templateText.end(), '\\', '_');

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
    const TBodyLines expanded = target.Body;
    // Twice, as after two header changes.
    for (int pass = 0; pass < 2; ++pass) {
        ReapplyTemplate(target, area, tpl, &area, &quoted);
        if (!SameShape(expanded, target.Body))
            std::abort();
    }
    return 0;
}
