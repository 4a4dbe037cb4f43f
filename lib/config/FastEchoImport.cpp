#include "FastEchoImport.h"

#include "AreaImport.h"
#include "CfgStream.h"
#include "Config.h"

#include "core/Base.h"
#include "core/Endian.h"

namespace tavro {

namespace {

constexpr size_t HeaderSize = 4644;
constexpr size_t AkaRecordSize = 42;
constexpr size_t OriginSize = 62;
constexpr size_t AreaRecordSize = 190;

enum TBlockType : uint16_t { btAkas = 7, btOrigins = 8 };

class TFastEchoReader {
public:
    TFastEchoReader(TAreaImport& import, std::string fileName, std::string data)
        : Import(import), FileName(std::move(fileName)), Data(std::move(data)) {}

    void Run() {
        if (Data.size() < HeaderSize)
            Fail("is shorter than its header");
        const size_t extensionEnd = HeaderSize + GetLE32(At(4640));
        ReadExtensions(extensionEnd);
        const uint64_t nodesSize = uint64_t(GetLE16(At(6))) * GetLE16(At(4638));
        ReadAreas(uint64_t(extensionEnd) + nodesSize, GetLE16(At(8)));
    }

private:
    const char* At(size_t offset) const { return Data.data() + offset; }

    [[noreturn]] void Fail(const std::string& what) const {
        throw EConfigError("FastEcho configuration \"" + FileName + "\" " + what);
    }

    // `size` bytes at `offset`, which must lie inside the file.
    std::string_view Block(uint64_t offset, uint64_t size, const char* what) const {
        if (offset > Data.size() || size > Data.size() - offset)
            Fail(std::string("ends inside its ") + what);
        return std::string_view(Data).substr(offset, size);
    }

    void ReadExtensions(size_t end) {
        const size_t akaCount = static_cast<uint8_t>(Data[3250]);
        const size_t originCount = static_cast<uint8_t>(Data[3817]);
        uint64_t pos = HeaderSize;
        while (pos + 6 <= end) {
            const std::string_view header = Block(pos, 6, "extension blocks");
            const uint16_t type = GetLE16(header.data());
            pos += 6;
            if (type == btAkas) {
                ReadAkas(Block(pos, akaCount * AkaRecordSize, "AKA list"));
                pos += akaCount * AkaRecordSize;
            } else if (type == btOrigins) {
                ReadOrigins(Block(pos, originCount * OriginSize, "origin list"));
                pos += originCount * OriginSize;
            } else {
                pos += GetLE32(header.data() + 2);
            }
        }
    }

    void ReadAkas(std::string_view block) {
        Akas.clear();
        for (size_t at = 0; at + AkaRecordSize <= block.size(); at += AkaRecordSize) {
            const char* r = block.data() + at;
            Akas.emplace_back(GetLE16(r), GetLE16(r + 2), GetLE16(r + 4), GetLE16(r + 6),
                              OemField(block.substr(at + 8, 28)));
        }
    }

    // Kept in their places: an area names its origin by position, and an empty one is none.
    void ReadOrigins(std::string_view block) {
        Origins.clear();
        for (size_t at = 0; at + OriginSize <= block.size(); at += OriginSize)
            Origins.push_back(OemField(block.substr(at, OriginSize)));
    }

    void ReadAreas(uint64_t start, size_t count) {
        const std::string_view records = Block(start, uint64_t(count) * AreaRecordSize, "area records");
        for (size_t i = 0; i < count; ++i)
            ReadArea(records.substr(i * AreaRecordSize, AreaRecordSize));
    }

    void ReadArea(std::string_view record);

    TAreaImport& Import;
    std::string FileName;
    std::string Data;
    std::vector<TAddress> Akas;
    std::vector<std::string> Origins;
};

void TFastEchoReader::ReadArea(std::string_view record) {
    const uint16_t flags = GetLE16(record.data() + 62);
    const unsigned storage = flags & 0x0F;
    const unsigned kind = (flags >> 4) & 0x0F;
    const size_t origin = (flags >> 8) & 0x0F;
    const std::string tag = OemField(record.substr(0, 52));
    if (storage < 1 || storage > 3 || tag.empty())
        return;
    bool created = false;
    TEcho& echo = Import.Take(tag, &created);
    Import.Keep(echo);
    const size_t aka = static_cast<uint8_t>(record[60]);
    if (aka < Akas.size())
        echo.Address = Akas[aka];
    echo.EchoType = kind == 0 || kind == 2 ? etEchomail : kind == 1 ? etNetmail : etBadmail;
    const std::string path = OemField(record.substr(82, 56));
    static constexpr TBaseType Types[] = {btMsg, btSquish, btJam};
    echo.BaseType = Types[storage - 1];
    // An empty path stays empty rather than turning into the root directory.
    if (path.empty())
        echo.Path.clear();
    else
        echo.Path = storage == 1 ? WithSeparator(path) : path + (storage == 2 ? ".SQD" : ".JHR");
    echo.Path = Import.SubstitutePath(echo.Path);
    if (created) {
        echo.DefAttr = storage == 1 ? 35 : 32;
        echo.Flags = efAddOrigin | efUseTemplate;
    }
    if (origin < Origins.size() && !Origins[origin].empty())
        echo.Origin = Origins[origin];
}

} // namespace

void ImportFastEcho(TAreaImport& import, const std::string& fileName) {
    std::string data;
    if (!ReadConfigFile(fileName, data))
        throw EConfigError("cannot read FastEcho configuration \"" + fileName + "\"");
    TFastEchoReader(import, fileName, std::move(data)).Run();
}

} // namespace tavro
