#pragma once

#include <string>
#include <vector>

namespace tavro {

class TABUser;
class TConfig;

// The address-book contacts marked as favourites, in list order: the drop-down of "New".
std::vector<const TABUser*> Favourites(const TConfig& config);
// "First Last (2:5020/1.2)", or "First Last <mail@host>" for a contact without an FTN
// address.
std::string FavouriteCaption(const TABUser& contact);

} // namespace tavro
