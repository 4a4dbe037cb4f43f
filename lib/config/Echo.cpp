#include "Echo.h"

#include "bases/BaseFactory.h"
#include "core/Settings.h"

namespace tavro {

TEcho::~TEcho() {
    CloseBase();
}

TCustomBase* TEcho::GetBase() {
    if (Base_)
        return Base_;
    std::string echoTag = EchoType == etEchomail ? Name : std::string();
    std::string netmailTag = EchoType == etNetmail ? Name : std::string();
    try {
        Base_ = CreateBase(BaseType, Path, echoTag, netmailTag);
    } catch (const std::exception&) {
        Base_ = nullptr;
    }
    if (Base_) {
        Base_->DoNotIgnoreSoftCR = (Flags & efKeepSoftCR) != 0;
        Base_->ScanFiles = {Settings().NetmailFlag, Settings().EchoscanFile, Settings().PathSubst};
    }
    return Base_;
}

void TEcho::CloseBase() {
    if (Base_)
        Base_->Release();
    Base_ = nullptr;
}

void TEcho::SetPath(const std::string& path) {
    Path = path;
    if (Base_)
        Base_->SetPath(path);
}

} // namespace tavro
