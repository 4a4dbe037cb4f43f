#pragma once

#include <string>

namespace tavro {

class TABUser;
class TConfig;

// dir + "/TavroAdr.cfg".
std::string AddressBookFileName(const std::string& dir);

// Appends the contacts and groups of the file to the configuration. A missing file, or one
// whose first line is not the address book's, adds nothing; the latter is remembered, so no
// save writes over it without keeping it. A damaged file throws EConfigError, keeping what
// was read before the fault. Data that is no JPEG at all is dropped as a photo (its contact
// kept), and so is a group member that names no contact of the file.
void LoadAddressBook(TConfig& config, const std::string& fileName);

// Writes the whole address book anew, through a temporary file, bringing in first what
// another program saved there since this copy read it; throws EConfigError.
void SaveAddressBook(TConfig& config, const std::string& fileName);

// The two above without the file: the bytes of an address book file. False when the first
// line is not the address book's (nothing read).
bool ParseAddressBook(TConfig& config, std::string data);
std::string FormatAddressBook(const TConfig& config);
// One contact as the file holds it, to tell changed ones apart.
std::string ContactRecord(const TABUser& contact);

} // namespace tavro
