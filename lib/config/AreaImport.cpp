#include "AreaImport.h"

#include "CfgStream.h"
#include "Config.h"

#include "core/Base.h"
#include "core/CodePage.h"
#include "core/FileUtils.h"
#include "core/StrUtils.h"

#include <algorithm>
#include <iterator>

namespace tavro {

namespace {

// A text configuration is a few hundred kilobytes even with thousands of areas.
constexpr size_t MaxTextConfigBytes = size_t(16) << 20;
// A tosser has a few dozen addresses at most; every link word is compared with each.
constexpr size_t MaxOwnAddresses = 256;
constexpr size_t MaxWarnings = 100;

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

// A number of the link matches what it does not name (0) and itself.
bool LinkPartMatches(uint16_t link, uint16_t own) {
    return link == 0 || link == own;
}

} // namespace

TAreaImport::TAreaImport(TConfig& config) : Config_(config) {
    for (const auto& echo : config.Echoes) {
        Stale.insert(echo.get());
        ByTag.emplace(UpperCaseAscii(echo->Name), echo.get());
    }
}

TEcho* TAreaImport::Find(std::string_view tag) const {
    auto it = ByTag.find(UpperCaseAscii(tag));
    return it == ByTag.end() ? nullptr : it->second;
}

TEcho& TAreaImport::Take(std::string_view tag, bool* created) {
    FoundAny_ = true;
    TEcho* echo = Find(tag);
    if (created)
        *created = echo == nullptr;
    if (!echo) {
        echo = &Config_.AddEcho();
        ByTag.emplace(UpperCaseAscii(tag), echo);
    }
    echo->Name = std::string(tag);
    return *echo;
}

TEcho& TAreaImport::TakeArea(std::string_view tag, TEchoType kind, std::string_view path) {
    bool created = false;
    TEcho& echo = Take(tag, &created);
    if (created)
        echo.DefAttr = kind == etEchomail ? 32 : 35; // Loc, and for netmail Pvt K/S
    echo.EchoType = kind;
    echo.Path = std::string(path);
    echo.BaseType = btMsg;
    return echo;
}

void TAreaImport::Keep(const TEcho& echo) {
    FoundAny_ = true;
    Stale.erase(&echo);
}

void TAreaImport::Drop(const TEcho& echo) {
    Stale.insert(&echo);
}

void TAreaImport::AddOwnAddress(std::string_view text) {
    TAddress address;
    address.Parse(text);
    if (address.IsValid() && OwnAddresses_.size() < MaxOwnAddresses)
        OwnAddresses_.push_back(address);
}

bool TAreaImport::IsOwnAddress(const TAddress& address) const {
    return std::find(OwnAddresses_.begin(), OwnAddresses_.end(), address) != OwnAddresses_.end();
}

void TAreaImport::ChooseAka(TEcho& echo, std::string_view word) const {
    if (echo.Address.IsValid() || OwnAddresses_.empty())
        return;
    std::string text(word);
    // A bare number is a node of the net before it, not a point.
    if (text.find_first_of("./") == std::string::npos)
        text += ".0";
    TAddress link;
    link.ParseRelative(text, Config_.Settings.OldAddrStyle);
    if (link.Node == 0) {
        echo.Address = OwnAddresses_.front();
        return;
    }
    for (const TAddress& own : OwnAddresses_)
        if (LinkPartMatches(link.Zone, own.Zone) && LinkPartMatches(link.Net, own.Net) &&
            link.Node == own.Node)
            echo.Address = own;
}

std::string TAreaImport::SubstitutePath(std::string_view path) const {
    return tavro::SubstitutePath(path, Config_.Settings.PathSubst);
}

std::string TAreaImport::LocalPath(const std::string& tosserPath) const {
    return ResolveCase(NormalizeSeparators(SubstitutePath(tosserPath)));
}

void TAreaImport::CompletePath(TEcho& echo, bool detectJam) const {
    if (echo.BaseType == btSquish) {
        echo.Path += ".Sqd";
        return;
    }
    if (echo.BaseType == btJam) {
        echo.Path += ".Jhr";
        return;
    }
    if (echo.Path.empty() || EndsWithSeparator(echo.Path))
        return;
    // Looked for where this program will open the base, which after a substitution is not
    // where the tosser sees it.
    if (!DirectoryExists(LocalPath(echo.Path))) {
        if (FileExists(LocalPath(echo.Path + ".Sqd"))) {
            echo.BaseType = btSquish;
            echo.Path += ".Sqd";
            return;
        }
        if (detectJam && FileExists(LocalPath(echo.Path + ".Jhr"))) {
            echo.BaseType = btJam;
            echo.Path += ".Jhr";
            return;
        }
    }
    echo.Path = WithSeparator(echo.Path);
}

std::vector<std::unique_ptr<TEcho>> TAreaImport::RemoveStale() {
    std::vector<std::unique_ptr<TEcho>> removed;
    auto& echoes = Config_.Echoes;
    auto kept = std::stable_partition(echoes.begin(), echoes.end(), [this](const auto& echo) {
        return echo->EchoType == etNetmail || !Stale.contains(echo.get());
    });
    std::move(kept, echoes.end(), std::back_inserter(removed));
    echoes.erase(kept, echoes.end());
    for (const auto& echo : removed) {
        Stale.erase(echo.get());
        auto it = ByTag.find(UpperCaseAscii(echo->Name));
        if (it != ByTag.end() && it->second == echo.get())
            ByTag.erase(it);
    }
    return removed;
}

void TAreaImport::Warn(std::string text) {
    if (Warnings_.size() < MaxWarnings) {
        Warnings_.push_back(std::move(text));
        return;
    }
    const std::string more = " more warnings left out";
    if (WarningsLeftOut++ > 0)
        Warnings_.pop_back();
    Warnings_.push_back(std::to_string(WarningsLeftOut) + more);
}

bool LooksLikeLink(std::string_view word) {
    if (word.empty())
        return false;
    const char c = word.front();
    return c == '.' || c == '/' || c == ':' || (c >= '0' && c <= '9');
}

std::string SubstitutePath(std::string_view path, const std::vector<std::string>& rules) {
    for (const std::string& rule : rules) {
        const size_t equals = rule.find('=');
        if (equals == std::string::npos)
            continue;
        const std::string_view prefix = TrimView(std::string_view(rule).substr(0, equals));
        if (path.size() >= prefix.size() && EqualsNoCase(path.substr(0, prefix.size()), prefix))
            return Trim(std::string_view(rule).substr(equals + 1)) + std::string(path.substr(prefix.size()));
    }
    return std::string(path);
}

bool EndsWithSeparator(std::string_view path) {
    return !path.empty() && IsSeparator(path.back());
}

std::string WithSeparator(std::string_view path) {
    std::string result(path);
    if (EndsWithSeparator(result))
        return result;
    const bool dosStyle = result.find('\\') != std::string::npos && result.find('/') == std::string::npos;
    result += dosStyle ? '\\' : '/';
    return result;
}

std::string_view FileNamePart(std::string_view path) {
    const size_t last = path.find_last_of("/\\:");
    return last == std::string_view::npos ? path : path.substr(last + 1);
}

std::vector<std::string_view> SplitWords(std::string_view text) {
    std::vector<std::string_view> words;
    size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && IsBlank(text[pos]))
            ++pos;
        const size_t start = pos;
        while (pos < text.size() && !IsBlank(text[pos]))
            ++pos;
        if (pos > start)
            words.push_back(text.substr(start, pos - start));
    }
    return words;
}

