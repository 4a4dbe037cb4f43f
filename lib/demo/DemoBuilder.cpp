#include "DemoBuilder.h"

#include "DemoBaseWriter.h"
#include "DemoConfig.h"
#include "DemoEchoPlan.h"
#include "DemoFixedLetters.h"
#include "DemoNodelist.h"
#include "DemoTopics.h"

#include "config/AddressBookFile.h"
#include "config/Config.h"
#include "config/ConfigFile.h"
#include "config/ConfigSave.h"
#include "config/NodelistZone.h"
#include "config/UsersFile.h"
#include "core/FileUtils.h"
#include "nodelist/Nodelist.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>

namespace tavro {

namespace fs = std::filesystem;

namespace {

std::string AbsolutePath(const std::string& path) {
    std::string full = fs::absolute(fs::path(path)).lexically_normal().string();
    while (full.size() > 1 && full.back() == '/')
        full.pop_back();
    return full;
}

} // namespace

TDemoBuilder::TDemoBuilder(const std::string& home) : Home_(AbsolutePath(home)) {}

TDemoSummary TDemoBuilder::Build() {
    Prepare();
    try {
        return WriteAll();
    } catch (...) {
        Undo();
        throw;
    }
}

// The home holds the user's addresses and letters: like the program's own, it is made for
// the user's eyes only.
void TDemoBuilder::Prepare() {
    std::error_code ec;
    if (fs::exists(Home_, ec)) {
        if (!fs::is_directory(Home_, ec))
            throw std::runtime_error(Home_ + " exists and is not a directory");
        if (!fs::is_empty(Home_, ec) || ec)
            throw std::runtime_error(Home_ + " is not empty; give a new or an empty directory");
        return;
    }
    fs::path outermost = Home_;
    while (outermost.has_parent_path() && outermost.parent_path() != outermost &&
           !fs::exists(outermost.parent_path(), ec))
        outermost = outermost.parent_path();
    fs::create_directories(fs::path(Home_).parent_path(), ec);
    if (::mkdir(Home_.c_str(), 0700) != 0)
        throw std::runtime_error("cannot create " + Home_ + ": " + std::strerror(errno));
    Created = outermost.string();
}

void TDemoBuilder::Undo() noexcept {
    std::error_code ec;
    if (!Created.empty()) {
        fs::remove_all(Created, ec);
        return;
    }
    for (const auto& entry : fs::directory_iterator(Home_, ec))
        fs::remove_all(entry.path(), ec);
}

TDemoSummary TDemoBuilder::WriteAll() {
    TConfig config;
    FillDemoConfig(config, Home_);
    Version = config.Settings.VersionText;
    Day = std::floor(Now());
    TDemoSummary summary;
    summary.Areas = config.Echoes.size();
    for (size_t i = 0; i < config.Echoes.size(); ++i)
        summary.Messages += WriteArea(config, *config.Echoes[i], DemoAreas()[i]);
    summary.NodelistEntries = WriteNodelist(config);
    SaveConfigFiles(config, {{TConfigFile::Main, ConfigFileName(Home_)},
                             {TConfigFile::Users, UsersFileName(Home_)},
                             {TConfigFile::Book, AddressBookFileName(Home_)}});
    return summary;
}

size_t TDemoBuilder::WriteArea(TConfig& config, TEcho& echo, const TDemoArea& area) {
    // A *.MSG base reports a missing directory as soon as it is opened.
    if (echo.BaseType == btMsg)
        fs::create_directories(echo.Path);
    const std::vector<TDemoLetter> letters = LettersOf(area);
    TBaseRef base = echo.GetBase();
    if (!base)
        throw std::runtime_error("cannot open the message base " + echo.Path);
    base->ScanSettings = &config.Settings;
    TDemoBaseWriter writer(*base, Day);
    writer.Write(letters, area.Linked);
    const TUser& user = *config.Users.front();
    writer.MarkRead(letters, user.UserId, user.Name);
    echo.CloseBase();
    return letters.size();
}

std::vector<TDemoLetter> TDemoBuilder::LettersOf(const TDemoArea& area) const {
    if (area.EchoType == etNetmail)
        return DemoNetmailLetters(Version);
    if (area.EchoType == etBadmail)
        return DemoBadmailLetters(Version);
    const TDemoEchoTexts* texts = DemoEchoTexts(area.Tag);
    if (texts == nullptr)
        throw std::logic_error(std::string("no demo texts for ") + area.Tag);
    return TDemoEchoPlan(area, *texts, Day, Version).Letters();
}

// Compiled here, so that look-ups work from the first start.
size_t TDemoBuilder::WriteNodelist(const TConfig& config) {
    const std::string& dir = config.Settings.NdlDir;
    fs::create_directories(dir);
    for (const TDemoFile& file : DemoNodelistFiles())
        if (!WriteFileAtomically(dir + "/" + file.Name, file.Text))
            throw std::runtime_error("cannot write " + dir + "/" + file.Name);
    TNodelistIndex index(dir, Home_);
    const TNodelistCompileReport report =
        index.CompileNodelists(config.Settings.NdlMasks, NodelistFallbackZone(config));
    if (!report.Ok() || report.FailedFiles() != 0)
        throw std::runtime_error("cannot compile the nodelist in " + dir);
    return report.Entries();
}

} // namespace tavro
