// The address book is a file anyone may have edited or cut short, with JPEG photos inside:
// the input is loaded, saved and loaded again. What one save writes must load into the
// same book and save to the same bytes.
#include "ScratchDir.h"

#include "config/AddressBookFile.h"
#include "config/CfgStream.h"
#include "config/Config.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

using namespace tavro;

namespace {

std::string Read(const std::string& name) {
    std::string data;
    ReadConfigFile(name, data);
    return data;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input = fuzz::ScratchDir() + "/input.cfg";
    const std::string saved = AddressBookFileName(fuzz::ScratchDir());
    std::ofstream(input, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

    TConfig config;
    try {
        LoadAddressBook(config, input);
    } catch (const EConfigError&) {
        // Damaged: what was read before stays and is saved below.
    }
    SaveAddressBook(config, saved);
    const std::string first = Read(saved);

    TConfig reloaded;
    LoadAddressBook(reloaded, saved);
    if (reloaded.ABUsers.size() != config.ABUsers.size() ||
        reloaded.ABGroups.size() != config.ABGroups.size())
        abort();
    if (FormatAddressBook(reloaded) != first)
        abort();
    return 0;
}
