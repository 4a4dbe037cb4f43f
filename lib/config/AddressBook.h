#pragma once

#include "core/Address.h"
#include "core/DateTime.h"

#include <string>
#include <vector>

namespace tavro {

// An address-book contact.
class TABUser {
public:
    TAddress Address;
    std::string FirstName, MiddleName, LastName, NickName;
    std::vector<std::string> EMails;
    bool Favourite = false;
    // A complete JPEG file; empty without a photo.
    std::string Photo;
    TDateTime Birthday = 0;
    std::string VoicePhone, FaxPhone, DataPhone, BBSName, WebPage;
    std::vector<std::string> StreetAddr;
    std::string City, State, ZIP, Country, CompName, JobTitle, Department, CompVoice, CompFax;
    std::vector<std::string> CompStreetAddr;
    std::string CompCity, CompState, CompZIP, CompCountry, CompWeb;
    std::vector<std::string> Remarks;
};

class TABGroup {
public:
    std::string Name;
    std::vector<TABUser*> Members; // entries of the address book, not owned
    // Edited in the group dialog; not stored.
    std::vector<std::string> Description;
};

} // namespace tavro
