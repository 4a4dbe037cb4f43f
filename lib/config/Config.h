#pragma once

#include "AddressBook.h"
#include "ConfigOrigin.h"
#include "Echo.h"
#include "Template.h"
#include "User.h"

#include "core/Settings.h"

#include <array>
#include <memory>
#include <vector>

namespace tavro {

// The whole configuration: the lists every part of the program reads, and the settings.
// The program has one (Config()); tests make their own.
class TConfig {
public:
    // Empty lists and default settings, then the built-in templates.
    TConfig();
    TConfig(const TConfig&) = delete;
    TConfig& operator=(const TConfig&) = delete;

    std::vector<std::unique_ptr<TEcho>> Echoes;
    std::vector<std::unique_ptr<TTemplate>> Templates; // the built-in ones first
    std::array<TTemplate*, TemplateKindCount> DefaultTemplates{};
    int BuiltInTemplateCount = 0;
    std::vector<std::unique_ptr<TUser>> Users;
    std::vector<std::unique_ptr<TABUser>> ABUsers;
    std::vector<std::unique_ptr<TABGroup>> ABGroups;
    TGlobalSettings Settings;
    // The three files as this copy last read or wrote them.
    TFileOrigin MainOrigin, UsersOrigin, BookOrigin;

    // Creates the eleven built-in templates and sets the settings they go with.
    void CreateDefaultTemplates();
    // A new area at the end of the list; its base writes scan files by these settings.
    TEcho& AddEcho();
    // A new user with the built-in templates in its slots.
    std::unique_ptr<TUser> NewUser() const;

    // Position of a record in its list; -1 when absent.
    int IndexOf(const TTemplate* t) const;
    int IndexOf(const TEcho* e) const;
    int IndexOf(const TABUser* u) const;
};

// The program's configuration.
TConfig& Config();

} // namespace tavro
