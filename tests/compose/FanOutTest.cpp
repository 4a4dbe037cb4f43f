// Who the copies of a cross-post or carbon copy go to, and how each copy is addressed.
#include "compose/FanOut.h"

#include "config/AddressBook.h"
#include "config/Echo.h"

#include <gtest/gtest.h>

using namespace tavro;

namespace {

TBodyLines Lines(const std::vector<std::string>& texts) {
    TBodyLines lines;
    for (const std::string& text : texts)
        lines.emplace_back(text);
    return lines;
}

std::vector<std::string> Texts(const TBodyLines& lines) {
    std::vector<std::string> texts;
    for (const TBodyLine& line : lines)
        texts.push_back(line.Text);
    return texts;
}

TABUser Contact(const char* first, const char* last, const char* address) {
    TABUser contact;
    contact.FirstName = first;
    contact.MiddleName = "V.";
    contact.LastName = last;
    contact.Address.Parse(address);
    return contact;
}

TGateway Gate() {
    TGateway gate{"UUCP", {}};
    gate.Addr.Parse("2:5020/49");
    return gate;
}

} // namespace

TEST(CarbonCopyContactsTest, GroupsOpenedInOrderAndEachContactOnce) {
    TABUser anna, boris, vera;
    TABGroup friends, empty;
    friends.Members = {&boris, &anna, &vera};
    const std::vector<TCarbonCopyEntry> entries = {&anna, &friends, &empty, &vera,
                                                   static_cast<TABUser*>(nullptr)};
    EXPECT_EQ(CarbonCopyContacts(entries), (std::vector<TABUser*>{&anna, &boris, &vera}));
    EXPECT_TRUE(CarbonCopyContacts({&empty}).empty());
}

// The own area comes last even when it was chosen too; a chosen area twice is written once.
TEST(CrossPostTest, TargetsAndNotes) {
    TEcho own, first, second;
    own.Name = "RU.OWN";
    first.Name = "SU.FIRST";
    second.Name = "SU.SECOND";
    const std::vector<TEcho*> areas = CrossPostTargets({&first, &own, &second, &first}, &own);
    ASSERT_EQ(areas, (std::vector<TEcho*>{&first, &second, &own}));
    EXPECT_EQ(Texts(CrossPostNotes(areas, &second)),
              (std::vector<std::string>{"* Crossposted in SU.FIRST", "* Crossposted in RU.OWN"}));
    EXPECT_EQ(CrossPostTargets({}, &own), std::vector<TEcho*>{&own});
    EXPECT_TRUE(CrossPostNotes({&own}, &own).empty());
}

// The "To:" line the gateway reads is the first line, an empty one after it; one that is
// there already is replaced, not doubled.
TEST(GatewayFillTest, ToLineOnTop) {
    const struct {
        std::vector<std::string> Body, Expected;
    } cases[] = {
        {{}, {"To: ivan@example.org", ""}},
        {{"Hello"}, {"To: ivan@example.org", "", "Hello"}},
        {{"", "Hello"}, {"To: ivan@example.org", "", "Hello"}},
        {{"to: old@example.org", "", "Hello"}, {"To: ivan@example.org", "", "Hello"}},
        {{"TO: old@example.org", "Hello"}, {"To: ivan@example.org", "", "Hello"}},
    };
    for (const auto& c : cases) {
        TRecipientText text{"Ivan Petrov", "2:5020/7", Lines(c.Body)};
        GatewayFill(text, " ivan@example.org ", Gate());
        EXPECT_EQ(Texts(text.Body), c.Expected) << ::testing::PrintToString(c.Body);
        EXPECT_EQ(text.ToName, "UUCP");
        EXPECT_EQ(text.ToAddr, "2:5020/49");
    }
}

// A contact with an address gets its first and last name, and the text loses another
// recipient's gateway block; one with e-mail only goes through the gateway.
TEST(AddressToContactTest, NameAddressAndText) {
    const struct {
        TABUser Contact;
        std::vector<std::string> Body;
        std::string ToName, ToAddr;
        std::vector<std::string> Expected;
    } cases[] = {
        {Contact("Anna", "Smirnova", "2:5020/11"),
         {"To: gleb@example.org", "", " ", "Hello"},
         "Anna Smirnova",
         "2:5020/11",
         {"Hello"}},
        {Contact("Anna", "Smirnova", "2:5020/11.2"),
         {"Hello", ""},
         "Anna Smirnova",
         "2:5020/11.2",
         {"Hello", ""}},
        // A blank first line is taken off, as when the address is set in the window.
        {Contact("", "Smirnova", "2:5020/11"), {"", "", "Hello"}, "Smirnova", "2:5020/11", {"", "Hello"}},
        // Neither address nor e-mail: no destination, which the send makes the sender's own.
        {Contact("Anna", "", ""), {"To: gleb@example.org", "Hello"}, "Anna", "", {"Hello"}},
    };
    for (const auto& c : cases) {
        TRecipientText text{"<Friends>", "", Lines(c.Body)};
        AddressToContact(text, c.Contact, Gate());
        EXPECT_EQ(text.ToName, c.ToName);
        EXPECT_EQ(text.ToAddr, c.ToAddr);
        EXPECT_EQ(Texts(text.Body), c.Expected) << c.ToName;
    }

    TABUser mailOnly = Contact("Gleb", "Sokolov", "");
    mailOnly.EMails = {"gleb@example.org", "gleb@example.net"};
    TRecipientText text{"<Friends>", "", Lines({"Hello"})};
    AddressToContact(text, mailOnly, Gate());
    EXPECT_EQ(text.ToName, "UUCP");
    EXPECT_EQ(text.ToAddr, "2:5020/49");
    EXPECT_EQ(Texts(text.Body), (std::vector<std::string>{"To: gleb@example.org", "", "Hello"}));
}
