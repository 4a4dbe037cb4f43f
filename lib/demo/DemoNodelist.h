#pragma once

#include <string>
#include <vector>

namespace tavro {

// A file of the demo's nodelist directory.
struct TDemoFile {
    std::string Name;
    std::string Text;
};

// A nodelist with a few zones, regions, nets and nodes, every node the demo's letters come
// from among them, and the pointlist of the user's boss; lines end in CR LF as published.
std::vector<TDemoFile> DemoNodelistFiles();
// The masks that name them.
std::vector<std::string> DemoNodelistMasks();

} // namespace tavro
