// Nodelists come from the network: any bytes must parse line by line, compile into an index
// whose entries point at lines of the file, and read back.
#include "nodelist/Nodelist.h"

#include "ScratchDir.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

using namespace tavro;

namespace {

void ParseLines(std::string_view data) {
    TNodeLineState work;
    work.FallbackZone = 2;
    size_t start = 0;
    while (start <= data.size()) {
        size_t end = data.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = data.size();
        const std::string_view line = data.substr(start, end - start);
        try {
            ParseNodeLine(line, work);
        } catch (const ENodeLineError&) {
            // A line the compiler fails its file for: we go on with the next.
        }
        size_t fields = 0;
        for (int k = 0; k <= 7; ++k)
            fields += NodeLineField(line, k).size();
        if (fields > line.size() * 3)
            std::abort();
        start = end + 1;
    }
}

void CompileAndLookUp(std::string_view data) {
    const std::string& dir = fuzz::ScratchDir();
    std::ofstream(dir + "/NODELIST.001", std::ios::binary | std::ios::trunc)
        .write(data.data(), static_cast<std::streamsize>(data.size()));
    TNodelistIndex index(dir);
    const TNodelistCompileReport report = index.CompileNodelists({"NODELIST.*"}, {2, "the fuzz target"});
    if (!report.Ok() || report.Files.size() != 1 || (report.Files[0].Failed && report.Entries() != 0))
        std::abort();
    index.LoadNodelistIndex();
    for (const TNodeEntry& entry : index.Entries())
        if (entry.FileNo != 0 || entry.LineOffset >= data.size())
            std::abort();
    if (index.Entries().empty())
        return;
    const TNodeEntry& first = index.Entries().front();
    if (index.FindNodeByAddress(first.Zone, first.Net, first.Node, first.Point) != &first)
        std::abort();
    const std::string sysop = index.GetNodeField(first, 4);
    // The entry was indexed from this line, so its sysop finds it again; only a plain ASCII
    // name survives the code page round trip and the trimming unchanged.
    const std::string_view line =
        data.substr(first.LineOffset, data.find_first_of("\r\n", first.LineOffset) - first.LineOffset);
    const std::string raw = NodeLineField(line, 4);
    const bool plain = !sysop.empty() && sysop.front() != ' ' && sysop.back() != ' ' &&
                       std::all_of(raw.begin(), raw.end(), [](char c) { return c >= 32 && c < 127; });
    if (!plain)
        return;
    bool found = false;
    for (const TNodeEntry* entry : index.FindNodesByName(sysop))
        found = found || entry == &first;
    if (!found)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    ParseLines(text);
    CompileAndLookUp(text);
    return 0;
}
