#pragma once

#include <string>

namespace tavro {

class TConfig;

// dir + "/TavroAdr.cfg".
std::string AddressBookFileName(const std::string& dir);

// Appends the contacts and groups of the file to the configuration. A missing file, or one
// whose first line is not the address book's, adds nothing. A damaged file throws
// EConfigError, keeping what was read before the fault. A photo that does not decode is
// dropped (its contact kept), and so is a group member that names no contact of the file.
void LoadAddressBook(TConfig& config, const std::string& fileName);

// Writes the whole address book anew, through a temporary file; throws EConfigError. A
// photo that does not decode is written as none.
void SaveAddressBook(const TConfig& config, const std::string& fileName);

// The two above without the file: the bytes of an address book file.
void ParseAddressBook(TConfig& config, std::string data);
std::string FormatAddressBook(const TConfig& config);

} // namespace tavro
