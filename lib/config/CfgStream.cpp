#include "CfgStream.h"

#include "core/Endian.h"
#include "core/FileUtils.h"

#include <cstring>

namespace tavro {

std::string_view TCfgReader::Take(size_t n) {
    if (n > Left())
        throw EConfigError("the configuration file ends inside a field");
    std::string_view bytes(Data.data() + Pos, n);
    Pos += n;
    return bytes;
}

int32_t TCfgReader::Int32() {
    return static_cast<int32_t>(GetLE32(Take(4).data()));
}

uint16_t TCfgReader::UInt16() {
    return GetLE16(Take(2).data());
}

uint8_t TCfgReader::Byte() {
    return static_cast<uint8_t>(Take(1)[0]);
}

bool TCfgReader::Bool() {
    return Byte() != 0;
}

double TCfgReader::Double() {
    uint64_t bits = GetLE32(Take(4).data());
    bits |= uint64_t(GetLE32(Take(4).data())) << 32;
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

std::string TCfgReader::String() {
    const int32_t length = Int32();
    if (length < 0 || size_t(length) > Left())
        throw EConfigError("a text of the configuration file runs past its end");
    return std::string(Take(size_t(length)));
}

std::vector<std::string> TCfgReader::StringList() {
    const size_t count = Count(4);
    std::vector<std::string> list;
    list.reserve(count);
    for (size_t i = 0; i < count; ++i)
        list.push_back(String());
    return list;
}

TAddress TCfgReader::Address() {
    TAddress a;
    a.Zone = UInt16();
    a.Net = UInt16();
    a.Node = UInt16();
    a.Point = UInt16();
    a.Domain = String();
    return a;
}

size_t TCfgReader::Count(size_t minRecordSize) {
    const int32_t count = Int32();
    if (count < 0 || (minRecordSize > 0 && size_t(count) > Left() / minRecordSize))
        throw EConfigError("a count of the configuration file exceeds what the file holds");
    return size_t(count);
}

std::string TCfgReader::Line() {
    size_t end = Data.find('\r', Pos);
    if (end == std::string::npos)
        end = Data.size();
    std::string line = Data.substr(Pos, end - Pos);
    Pos = end;
    if (Pos < Data.size())
        ++Pos;
    if (Pos < Data.size() && Data[Pos] == '\n')
        ++Pos;
    return line;
}

void TCfgWriter::Int32(int32_t v) {
    char b[4];
    PutLE32(b, static_cast<uint32_t>(v));
    Data.append(b, 4);
}

void TCfgWriter::UInt16(uint16_t v) {
    char b[2];
    PutLE16(b, v);
    Data.append(b, 2);
}

void TCfgWriter::Double(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    Int32(static_cast<int32_t>(static_cast<uint32_t>(bits)));
    Int32(static_cast<int32_t>(static_cast<uint32_t>(bits >> 32)));
}

void TCfgWriter::String(std::string_view s) {
    Int32(static_cast<int32_t>(s.size()));
    Data += s;
}

void TCfgWriter::StringList(const std::vector<std::string>& list) {
    Int32(static_cast<int32_t>(list.size()));
    for (const std::string& s : list)
        String(s);
}

void TCfgWriter::Address(const TAddress& a) {
    UInt16(a.Zone);
    UInt16(a.Net);
    UInt16(a.Node);
    UInt16(a.Point);
    String(a.Domain);
}

bool ReadConfigFile(const std::string& fileName, std::string& data, size_t maxBytes) {
    const std::string name = ResolveCase(fileName);
    if (!FileExists(name))
        return false;
    if (!ReadWholeFile(name, data, maxBytes))
        throw EConfigError("cannot read \"" + name + "\"");
    return true;
}

} // namespace tavro
