#pragma once

#include <string>

namespace tavro {

class TAreaImport;

// Reads the netmail and personal mail folders and the JAM areas of an FMail binary
// configuration and its area file. A file shorter than its header, or whose counts run past
// its end, throws EConfigError; so does a missing area file.
void ImportFMail(TAreaImport& import, const std::string& fileName);

// The area file beside the configuration: its name up to the first "." and "ar"
// ("fmail.cfg" gives "fmail.ar"), in the same directory.
std::string FMailAreaFileName(const std::string& configFileName);

} // namespace tavro
