#include "config/AddressBookFile.h"

#include "config/CfgStream.h"
#include "config/Config.h"

#include "JpegMaker.h"
#include "TempDir.h"

#include <climits>
#include <functional>
#include <gtest/gtest.h>

using namespace tavro;
using tavro::test::MakeJpeg;
using tavro::test::ReadFile;
using tavro::test::TTempDir;
using tavro::test::WriteFile;

namespace {

const std::string Header = "Tavro Address Book v1.0\r\n";

// A contact with every field set to a value of its own.
std::unique_ptr<TABUser> FullContact(const std::string& name, std::string photo) {
    auto u = std::make_unique<TABUser>();
    u->Address.Parse("2:5020/1042.7@fidonet");
    u->FirstName = name;
    u->MiddleName = "M";
    u->LastName = "Petrov";
    u->NickName = "vanya";
    u->EMails = {"ivan@example.org", "ip@example.net"};
    u->Favourite = true;
    u->Photo = std::move(photo);
    u->Birthday = 28000.25;
    u->VoicePhone = "+7 495 1";
    u->FaxPhone = "+7 495 2";
    u->DataPhone = "+7 495 3";
    u->BBSName = "Station";
    u->WebPage = "http://example.org";
    u->StreetAddr = {"Tverskaya 1", "apt. 2"};
    u->City = "Moscow";
    u->State = "MO";
    u->ZIP = "125009";
    u->Country = "Russia";
    u->CompName = "Comp";
    u->JobTitle = "Sysop";
    u->Department = "Net";
    u->CompVoice = "+7 495 4";
    u->CompFax = "+7 495 5";
    u->CompStreetAddr = {"Arbat 3"};
    u->CompCity = "Tver";
    u->CompState = "TV";
    u->CompZIP = "170000";
    u->CompCountry = "RU";
    u->CompWeb = "http://comp.example.org";
    u->Remarks = {"first", "", "third"};
    return u;
}

void ExpectSameContact(const TABUser& a, const TABUser& b) {
    EXPECT_EQ(a.Address.ToStr5D(), b.Address.ToStr5D());
    EXPECT_EQ(a.FirstName, b.FirstName);
    EXPECT_EQ(a.MiddleName, b.MiddleName);
    EXPECT_EQ(a.LastName, b.LastName);
    EXPECT_EQ(a.NickName, b.NickName);
    EXPECT_EQ(a.EMails, b.EMails);
    EXPECT_EQ(a.Favourite, b.Favourite);
    EXPECT_EQ(a.Photo, b.Photo);
    EXPECT_EQ(a.Birthday, b.Birthday);
    for (auto field : {&TABUser::VoicePhone, &TABUser::FaxPhone, &TABUser::DataPhone, &TABUser::BBSName,
                       &TABUser::WebPage, &TABUser::City, &TABUser::State, &TABUser::ZIP, &TABUser::Country,
                       &TABUser::CompName, &TABUser::JobTitle, &TABUser::Department, &TABUser::CompVoice,
                       &TABUser::CompFax, &TABUser::CompCity, &TABUser::CompState, &TABUser::CompZIP,
                       &TABUser::CompCountry, &TABUser::CompWeb})
        EXPECT_EQ(a.*field, b.*field);
    EXPECT_EQ(a.StreetAddr, b.StreetAddr);
    EXPECT_EQ(a.CompStreetAddr, b.CompStreetAddr);
    EXPECT_EQ(a.Remarks, b.Remarks);
}

// The smallest contact record, named by its first name, with the given photo bytes.
void WriteContact(TCfgWriter& w, const std::string& firstName, std::string_view photo = {}) {
    w.Address(TAddress());
    w.String(firstName);
    for (int i = 0; i < 3; ++i)
        w.String("");
    w.StringList({});
    w.Bool(false);
    w.String(photo);
    w.Double(0);
    for (int i = 0; i < 5; ++i)
        w.String("");
    w.StringList({});
    for (int i = 0; i < 9; ++i)
        w.String("");
    w.StringList({});
    for (int i = 0; i < 4; ++i)
        w.String("");
    w.String("last field");
    w.StringList({});
}

class AddressBookFileTest : public ::testing::Test {
protected:
    TTempDir Temp;
    std::string File = AddressBookFileName(Temp.Path());

    void Load(TConfig& config, const std::string& bytes) {
        WriteFile(File, bytes);
        LoadAddressBook(config, File);
    }
};

} // namespace

