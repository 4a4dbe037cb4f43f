#pragma once

#include "core/Address.h"

#include <cstdint>
#include <string>

namespace tavro {

class TCustomBase;

enum TEchoType : uint8_t { etNetmail = 0, etEchomail = 1, etBadmail = 2 };

enum TEchoFlag : uint8_t {
    efAddOrigin = 0x01,
    efUseTemplate = 0x02,
    efRandomOrigin = 0x04,
    efAddCookies = 0x08,
    efKeepSoftCR = 0x10,
};

// One configured message area. It opens its base on first use and holds one reference.
class TEcho {
public:
    TEcho() = default;
    ~TEcho();
    TEcho(const TEcho&) = delete;
    TEcho& operator=(const TEcho&) = delete;

    std::string Name;
    std::string Origin;
    uint8_t EchoType = etNetmail;
    uint8_t BaseType = 0;
    uint32_t DefAttr = 33;
    uint8_t Flags = efAddOrigin | efUseTemplate;
    TAddress Address;
    std::string Path;
    std::string DefCC;

    // The open base, opening it first; null when it cannot be opened (tried again next time).
    TCustomBase* GetBase();
    TCustomBase* Base() const { return Base_; }
    void CloseBase();
    void SetPath(const std::string& path);

private:
    TCustomBase* Base_ = nullptr;
};

} // namespace tavro
