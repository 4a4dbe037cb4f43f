#pragma once

#include <string>

namespace tavro {

class TTemplate;

// "*.tpl" files: one template line per text line, in the OEM code page, ended by CR LF.

// "TPL" in the configuration directory.
std::string TemplateDir();

// The template name with ".tpl", the file name the save dialog proposes.
std::string TemplateFileName(const TTemplate& tpl);

// False when the file cannot be written; an existing file is replaced whole or not at all.
bool SaveTemplateFile(const std::string& fileName, const TTemplate& tpl);

// Replaces the template's lines with the file's and names it after the file (up to its
// first "."). False, changing nothing, when the file cannot be read or is larger than any
// template.
bool LoadTemplateFile(const std::string& fileName, TTemplate& tpl);

} // namespace tavro
