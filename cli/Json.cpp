#include "Json.h"

namespace tavro::cli {

namespace {

constexpr std::string_view Replacement = "\xEF\xBF\xBD";

// The length of the well-formed UTF-8 sequence at `pos`, 0 when there is none: no overlong
// forms, surrogates or values past U+10FFFF.
size_t Utf8Length(std::string_view text, size_t pos) {
    const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
    const uint8_t lead = byte(pos);
    size_t length;
    uint8_t low = 0x80, high = 0xBF; // range of the second byte
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() - pos < length || byte(pos + 1) < low || byte(pos + 1) > high)
        return 0;
    for (size_t i = 2; i < length; ++i)
        if ((byte(pos + i) & 0xC0) != 0x80)
            return 0;
    return length;
}

} // namespace

std::string JsonQuote(std::string_view utf8) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    std::string result;
    result.reserve(utf8.size() + 2);
    result += '"';
    size_t pos = 0;
    while (pos < utf8.size()) {
        const auto c = static_cast<uint8_t>(utf8[pos]);
        if (c == '"' || c == '\\') {
            result += '\\';
            result += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            result += "\\u00";
            result += Hex[c >> 4];
            result += Hex[c & 0x0F];
        } else if (size_t length = Utf8Length(utf8, pos); length == 0) {
            result += Replacement;
        } else {
            result.append(utf8.substr(pos, length));
            pos += length;
            continue;
        }
        ++pos;
    }
    result += '"';
    return result;
}

void TJsonWriter::NewLine() {
    Out << '\n' << std::string(Levels.size() * 2, ' ');
}

void TJsonWriter::BeforeValue() {
    if (AfterKey) {
        AfterKey = false;
        return;
    }
    if (Levels.empty())
        return;
    if (!Levels.back().Empty)
        Out << ',';
    Levels.back().Empty = false;
    NewLine();
}

void TJsonWriter::Close(char bracket) {
    const bool empty = Levels.back().Empty;
    Levels.pop_back();
    if (!empty)
        NewLine();
    Out << bracket;
    if (Levels.empty())
        Out << '\n';
}

void TJsonWriter::BeginObject() {
    BeforeValue();
    Out << '{';
    Levels.push_back({});
}

void TJsonWriter::EndObject() {
    Close('}');
}

void TJsonWriter::BeginArray() {
    BeforeValue();
    Out << '[';
    Levels.push_back({});
}

void TJsonWriter::EndArray() {
    Close(']');
}

void TJsonWriter::Key(std::string_view name) {
    BeforeValue();
    Out << JsonQuote(name) << ": ";
    AfterKey = true;
}

void TJsonWriter::String(std::string_view utf8) {
    BeforeValue();
    Out << JsonQuote(utf8);
}

void TJsonWriter::Number(int64_t value) {
    BeforeValue();
    Out << value;
}

void TJsonWriter::Bool(bool value) {
    BeforeValue();
    Out << (value ? "true" : "false");
}

void TJsonWriter::Null() {
    BeforeValue();
    Out << "null";
}

void TJsonWriter::StringArray(const std::vector<std::string>& values) {
    BeginArray();
    for (const std::string& value : values)
        String(value);
    EndArray();
}

} // namespace tavro::cli
