#pragma once

#include "core/Address.h"
#include "core/Base.h"

#include <cstdint>
#include <string>

namespace tavro {

enum TEchoType : uint8_t { etNetmail = 0, etEchomail = 1, etBadmail = 2 };

enum TEchoFlag : uint8_t {
    efAddOrigin = 0x01,
    efUseTemplate = 0x02,
    efRandomOrigin = 0x04,
    efAddCookies = 0x08,
    efKeepSoftCR = 0x10,
};

// One configured message area. It opens its base on first use and holds one reference.
struct TGlobalSettings;

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
    // The settings of the configuration that holds the area (scan files, path
    // substitutions); null for the program's.
    const TGlobalSettings* Settings = nullptr;

    // A reference to the area's base, made first when there is none; empty for a base type
    // without storage. Opening creates no file.
    TBaseRef GetBase();
    // A base of its own on the area's files that reads and writes the stored bytes as they are
    // (no code page, SoftCR kept): copies and moves go through it byte for byte, whatever
    // character set a message is in. Null when the base type has no storage.
    TBaseRef NewRawBase() const;
    TCustomBase* Base() const { return Base_.Get(); }
    // Lets go of the area's reference; a composer holding another keeps the base.
    void CloseBase();
    void SetPath(const std::string& path);

private:
    TBaseRef Base_;
};

} // namespace tavro
