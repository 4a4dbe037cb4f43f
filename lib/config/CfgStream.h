#pragma once

#include "core/Address.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tavro {

// A configuration file that cannot be read: damaged, cut short or of an unknown version.
class EConfigError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads the little-endian fields of a configuration file held in memory. Every length and
// count is checked against what is left before anything is taken or allocated; a field the
// data ends inside throws EConfigError.
class TCfgReader {
public:
    explicit TCfgReader(std::string data) : Data(std::move(data)) {}

    bool AtEnd() const { return Pos >= Data.size(); }
    size_t Left() const { return Data.size() - Pos; }
    size_t Position() const { return Pos; }
    void Seek(size_t pos) { Pos = std::min(pos, Data.size()); }

    std::string_view Take(size_t n);
    int32_t Int32();
    uint16_t UInt16();
    uint8_t Byte();
    bool Bool(); // any non-zero byte is true
    double Double();
    std::string String();
    std::vector<std::string> StringList();
    TAddress Address();
    // A record count; each record takes at least `minRecordSize` bytes.
    size_t Count(size_t minRecordSize);
    // A text line up to CR (a following LF skipped), as the address book starts.
    std::string Line();

private:
    std::string Data;
    size_t Pos = 0;
};

class TCfgWriter {
public:
    void Bytes(std::string_view bytes) { Data += bytes; }
    void Int32(int32_t v);
    void UInt16(uint16_t v);
    void Byte(uint8_t v) { Data += static_cast<char>(v); }
    void Bool(bool v) { Byte(v ? 0xFF : 0x00); }
    void Double(double v);
    void String(std::string_view s);
    void StringList(const std::vector<std::string>& list);
    void Address(const TAddress& a);

    std::string Data;
};

// The main and the users file are kilobytes; a crafted one may cost no more than this. The
// address book holds photos and has no cap of its own.
constexpr size_t MaxSmallConfigBytes = size_t(4) << 20;

// The whole file; false when it does not exist. Larger than `maxBytes`, or unreadable:
// EConfigError.
bool ReadConfigFile(const std::string& fileName, std::string& data, size_t maxBytes = MaxSmallConfigBytes);

} // namespace tavro
