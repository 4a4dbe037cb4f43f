#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace tavro::cli {

// A JSON string literal with its quotes. Control characters become \u00XX; bytes that are not
// well-formed UTF-8 (a file name from the command line can be anything) become U+FFFD, so the
// output always parses.
std::string JsonQuote(std::string_view utf8);

// Writes one JSON document as it is built, indented by two blanks per level so that two runs
// compare line by line. The caller keeps the calls balanced; the document ends in a newline.
class TJsonWriter {
public:
    explicit TJsonWriter(std::ostream& out) : Out(out) {}

    void BeginObject();
    void EndObject();
    void BeginArray();
    void EndArray();
    // The name of the next member of the current object.
    void Key(std::string_view name);
    void String(std::string_view utf8);
    void Number(int64_t value);
    void Bool(bool value);
    void Null();
    void StringArray(const std::vector<std::string>& values);

private:
    struct TLevel {
        bool Empty = true;
    };

    void BeforeValue();
    void NewLine();
    void Close(char bracket);

    std::ostream& Out;
    std::vector<TLevel> Levels;
    bool AfterKey = false;
};

} // namespace tavro::cli
