#include "TemplateFile.h"

#include "config/Template.h"
#include "core/CodePage.h"
#include "core/ConfigDir.h"
#include "core/FileUtils.h"

namespace tavro {

namespace {

constexpr size_t MaxTemplateFileSize = 1024 * 1024;

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

std::string TemplateDir() {
    return ConfigDir() + "/TPL";
}

std::string TemplateFileName(const TTemplate& tpl) {
    return tpl.Name + ".tpl";
}

bool SaveTemplateFile(const std::string& fileName, const TTemplate& tpl) {
    std::string data;
    for (const std::string& line : tpl.Lines) {
        data += ActiveCodePages().DisplayToOem(line);
        data += "\r\n";
    }
    return WriteFileAtomically(fileName, data);
}

bool LoadTemplateFile(const std::string& fileName, TTemplate& tpl) {
    std::string data;
    if (!ReadWholeFile(fileName, data, MaxTemplateFileSize))
        return false;
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < data.size()) {
        size_t end = data.find('\n', start);
        if (end == std::string::npos)
            end = data.size();
        std::string_view line(data.data() + start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(ActiveCodePages().OemToDisplay(line));
        start = end + 1;
    }
    const std::string name = BaseName(fileName);
    tpl.Name = name.substr(0, name.find('.'));
    tpl.Lines = std::move(lines);
    return true;
}

} // namespace tavro
