#include "DemoConfig.h"

#include "DemoNodelist.h"
#include "DemoTexts.h"

#include "config/Config.h"
#include "core/CodePage.h"
#include "nodelist/NodelistPaths.h"

#include <string_view>

namespace tavro {

namespace {

// Configuration text is kept in the display code page.
std::string Display(std::string_view utf8) {
    return TCodePagePair::Default().Display()->FromUtf8(utf8);
}

std::vector<std::string> Display(const std::vector<std::string>& utf8) {
    std::vector<std::string> out;
    for (const std::string& text : utf8)
        out.push_back(Display(text));
    return out;
}

// The folder of `path` ("Echomail/Russian") in the tree, made where missing.
std::vector<std::unique_ptr<TTreeInfo>>& FolderOf(std::vector<std::unique_ptr<TTreeInfo>>& top,
                                                  std::string_view path) {
    std::vector<std::unique_ptr<TTreeInfo>>* level = &top;
    while (!path.empty()) {
        const size_t slash = path.find('/');
        const std::string name(path.substr(0, slash));
        path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
        TTreeInfo* folder = nullptr;
        for (const auto& node : *level)
            if (node->IsFolder() && node->Name == name)
                folder = node.get();
        if (folder == nullptr) {
            level->push_back(std::make_unique<TTreeInfo>());
            folder = level->back().get();
            folder->Name = name;
        }
        level = &folder->Children;
    }
    return *level;
}

void AddAreas(TConfig& config, TUser& user, const std::string& home) {
    for (const TDemoArea& area : DemoAreas()) {
        auto echo = std::make_unique<TEcho>();
        echo->Name = area.Tag;
        echo->Origin = Display(DemoOrigins().front());
        echo->EchoType = area.EchoType;
        echo->BaseType = area.BaseType;
        // Netmail is private by default; echomail and what the tosser set aside are not.
        echo->DefAttr = area.EchoType == etNetmail ? 33 : 32;
        echo->Address.Parse(DemoAddress());
        echo->Path = home + "/mail/" + area.File;
        if (area.BaseType == btMsg)
            echo->Path += "/";
        FolderOf(user.AreaTree, area.Folder).push_back(std::make_unique<TTreeInfo>(echo.get()));
        config.Echoes.push_back(std::move(echo));
    }
}

std::unique_ptr<TUser> DemoUserRecord(const TConfig& config) {
    std::unique_ptr<TUser> user = config.NewUser();
    user->Name = DemoPeople()[DemoUser].Name;
    user->RealName = Display(DemoRealName());
    user->UserId = 0;
    user->HighlightNames = Display(DemoHighlightNames());
    return user;
}

std::unique_ptr<TABUser> Contact(int person, const char* first, const char* last, const char* email,
                                 const char* bbs, const char* city, const char* country) {
    auto contact = std::make_unique<TABUser>();
    contact->Address.Parse(DemoPeople()[size_t(person)].Address);
    contact->FirstName = Display(first);
    contact->LastName = Display(last);
    contact->NickName = DemoPeople()[size_t(person)].Name;
    contact->EMails = {email};
    contact->BBSName = bbs;
    contact->City = Display(city);
    contact->Country = Display(country);
    return contact;
}

void AddAddressBook(TConfig& config) {
    config.ABUsers.push_back(Contact(DemoBoss, "Сергей", "Морозов", "sergey@kotelnaya.example.org",
                                     "Kotelnaya Station", "Москва", "Россия"));
    config.ABUsers.back()->Favourite = true;
    config.ABUsers.back()->Remarks = {Display("Босс: пойнтовый адрес, AreaFix, пароль на сессию.")};
    config.ABUsers.push_back(
        Contact(DemoHub, "Павел", "Лебедев", "nc5020@example.org", "Pavel's Hub", "Москва", "Россия"));
    config.ABUsers.back()->WebPage = "https://fido.example.org/5020/";
    config.ABUsers.push_back(Contact(4, "Николай", "Фёдоров", "kolya@spb.example.net", "Nevsky Evening",
                                     "Санкт-Петербург", "Россия"));
    config.ABUsers.push_back(Contact(11, "Peter", "Lindqvist", "peter@snowyhill.example.se", "Snowy Hill BBS",
                                     "Uppsala", "Sweden"));

    auto group = std::make_unique<TABGroup>();
    group->Name = Display("Сеть 5020");
    group->Members = {config.ABUsers[0].get(), config.ABUsers[1].get()};
    config.ABGroups.push_back(std::move(group));
}

void SetSettings(TGlobalSettings& settings, const std::string& home) {
    settings.Origins = Display(DemoOrigins());
    const TNodelistPaths nodelists = FullNodelistPaths(home + "/nodelist", DemoNodelistMasks(), home);
    settings.NdlDir = nodelists.Dir;
    settings.NdlMasks = nodelists.Masks;
    // No tosser runs beside the demo.
    settings.AutoLoadConfig = false;
}

} // namespace

const std::vector<TDemoArea>& DemoAreas() {
    static const std::vector<TDemoArea> areas = {
        {"NETMAIL", etNetmail, btMsg, "netmail", "Netmail"},
        {"BADMAIL", etBadmail, btMsg, "bad", "Netmail"},
        {"SU.GENERAL", etEchomail, btJam, "echo/su.general.jhr", "Echomail/Russian", 300, 120, 6, 10, true},
        {"RU.LINUX", etEchomail, btSquish, "echo/ru.linux.sqd", "Echomail/Technical", 120, 90, 8, 7, false},
        {"RU.FTN.DEVELOP", etEchomail, btJam, "echo/ru.ftn.develop.jhr", "Echomail/Technical", 60, 75, 5, 10,
         true},
        {"N5020.LOCAL", etEchomail, btJam, "echo/n5020.local.jhr", "", 40, 30, 20, 0, true},
    };
    return areas;
}

const char* DemoAddress() {
    return DemoPeople()[DemoUser].Address;
}

void FillDemoConfig(TConfig& config, const std::string& home) {
    SetSettings(config.Settings, home);
    std::unique_ptr<TUser> user = DemoUserRecord(config);
    AddAreas(config, *user, home);
    config.Users.push_back(std::move(user));
    AddAddressBook(config);
}

} // namespace tavro
