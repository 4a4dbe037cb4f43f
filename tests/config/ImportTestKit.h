#pragma once

#include "config/Config.h"
#include "config/TosserImport.h"

#include "TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <initializer_list>
#include <sstream>
#include <string>

namespace tavro::test {

// An area as one line, to compare whole area lists at a glance.
inline std::string Describe(const TEcho& e) {
    std::ostringstream s;
    s << e.Name << " t" << int(e.EchoType) << " b" << int(e.BaseType) << " a" << e.DefAttr << " f"
      << int(e.Flags) << " " << (e.Address.IsValid() ? e.Address.ToStr5D() : "-") << " " << e.Path;
    if (!e.Origin.empty())
        s << " o:" << e.Origin;
    return s.str();
}

inline std::vector<std::string> Describe(const TConfig& config) {
    std::vector<std::string> lines;
    for (const auto& echo : config.Echoes)
        lines.push_back(Describe(*echo));
    return lines;
}

// A user's tree, a line per node: folders end in "/", their children are indented.
inline std::vector<std::string> Tree(const std::vector<std::unique_ptr<TTreeInfo>>& nodes) {
    std::vector<std::string> lines;
    for (const auto& node : nodes) {
        if (node->IsFolder()) {
            lines.push_back(node->Name + "/");
            for (const std::string& child : Tree(node->Children))
                lines.push_back("  " + child);
        } else {
            lines.push_back(node->Echo->Name);
        }
    }
    return lines;
}

// The lines, each ended by a line feed.
inline std::string Lines(std::initializer_list<std::string> lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

// A scratch directory for a tosser's files and a configuration to import them into.
class ImportTest : public ::testing::Test {
protected:
    TTempDir Dir;
    TConfig Config;

    // Writes `name` under the directory, making its folders.
    std::string Write(const std::string& name, std::string_view data) {
        const std::string path = Dir.File(name);
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        WriteFile(path, data);
        return path;
    }

    TEcho& AddArea(const std::string& name, uint8_t echoType = etEchomail) {
        Config.Echoes.push_back(std::make_unique<TEcho>());
        Config.Echoes.back()->Name = name;
        Config.Echoes.back()->EchoType = echoType;
        return *Config.Echoes.back();
    }

    TEcho* Area(const std::string& name) {
        for (const auto& echo : Config.Echoes)
            if (echo->Name == name)
                return echo.get();
        return nullptr;
    }

    TImportSummary Import(int type, const std::string& file) {
        return ImportAreas(Config, type, file, false);
    }

    // Imports and then imports again, which must change nothing.
    void ImportTwice(int type, const std::string& file) {
        Import(type, file);
        const std::vector<std::string> first = Describe(Config);
        const TImportSummary again = Import(type, file);
        EXPECT_EQ(Describe(Config), first);
        EXPECT_TRUE(again.Added.empty() && again.Updated.empty() && again.Removed.empty());
    }
};

} // namespace tavro::test
