#include "Favourites.h"

#include "config/AddressBook.h"
#include "config/Config.h"

namespace tavro {

std::vector<const TABUser*> Favourites(const TConfig& config) {
    std::vector<const TABUser*> favourites;
    for (const auto& contact : config.ABUsers)
        if (contact->Favourite)
            favourites.push_back(contact.get());
    return favourites;
}

std::string FavouriteCaption(const TABUser& contact) {
    std::string caption = contact.FirstName + " " + contact.LastName;
    if (contact.Address.IsValid())
        caption += " (" + contact.Address.ToStr5D() + ")";
    else if (!contact.EMails.empty())
        caption += " <" + contact.EMails.front() + ">";
    return caption;
}

} // namespace tavro