std::string_view TextFromWord(std::string_view text, size_t index) {
    size_t pos = 0;
    for (size_t word = 0;; ++word) {
        while (pos < text.size() && IsBlank(text[pos]))
            ++pos;
        if (pos >= text.size())
            return {};
        if (word == index)
            return text.substr(pos);
        while (pos < text.size() && !IsBlank(text[pos]))
            ++pos;
    }
}

std::vector<std::string> ReadConfigLines(const std::string& fileName) {
    std::string data;
    if (!ReadWholeFile(fileName, data, MaxTextConfigBytes))
        throw EConfigError("cannot read \"" + fileName + "\" (missing, unreadable or over 16 MB)");
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < data.size()) {
        const size_t end = std::min(data.find_first_of("\r\n", pos), data.size());
        lines.emplace_back(data, pos, end - pos);
        pos = end;
        if (pos < data.size())
            pos += data.compare(pos, 2, "\r\n") == 0 ? 2 : 1;
    }
    return lines;
}

std::string OemField(std::string_view bytes) {
    // Trimmed before the conversion, which keeps the bytes 0..32 where they are.
    const std::string_view text = TrimView(bytes.substr(0, bytes.find('\0')));
    return text.empty() ? std::string() : ActiveCodePages().OemToDisplay(text);
}

} // namespace tavro