TEST_F(AddressBookFileTest, RoundTripsContactsPhotosAndGroups) {
    EXPECT_EQ(File, Temp.Path() + "/TavroAdr.cfg");
    TConfig saved;
    saved.ABUsers.push_back(FullContact("Ivan", MakeJpeg(12, 10)));
    saved.ABUsers.push_back(std::make_unique<TABUser>());
    saved.ABUsers.push_back(FullContact("Olga", MakeJpeg(5, 7, 1, true)));
    auto friends = std::make_unique<TABGroup>();
    friends->Name = "Friends";
    friends->Members = {saved.ABUsers[2].get(), saved.ABUsers[0].get()};
    friends->Description = {"not stored"};
    saved.ABGroups.push_back(std::move(friends));
    saved.ABGroups.push_back(std::make_unique<TABGroup>());
    SaveAddressBook(saved, File);

    TConfig loaded;
    LoadAddressBook(loaded, File);
    ASSERT_EQ(loaded.ABUsers.size(), 3u);
    for (size_t i = 0; i < 3; ++i)
        ExpectSameContact(*loaded.ABUsers[i], *saved.ABUsers[i]);
    ASSERT_EQ(loaded.ABGroups.size(), 2u);
    EXPECT_EQ(loaded.ABGroups[0]->Name, "Friends");
    EXPECT_EQ(loaded.ABGroups[0]->Members,
              (std::vector<TABUser*>{loaded.ABUsers[2].get(), loaded.ABUsers[0].get()}));
    EXPECT_TRUE(loaded.ABGroups[0]->Description.empty());
    EXPECT_TRUE(loaded.ABGroups[1]->Members.empty());

    // Saving what was loaded writes the same bytes.
    const std::string first = ReadFile(File);
    SaveAddressBook(loaded, File);
    EXPECT_EQ(ReadFile(File), first);
}

TEST_F(AddressBookFileTest, WritesTheHeaderLineAndEmptyListsAsZeroCounts) {
    TConfig config;
    SaveAddressBook(config, File);
    EXPECT_EQ(ReadFile(File), Header + std::string(8, '\0'));
}

TEST_F(AddressBookFileTest, LoadsNothingWithoutTheHeaderLine) {
    TCfgWriter body;
    body.Int32(1);
    WriteContact(body, "Ivan");
    body.Int32(0);
    for (const std::string header : {"tavro address book v1.0\r\n", "Tavro Address Book v1.1\r\n",
                                     "Tavro Address Book v1.0 \r\n", "Tavro Address Book v1.0"}) {
        TConfig config;
        Load(config, header + body.Data);
        EXPECT_TRUE(config.ABUsers.empty()) << header;
    }
    // The line feed after the header is optional.
    TConfig config;
    Load(config, "Tavro Address Book v1.0\r" + body.Data);
    EXPECT_EQ(config.ABUsers.size(), 1u);

    TConfig missing;
    LoadAddressBook(missing, Temp.File("none.cfg"));
    EXPECT_TRUE(missing.ABUsers.empty());
}

TEST_F(AddressBookFileTest, AFileThatEndsAfterTheContactsHasNoGroups) {
    TCfgWriter w;
    w.Bytes(Header);
    w.Int32(2);
    WriteContact(w, "Ivan");
    WriteContact(w, "Olga");
    TConfig config;
    Load(config, w.Data);
    ASSERT_EQ(config.ABUsers.size(), 2u);
    EXPECT_EQ(config.ABUsers[1]->FirstName, "Olga");
    EXPECT_EQ(config.ABUsers[1]->CompWeb, "last field");
    EXPECT_TRUE(config.ABGroups.empty());
}

// A photo is kept byte for byte when it is JPEG data at all, decodable here or not (cut short,
// beyond the decoder's caps); only what is no JPEG is dropped, its contact kept.
TEST_F(AddressBookFileTest, KeepsEveryJpegPhotoAsStoredAndDropsTheRest) {
    const std::string jpeg = MakeJpeg(8, 8);
    const std::string cut = jpeg.substr(0, jpeg.size() / 2);
    TCfgWriter w;
    w.Bytes(Header);
    w.Int32(3);
    WriteContact(w, "Cut", cut);
    WriteContact(w, "Text", "not a picture");
    WriteContact(w, "Good", jpeg);
    w.Int32(0);
    TConfig config;
    Load(config, w.Data);
    ASSERT_EQ(config.ABUsers.size(), 3u);
    for (const auto& u : config.ABUsers)
        EXPECT_EQ(u->CompWeb, "last field") << u->FirstName;
    EXPECT_EQ(config.ABUsers[0]->Photo, cut);
    EXPECT_TRUE(config.ABUsers[1]->Photo.empty());
    EXPECT_EQ(config.ABUsers[2]->Photo, jpeg);
    // Written back as it came.
    SaveAddressBook(config, File);
    TConfig again;
    LoadAddressBook(again, File);
    EXPECT_EQ(again.ABUsers[0]->Photo, cut);
}

TEST_F(AddressBookFileTest, SavesAPhotoThatIsNoJpegAsNone) {
    TConfig config;
    config.ABUsers.push_back(FullContact("Ivan", "not a picture"));
    SaveAddressBook(config, File);
    TConfig expected;
    expected.ABUsers.push_back(FullContact("Ivan", ""));
    SaveAddressBook(expected, Temp.File("expected.cfg"));
    EXPECT_EQ(ReadFile(File), ReadFile(Temp.File("expected.cfg")));
}

