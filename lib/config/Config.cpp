#include "Config.h"

#include "core/SysInfo.h"

#include <algorithm>

namespace tavro {

namespace {

template <typename T> int PositionIn(const std::vector<std::unique_ptr<T>>& list, const T* item) {
    auto it = std::find_if(list.begin(), list.end(), [item](const auto& p) { return p.get() == item; });
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

} // namespace

TConfig::TConfig() {
    Settings.SetMaxMsgLen(16);
    Settings.VersionText = Settings.TearlineText = VersionText(SystemInfo());
    CreateDefaultTemplates();
}

void TConfig::CreateDefaultTemplates() {
    for (int kind = 0; kind < TemplateKindCount; ++kind) {
        Templates.push_back(
            std::make_unique<TTemplate>(MakeDefaultTemplate(static_cast<TTemplateKind>(kind))));
        DefaultTemplates[static_cast<size_t>(kind)] = Templates.back().get();
    }
    BuiltInTemplateCount = static_cast<int>(Templates.size());
    Settings.MinToTray = Settings.AddQuoteSpace = Settings.ConfirmDel = Settings.ConfirmDelReplied =
        Settings.ConfirmExit = true;
}

TEcho& TConfig::AddEcho() {
    Echoes.push_back(std::make_unique<TEcho>());
    Echoes.back()->Settings = &Settings;
    return *Echoes.back();
}

std::unique_ptr<TUser> TConfig::NewUser() const {
    return std::make_unique<TUser>(DefaultTemplates);
}

int TConfig::IndexOf(const TTemplate* t) const {
    return PositionIn(Templates, t);
}

int TConfig::IndexOf(const TEcho* e) const {
    return PositionIn(Echoes, e);
}

int TConfig::IndexOf(const TABUser* u) const {
    return PositionIn(ABUsers, u);
}

TConfig& Config() {
    static TConfig config;
    static const bool installed = (UseSettings(&config.Settings), true);
    (void)installed;
    return config;
}

} // namespace tavro
