#pragma once

#include "compose/ComposeSession.h"

#include <QObject>

class QMenu;

namespace tavro {
class TABUser;
class TAddress;
} // namespace tavro

namespace tavro::app {

class TViewForm;
class TWriteForm;

// The reader's ways of writing: each command opens a composer beside the reader for its
// mode, and a sent message shows in the open area at once.
class TReaderCompose final : public QObject {
    Q_OBJECT
public:
    explicit TReaderCompose(TViewForm* form);

    // Opens a composer; null when there is no user, area or (for the modes that need one)
    // current message, or when the area chosen for it was not chosen.
    TWriteForm* Open(TComposeMode mode);
    // A new message to an FTN address, in an area the user picks.
    TWriteForm* WriteTo(const TAddress& address);
    // A new message in the open area to an address-book contact.
    TWriteForm* WriteToContact(const TABUser& contact);
    // Composers left by a crash or a killed program, offered back at start.
    void OfferLeftDrafts();

private:
    TWriteForm* Show(const TComposeRequest& request);
    TEcho* TargetArea(TComposeMode mode, TCustomMsg* current);
    void FillFavourites(QMenu* menu);

    TViewForm* Form;
};

} // namespace tavro::app
