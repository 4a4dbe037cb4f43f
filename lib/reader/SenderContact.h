#pragma once

#include "config/AddressBook.h"
#include "core/Msg.h"

#include <string>

namespace tavro {

class TNodelistIndex;

// The Internet address of a message that came through a gateway, from the RFC-style header
// lines at the top of its body: the last "From:", or the first "Reply-To:", which ends the
// header. Empty when there is none.
std::string FindInternetSender(const TBodyLines& body);

// The contact "Add sender to address book" starts from: the sender's e-mail address when
// the message came through a gateway, else the FTN address with what the nodelist says of
// it; the name split into first, middle and last.
TABUser SenderContact(TCustomMsg& msg, const TNodelistIndex* nodelist);

} // namespace tavro
