#include "FtnPacket.h"

#include "core/Endian.h"

#include <algorithm>
#include <cstring>

namespace tavro::test {

namespace {

constexpr size_t HeaderSize = 58;
constexpr size_t MsgHeaderSize = 14;
constexpr size_t DateSize = 20;
constexpr uint16_t PacketType = 2;
constexpr uint16_t CapWord = 0x0001;

void Put16(std::string& out, size_t offset, uint16_t value) {
    PutLE16(out.data() + offset, value);
}

uint16_t Get16(std::string_view data, size_t offset) {
    return GetLE16(data.data() + offset);
}

void AppendZ(std::string& out, std::string_view text) {
    out += text;
    out += '\0';
}

// A zero-terminated string of at most `limit` bytes with its zero; false when none ends
// within the limit or the data.
bool ReadZ(std::string_view data, size_t& pos, size_t limit, std::string& out) {
    std::string_view rest = data.substr(pos, limit);
    size_t zero = rest.find('\0');
    if (zero == std::string_view::npos)
        return false;
    out.assign(rest.substr(0, zero));
    pos += zero + 1;
    return true;
}

} // namespace

std::string WritePacket(const TPacket& packet) {
    std::string out(HeaderSize, '\0');
    Put16(out, 0, packet.Orig.Node);
    Put16(out, 2, packet.Dest.Node);
    Put16(out, 4, 2024); // the creation time matters to nobody reading these packets
    Put16(out, 6, 0);
    Put16(out, 8, 5);
    Put16(out, 10, 10);
    Put16(out, 12, 3);
    Put16(out, 18, PacketType);
    Put16(out, 20, packet.Orig.Net);
    Put16(out, 22, packet.Dest.Net);
    out[24] = static_cast<char>(0xFE);
    std::memcpy(out.data() + 26, packet.Password.data(), std::min<size_t>(packet.Password.size(), 8));
    Put16(out, 34, packet.Orig.Zone);
    Put16(out, 36, packet.Dest.Zone);
    Put16(out, 40, static_cast<uint16_t>(CapWord << 8 | CapWord >> 8));
    Put16(out, 44, CapWord);
    Put16(out, 46, packet.Orig.Zone);
    Put16(out, 48, packet.Dest.Zone);
    Put16(out, 50, packet.Orig.Point);
    Put16(out, 52, packet.Dest.Point);

    for (const TPacketMsg& msg : packet.Msgs) {
        std::string head(MsgHeaderSize, '\0');
        Put16(head, 0, PacketType);
        Put16(head, 2, msg.OrigNode);
        Put16(head, 4, msg.DestNode);
        Put16(head, 6, msg.OrigNet);
        Put16(head, 8, msg.DestNet);
        Put16(head, 10, msg.Attr);
        Put16(head, 12, msg.Cost);
        out += head;
        std::string date(DateSize, '\0');
        std::memcpy(date.data(), msg.DateTime.data(), std::min(msg.DateTime.size(), DateSize - 1));
        out += date;
        AppendZ(out, msg.ToName);
        AppendZ(out, msg.FromName);
        AppendZ(out, msg.Subject);
        AppendZ(out, msg.Text);
    }
    out.append(2, '\0');
    return out;
}

std::string ReadPacket(std::string_view data, TPacket& packet) {
    packet = {};
    if (data.size() < HeaderSize)
        return "shorter than a packet header";
    if (Get16(data, 18) != PacketType)
        return "not a type-2 packet";
    packet.Orig = TAddress(Get16(data, 34), Get16(data, 20), Get16(data, 0));
    packet.Dest = TAddress(Get16(data, 36), Get16(data, 22), Get16(data, 2));
    const uint16_t cap = Get16(data, 44);
    const uint16_t validation = Get16(data, 40);
    if ((cap & CapWord) && validation == static_cast<uint16_t>(cap << 8 | cap >> 8)) {
        packet.Orig.Zone = Get16(data, 46);
        packet.Dest.Zone = Get16(data, 48);
        packet.Orig.Point = Get16(data, 50);
        packet.Dest.Point = Get16(data, 52);
    }
    packet.Password = std::string(data.substr(26, 8));
    packet.Password.resize(std::strlen(packet.Password.c_str()));

    size_t pos = HeaderSize;
    for (;;) {
        if (data.size() - pos < 2)
            return "no terminating zero word";
        const uint16_t type = Get16(data, pos);
        if (type == 0)
            return {};
        if (type != PacketType)
            return "unknown message type " + std::to_string(type) + " at offset " + std::to_string(pos);
        if (data.size() - pos < MsgHeaderSize + DateSize)
            return "message header cut short at offset " + std::to_string(pos);
        TPacketMsg msg;
        msg.OrigNode = Get16(data, pos + 2);
        msg.DestNode = Get16(data, pos + 4);
        msg.OrigNet = Get16(data, pos + 6);
        msg.DestNet = Get16(data, pos + 8);
        msg.Attr = Get16(data, pos + 10);
        msg.Cost = Get16(data, pos + 12);
        pos += MsgHeaderSize;
        std::string_view date = data.substr(pos, DateSize);
        msg.DateTime.assign(date.substr(0, date.find('\0')));
        pos += DateSize;
        if (!ReadZ(data, pos, 36, msg.ToName) || !ReadZ(data, pos, 36, msg.FromName) ||
            !ReadZ(data, pos, 72, msg.Subject) || !ReadZ(data, pos, data.size(), msg.Text))
            return "message strings cut short near offset " + std::to_string(pos);
        packet.Msgs.push_back(std::move(msg));
    }
}

std::vector<std::string> TextLines(std::string_view text) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : text) {
        if (c == '\r') {
            lines.push_back(std::move(line));
            line.clear();
        } else if (c != '\n') {
            line += c;
        }
    }
    if (!line.empty())
        lines.push_back(std::move(line));
    return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + '\r';
    return text;
}

} // namespace tavro::test
