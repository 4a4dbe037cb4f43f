#include "ReplyRules.h"

#include "core/StrUtils.h"
#include "reader/SenderContact.h"

#include <algorithm>

namespace tavro {

namespace {

bool IsBlank(std::string_view line) {
    return TrimView(line).empty();
}

// The AREA: line among the body's first lines; body.size() when there is none.
size_t BodyAreaLine(const TBodyLines& body) {
    for (size_t i = 0; i < body.size(); ++i) {
        if (IsBlank(body[i].Text))
            break;
        if (StartsWithNoCase(body[i].Text, "AREA:"))
            return i;
    }
    return body.size();
}

// The rest of a line from a fixed position, trimmed; empty when the line is shorter.
std::string RestFrom(std::string_view line, size_t at) {
    return at < line.size() ? Trim(line.substr(at)) : "";
}

bool IsKludge(std::string_view line, std::string_view name) {
    return !line.empty() && line[0] == '\x01' && StartsWithNoCase(line.substr(1), name);
}

struct TGatewayKludges {
    std::string InternetAddress;
    std::string GateName;
    TAddress GateAddr;
};

// Later lines override earlier ones; a line whose value is missing keeps what was found.
void ScanGatewayKludge(std::string_view line, TGatewayKludges& found) {
    std::string value;
    if (IsKludge(line, "REPLYADDR:")) {
        value = RestFrom(line, 12);
    } else if (IsKludge(line, "REPLYADDR")) {
        value = RestFrom(line, 11);
    } else if (IsKludge(line, "REPLYTO:")) {
        const std::vector<std::string_view> words = BlankWords(line);
        TAddress addr;
        if (words.size() >= 2)
            addr.Parse(words[1]);
        if (addr.IsValid())
            found.GateAddr = addr;
        if (words.size() >= 3)
            found.GateName = std::string(words[2]);
    }
    if (!value.empty())
        found.InternetAddress = value;
}

} // namespace

std::string TakeReplyAreaName(TCustomMsg& answered) {
    answered.GetKludges();
    if (std::string name = answered.GetKludge("AREA:"); !name.empty())
        return name;
    TBodyLines& body = answered.GetBody();
    const size_t at = BodyAreaLine(body);
    if (at == body.size())
        return {};
    std::string name = Trim(std::string_view(body[at].Text).substr(5));
    const size_t end = at + 1 < body.size() && IsBlank(body[at + 1].Text) ? at + 2 : at + 1;
    body.erase(body.begin() + static_cast<ptrdiff_t>(at), body.begin() + static_cast<ptrdiff_t>(end));
    return name;
}

TEcho* FindAreaByName(const std::vector<std::unique_ptr<TEcho>>& echoes, std::string_view name) {
    const std::string_view wanted = TrimView(name);
    if (wanted.empty())
        return nullptr;
    for (const std::unique_ptr<TEcho>& echo : echoes)
        if (echo && EqualsNoCase(TrimView(echo->Name), wanted))
            return echo.get();
    return nullptr;
}

std::string ReplyValueOf(const TCustomMsg& answered) {
    return answered.GetKludge("MSGID:");
}

std::string EditedReplyValueOf(const TCustomMsg& edited) {
    return edited.GetKludge("REPLY:");
}

std::optional<TGatewayReply> GatewayReply(const TCustomMsg& answered, const std::string& gateName,
                                          const TAddress& gateAddr) {
    TGatewayKludges found{{}, gateName, gateAddr};
    for (const std::string& line : answered.Kludges)
        ScanGatewayKludge(line, found);
    if (!found.InternetAddress.empty())
        return TGatewayReply{found.GateName, found.GateAddr, found.InternetAddress};
    std::string sender = FindInternetSender(answered.Body);
    if (sender.empty())
        return std::nullopt;
    return TGatewayReply{gateName, gateAddr, std::move(sender)};
}

TBodyLines GatewayBodyLines(const std::string& internetAddress) {
    return {TBodyLine("To: " + Trim(internetAddress)), TBodyLine("")};
}

} // namespace tavro
