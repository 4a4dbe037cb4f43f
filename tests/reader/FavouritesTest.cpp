#include "reader/Favourites.h"

#include "config/AddressBook.h"
#include "config/Config.h"

#include <gtest/gtest.h>

using namespace tavro;

namespace {

TABUser& Contact(TConfig& config, const char* first, const char* last, const char* address,
                 std::vector<std::string> mails, bool favourite) {
    auto contact = std::make_unique<TABUser>();
    contact->FirstName = first;
    contact->LastName = last;
    contact->Address.Parse(address);
    contact->EMails = std::move(mails);
    contact->Favourite = favourite;
    config.ABUsers.push_back(std::move(contact));
    return *config.ABUsers.back();
}

} // namespace

// Only favourites, in list order; the FTN address wins over an e-mail address.
TEST(Favourites, ListAndCaptions) {
    TConfig config;
    Contact(config, "Ivan", "Petrov", "2:5020/7.1", {"ivan@example.org"}, true);
    Contact(config, "Olga", "Ivanova", "2:5020/8", {}, false);
    Contact(config, "Petr", "Sidorov", "", {"petr@example.org", "p@x.org"}, true);
    Contact(config, "Anna", "", "", {}, true);
    std::vector<std::string> captions;
    for (const TABUser* contact : Favourites(config))
        captions.push_back(FavouriteCaption(*contact));
    EXPECT_EQ(captions, (std::vector<std::string>{"Ivan Petrov (2:5020/7.1)",
                                                  "Petr Sidorov <petr@example.org>", "Anna "}));
}