TEST_F(AddressBookFileTest, DropsGroupMembersThatNameNoContactOfTheFile) {
    TCfgWriter w;
    w.Bytes(Header);
    w.Int32(2);
    WriteContact(w, "Ivan");
    WriteContact(w, "Olga");
    w.Int32(1);
    w.String("Mixed");
    w.Int32(5);
    for (int32_t index : {1, -1, 2, INT32_MAX, 0})
        w.Int32(index);
    // Loading appends: the file's indexes count from its own first contact.
    TConfig config;
    config.ABUsers.push_back(std::make_unique<TABUser>());
    Load(config, w.Data);
    ASSERT_EQ(config.ABUsers.size(), 3u);
    ASSERT_EQ(config.ABGroups.size(), 1u);
    EXPECT_EQ(config.ABGroups[0]->Members,
              (std::vector<TABUser*>{config.ABUsers[2].get(), config.ABUsers[1].get()}));

    // A member that is not a contact of the book is not written.
    TABUser stranger;
    config.ABGroups[0]->Members.push_back(&stranger);
    SaveAddressBook(config, File);
    TConfig reloaded;
    LoadAddressBook(reloaded, File);
    ASSERT_EQ(reloaded.ABGroups.size(), 1u);
    EXPECT_EQ(reloaded.ABGroups[0]->Members,
              (std::vector<TABUser*>{reloaded.ABUsers[2].get(), reloaded.ABUsers[1].get()}));
}

TEST_F(AddressBookFileTest, ADamagedFileFailsAndKeepsTheCompleteContacts) {
    const auto withHeader = [](const std::function<void(TCfgWriter&)>& body) {
        TCfgWriter w;
        w.Bytes(Header);
        body(w);
        return w.Data;
    };
    const struct {
        const char* what;
        std::string data;
        size_t contactsKept;
    } cases[] = {
        {"no contact count", Header, 0},
        {"a negative contact count", withHeader([](TCfgWriter& w) { w.Int32(-1); }), 0},
        {"more contacts than bytes", withHeader([](TCfgWriter& w) {
             w.Int32(1000000);
             WriteContact(w, "A");
         }),
         0},
        {"a photo longer than the file", withHeader([](TCfgWriter& w) {
             w.Int32(2);
             WriteContact(w, "A");
             w.Address(TAddress());
             for (int i = 0; i < 4; ++i)
                 w.String("");
             w.StringList({});
             w.Bool(false);
             w.Int32(1 << 30);
             w.Bytes(std::string(200, 'x'));
         }),
         1},
        {"a negative photo size", withHeader([](TCfgWriter& w) {
             w.Int32(1);
             w.Address(TAddress());
             for (int i = 0; i < 4; ++i)
                 w.String("");
             w.StringList({});
             w.Bool(false);
             w.Int32(-4);
             w.Bytes(std::string(200, 'x'));
         }),
         0},
        {"a group with more members than bytes", withHeader([](TCfgWriter& w) {
             w.Int32(1);
             WriteContact(w, "A");
             w.Int32(1);
             w.String("G");
             w.Int32(3);
             w.Int32(0);
         }),
         1},
        {"a stray byte after the contacts", withHeader([](TCfgWriter& w) {
             w.Int32(1);
             WriteContact(w, "A");
             w.Byte(1);
         }),
         1},
    };
    for (const auto& c : cases) {
        TConfig config;
        EXPECT_THROW(Load(config, c.data), EConfigError) << c.what;
        EXPECT_EQ(config.ABUsers.size(), c.contactsKept) << c.what;
    }

    // Every cut of a valid file either fails cleanly or, right after the contacts, loads them.
    TConfig full;
    full.ABUsers.push_back(FullContact("Ivan", MakeJpeg(4, 4)));
    auto group = std::make_unique<TABGroup>();
    group->Name = "G";
    group->Members = {full.ABUsers[0].get()};
    full.ABGroups.push_back(std::move(group));
    SaveAddressBook(full, File);
    const std::string bytes = ReadFile(File);
    const size_t afterContacts = bytes.size() - (4 + 4 + 1 + 4 + 4);
    for (size_t size = Header.size(); size < bytes.size(); ++size) {
        TConfig config;
        if (size == afterContacts) {
            Load(config, bytes.substr(0, size));
            EXPECT_EQ(config.ABUsers.size(), 1u);
        } else {
            EXPECT_THROW(Load(config, bytes.substr(0, size)), EConfigError) << size;
        }
    }
}

TEST_F(AddressBookFileTest, ASaveThatCannotWriteFails) {
    TConfig config;
    EXPECT_THROW(SaveAddressBook(config, Temp.File("missing/TavroAdr.cfg")), EConfigError);
}
