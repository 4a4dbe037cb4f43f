// The contact "Add sender to address book" starts from, and the gateway header it reads.
#include "reader/SenderContact.h"

#include "nodelist/Nodelist.h"

#include "NodelistHelpers.h"
#include "TempDir.h"

#include <gtest/gtest.h>

using namespace tavro;
using tavro::test::Lines;
using tavro::test::TTempDir;

namespace {

TBodyLines Body(std::initializer_list<const char*> lines) {
    TBodyLines body;
    for (const char* line : lines)
        body.emplace_back(line);
    return body;
}

} // namespace

TEST(SenderContact, InternetSenderFromTheHeaderLines) {
    const struct {
        TBodyLines Body;
        std::string Sender;
    } cases[] = {
        {Body({"From: Ivan <ivan@example.org>", "Subject: x", "", "text"}), "Ivan <ivan@example.org>"},
        {Body({"From: a@example.org", "From: c@example.org"}), "c@example.org"}, // the last counts
        {Body({"From: a@example.org", "Reply-To: b@example.org", "From: c@example.org"}), "b@example.org"},
        {Body({"X-Mailer: y", "fRoM:   a@example.org  "}), "a@example.org"},
        {Body({"Hello all", "From: a@example.org"}), ""}, // the header ends at the first other line
        {Body({" From: a@example.org"}), ""},
        {Body({"From:a@example.org"}), ""},
        {Body({}), ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FindInternetSender(c.Body), c.Sender) << (c.Body.empty() ? "" : c.Body.front().Text);
}

TEST(SenderContact, GatedSenderGivesTheMailAddressAndTheNames) {
    TCustomMsg msg(nullptr);
    msg.FromName = "Ivan  Ivanovich Petrov";
    msg.FromAddr = TAddress(2, 5020, 1);
    msg.Body = Body({"From: Ivan Petrov <ivan@example.org>", "", "text"});
    const TABUser contact = SenderContact(msg, nullptr);
    EXPECT_EQ(contact.EMails, std::vector<std::string>{"ivan@example.org"});
    EXPECT_FALSE(contact.Address.IsValid());
    EXPECT_EQ(contact.FirstName, "Ivan");
    EXPECT_EQ(contact.MiddleName, "Ivanovich");
    EXPECT_EQ(contact.LastName, "Petrov");
}

// The net's host met before the sender's own first entry names the country; an unlisted
// node gets the last host of its net and nothing of its own.
TEST(SenderContact, FtnSenderTakesTheNodelistFields) {
    TTempDir dir;
    test::WriteFile(dir.File("nodelist.001"),
                    Lines({"Zone,2,Z,Earth,Zone_Coord,1,300", "Host,5020,Net_A,Moscow,Host_Coord,1,300",
                           ",1,Node_One,Tver,John_Doe,7-095-1,9600,CM"}));
    test::WriteFile(dir.File("nodelist.002"),
                    Lines({"Zone,2,Z,Earth,Zone_Coord,1,300", "Host,5020,Net_B,Moscow,Host_Coord,1,300",
                           ",1,Other_One,Tula,Ann_Lee,1,300"}));
    TNodelistIndex index(dir.Path());
    ASSERT_TRUE(index.CompileNodelists({"nodelist.*"}).Ok());
    index.LoadNodelistIndex();

    TCustomMsg msg(nullptr);
    msg.FromName = "John";
    msg.FromAddr = TAddress(2, 5020, 1);
    msg.Body = Body({"Hello"});
    TABUser contact = SenderContact(msg, &index);
    EXPECT_TRUE(contact.EMails.empty());
    EXPECT_EQ(contact.Address, TAddress(2, 5020, 1));
    EXPECT_EQ(contact.Country, "Net A");
    EXPECT_EQ(contact.BBSName, "Node One");
    EXPECT_EQ(contact.City, "Tver");
    EXPECT_EQ(contact.DataPhone, "7-095-1");
    EXPECT_EQ(contact.FirstName, "John");
    EXPECT_EQ(contact.LastName, "");

    msg.FromAddr = TAddress(2, 5020, 7);
    contact = SenderContact(msg, &index);
    EXPECT_EQ(contact.Country, "Net B");
    EXPECT_EQ(contact.BBSName + contact.City + contact.DataPhone, "");
}
