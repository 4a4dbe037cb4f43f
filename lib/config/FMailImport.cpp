#include "FMailImport.h"

#include "AreaImport.h"
#include "CfgStream.h"
#include "Config.h"

#include "core/Base.h"
#include "core/Endian.h"

#include <algorithm>

namespace tavro {

namespace {

constexpr size_t ConfigSize = 18432;
constexpr size_t NetmailPathAt = 560;
constexpr size_t PersonalPathAt = 992;
constexpr size_t FolderPathSize = 48;
constexpr size_t FolderAddressAt = 17802;
constexpr size_t AkaTableAt = 17792;
constexpr size_t AkaSize = 10;

constexpr size_t AreaHeaderSize = 50;
// The part of a record that holds the fields read; a shorter record reads as if padded
// with zero bytes.
constexpr size_t AreaFieldsSize = 235;

TAddress AddressAt(std::string_view data, size_t offset) {
    const char* p = data.data() + offset;
    return TAddress(GetLE16(p), GetLE16(p + 2), GetLE16(p + 4), GetLE16(p + 6));
}

[[noreturn]] void Fail(const std::string& fileName, const std::string& what) {
    throw EConfigError("FMail file \"" + fileName + "\" " + what);
}

std::string ReadFile(const std::string& fileName, const char* what) {
    std::string data;
    if (!ReadConfigFile(fileName, data))
        Fail(fileName, std::string("cannot be read as the ") + what);
    return data;
}

// The netmail and personal mail folders: *.MSG directories taken as FMail names them.
void ImportFolder(TAreaImport& import, std::string_view config, const char* tag, size_t pathAt) {
    const std::string path = OemField(config.substr(pathAt, FolderPathSize));
    if (path.empty())
        return;
    bool created = false;
    TEcho& echo = import.Take(tag, &created);
    import.Keep(echo);
    if (created)
        echo.DefAttr = 35;
    echo.Address = AddressAt(config, FolderAddressAt);
    echo.Path = path;
    echo.BaseType = btMsg;
}

void ImportArea(TAreaImport& import, std::string_view config, std::string_view record) {
    const std::string tag = OemField(record.substr(4, 51));
    if (tag.empty())
        return;
    if (const TEcho* existing = import.Find(tag))
        import.Keep(*existing);
    const std::string path = OemField(record.substr(111, 61));
    if (GetLE16(record.data() + 172) != 0 || path.empty())
        return;
    bool created = false;
    TEcho& echo = import.Take(tag, &created);
    // FMail keeps its AKAs in a fixed table; an index beyond it names none.
    const size_t akaAt = AkaTableAt + AkaSize * GetLE16(record.data() + 233);
    if (akaAt + 8 <= config.size())
        echo.Address = AddressAt(config, akaAt);
    echo.Path = import.SubstitutePath(path) + ".JHR";
    echo.Origin = OemField(record.substr(174, 59));
    echo.EchoType = etEchomail;
    echo.BaseType = btJam;
    if (created) {
        echo.DefAttr = 32;
        echo.Flags = efAddOrigin | efUseTemplate;
    }
}

void ImportAreaFile(TAreaImport& import, std::string_view config, const std::string& fileName) {
    const std::string data = ReadFile(fileName, "area file");
    if (data.size() < AreaHeaderSize)
        Fail(fileName, "is shorter than an area file header");
    const size_t count = GetLE16(data.data() + 46);
    const size_t recordSize = GetLE16(data.data() + 48);
    if (count * recordSize > data.size() - AreaHeaderSize)
        Fail(fileName, "ends inside its area records");
    std::string buffer(AreaFieldsSize, '\0');
    const size_t kept = std::min(recordSize, AreaFieldsSize);
    for (size_t i = 0; i < count; ++i) {
        std::copy_n(data.data() + AreaHeaderSize + i * recordSize, kept, buffer.begin());
        ImportArea(import, config, buffer);
    }
}

} // namespace

std::string FMailAreaFileName(const std::string& configFileName) {
    const size_t nameStart = configFileName.find_last_of('/') + 1;
    const size_t dot = configFileName.find('.', nameStart);
    if (dot == std::string::npos)
        return configFileName + ".ar";
    return configFileName.substr(0, dot + 1) + "ar";
}

void ImportFMail(TAreaImport& import, const std::string& fileName) {
    std::string config = ReadFile(fileName, "configuration");
    if (config.size() < ConfigSize)
        Fail(fileName, "is shorter than a configuration header");
    config.resize(ConfigSize);
    ImportFolder(import, config, "PERSONAL_MAIL", PersonalPathAt);
    ImportFolder(import, config, "NETMAIL", NetmailPathAt);
    ImportAreaFile(import, config, FMailAreaFileName(fileName));
}

} // namespace tavro
