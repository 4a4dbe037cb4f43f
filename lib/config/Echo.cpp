#include "Echo.h"

#include "core/CodePage.h"

#include "bases/BaseFactory.h"

namespace tavro {

TEcho::~TEcho() {
    CloseBase();
}

TBaseRef TEcho::GetBase() {
    if (Base_)
        return Base_;
    std::string echoTag = EchoType == etEchomail ? Name : std::string();
    std::string netmailTag = EchoType == etNetmail ? Name : std::string();
    try {
        Base_ = NewBase(BaseType, Path, echoTag, netmailTag);
    } catch (const std::exception&) {
        Base_.Reset();
    }
    if (Base_) {
        Base_->DoNotIgnoreSoftCR = (Flags & efKeepSoftCR) != 0;
        // Read at each write, so a changed setting counts at once.
        Base_->ScanSettings = Settings;
    }
    return Base_;
}

TBaseRef TEcho::NewRawBase() const {
    TBaseRef base;
    try {
        base = NewBase(BaseType, Path, EchoType == etEchomail ? Name : std::string(),
                       EchoType == etNetmail ? Name : std::string());
    } catch (const std::exception&) {
        return {};
    }
    if (base) {
        base->CodePages = TCodePagePair::Identity();
        base->DoNotIgnoreSoftCR = true;
        base->ScanSettings = Settings;
    }
    return base;
}

void TEcho::CloseBase() {
    Base_.Reset();
}

void TEcho::SetPath(const std::string& path) {
    Path = path;
    if (Base_)
        Base_->SetPath(path);
}

} // namespace tavro
