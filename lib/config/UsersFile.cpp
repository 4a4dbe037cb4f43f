#include "UsersFile.h"

#include "CfgStream.h"
#include "Config.h"
#include "ConfigFile.h"
#include "ConfigSave.h"

#include "core/StrUtils.h"

namespace tavro {

namespace {

constexpr std::string_view UsersMagic = "TavroUsr";
// "0.63" names each leaf's area by its tag beside its place in the area list.
constexpr std::string_view NewestVersion = "0.63";

// Levels of an area tree (top-level nodes are level 1): deeper trees are damage, and the
// bound keeps a crafted file from exhausting the stack.
constexpr int MaxTreeDepth = 64;

constexpr size_t MinTreeNode = 4 + 1 + 4;
constexpr size_t MinHotText = 2 + 4;
// The smallest record of any layout: names, id, templates, editor, 9 colours, styles, one
// font, empty tree and hot texts.
constexpr size_t MinUserRecord = 4 + 4 + 4 + 11 * 4 + 12 + 9 * 8 + 9 + 9 + 4 + 4;

// What a user record holds in each layout the program has written.
struct TUserLayout {
    bool WideEditorBlock; // 4-byte EditorOptions and FormatToViewer: the 14-byte block
    bool SkippedByte;     // the first layout kept a byte after KeyMapping
    bool FormatToViewer;  // in the narrow block, after BlockIndent
    int ColorCount;
    int FontCount; // 1: TextFont only; 3: TreeFont, ListFont, TextFont
    bool AutoSpellCheck;
    bool HighlightNames;
    bool LeafTags = false;
};

TUserLayout LayoutOf(const std::string& version) {
    if (version.empty())
        return {false, true, false, 9, 1, false, false};
    if (version == "0.23")
        return {false, false, true, 11, 1, false, false};
    if (version == "0.25" || version == "0.53")
        return {true, false, true, 11, 1, false, false};
    if (version == "0.54")
        return {true, false, true, 11, 1, true, false};
    if (version == "0.56")
        return {true, false, true, 11, 1, true, true};
    if (version == "0.60")
        return {true, false, true, 13, 1, true, true};
    if (version == "0.62")
        return {true, false, true, 13, 3, true, true};
    if (version == "0.63")
        return {true, false, true, 13, 3, true, true, true};
    throw EConfigError("Unknown config");
}

template <typename T> T* At(const std::vector<std::unique_ptr<T>>& list, int32_t index) {
    return index >= 0 && size_t(index) < list.size() ? list[size_t(index)].get() : nullptr;
}

TUserFont ReadFont(TCfgReader& in) {
    TUserFont font;
    font.Name = in.String();
    font.Charset = in.Byte();
    font.Size = in.Int32();
    return font;
}

void WriteFont(TCfgWriter& out, const TUserFont& font) {
    out.String(font.Name);
    out.Byte(font.Charset);
    out.Int32(font.Size);
}

// The area of a leaf: the one at its place in the list when the tag agrees (or the file
// keeps no tags), else the first of that tag. The two files are saved together, but a crash
// between their renames, or another program's import, can still move the areas.
TEcho* LeafArea(const TConfig& config, int32_t index, const std::string* tag) {
    TEcho* echo = At(config.Echoes, index);
    if (!tag || (echo && EqualsNoCase(echo->Name, *tag)))
        return echo;
    for (const auto& candidate : config.Echoes)
        if (EqualsNoCase(candidate->Name, *tag))
            return candidate.get();
    return nullptr;
}

void ReadTree(TCfgReader& in, const TConfig& config, std::vector<std::unique_ptr<TTreeInfo>>& nodes,
              int depth, bool leafTags) {
    const size_t count = in.Count(MinTreeNode);
    if (count > 0 && depth > MaxTreeDepth)
        throw EConfigError("an area tree of the users file is nested too deeply");
    for (size_t i = 0; i < count; ++i) {
        std::string caption = in.String();
        std::unique_ptr<TTreeInfo> node;
        if (in.Bool()) {
            node = std::make_unique<TTreeInfo>();
            ReadTree(in, config, node->Children, depth + 1, leafTags);
        } else {
            const int32_t index = in.Int32();
            const std::string tag = leafTags ? in.String() : std::string();
            TEcho* echo = LeafArea(config, index, leafTags ? &tag : nullptr);
            // The area list does not match the users file: the leaf has nothing to show.
            if (!echo)
                continue;
            node = std::make_unique<TTreeInfo>(echo);
        }
        node->Name = std::move(caption);
        nodes.push_back(std::move(node));
    }
}

void WriteTree(TCfgWriter& out, const TConfig& config, const std::vector<std::unique_ptr<TTreeInfo>>& nodes,
               int depth) {
    // Never write what the reader refuses: the program would not start again.
    if (!nodes.empty() && depth > MaxTreeDepth)
        throw EConfigError("an area tree is nested too deeply to be saved");
    out.Int32(static_cast<int32_t>(nodes.size()));
    for (const auto& node : nodes) {
        out.String(node->Name);
        out.Bool(node->IsFolder());
        if (node->IsFolder()) {
            WriteTree(out, config, node->Children, depth + 1);
        } else {
            out.Int32(config.IndexOf(node->Echo));
            out.String(node->Echo->Name);
        }
    }
}

void ReadEditor(TCfgReader& in, TUser& user, const TUserLayout& layout) {
    user.EditorOptions = layout.WideEditorBlock ? static_cast<uint32_t>(in.Int32()) : in.UInt16();
    user.KeyMapping = in.Byte();
    if (layout.SkippedByte)
        in.Byte();
    user.SpacesInTab = in.Int32();
    user.BlockIndent = in.Int32();
    if (layout.FormatToViewer)
        user.FormatToViewer = in.Byte() != 0;
}

std::unique_ptr<TUser> ReadUser(TCfgReader& in, const TConfig& config, const TUserLayout& layout) {
    auto user = config.NewUser();
    user->Name = in.String();
    user->RealName = in.String();
    user->UserId = in.Int32();
    for (TTemplate*& slot : user->Templates)
        slot = At(config.Templates, in.Int32());
    ReadEditor(in, *user, layout);
    for (int i = 0; i < layout.ColorCount; ++i) {
        user->Colors[size_t(i)].Fg = static_cast<TColor>(in.Int32());
        user->Colors[size_t(i)].Bg = static_cast<TColor>(in.Int32());
    }
    for (uint8_t& style : user->Styles)
        style = in.Byte();
    if (layout.FontCount == 3) {
        user->TreeFont = ReadFont(in);
        user->ListFont = ReadFont(in);
    }
    user->TextFont = ReadFont(in);
    if (layout.AutoSpellCheck)
        user->AutoSpellCheck = in.Bool();
    ReadTree(in, config, user->AreaTree, 1, layout.LeafTags);
    const size_t hotTexts = in.Count(MinHotText);
    for (size_t i = 0; i < hotTexts; ++i) {
        THotText hot;
        hot.ShortCut = in.UInt16();
        hot.Text = in.String();
        user->HotTexts.push_back(std::move(hot));
    }
    if (layout.HighlightNames)
        user->HighlightNames = in.StringList();
    return user;
}

void WriteUser(TCfgWriter& out, const TConfig& config, const TUser& user) {
    out.String(user.Name);
    out.String(user.RealName);
    out.Int32(user.UserId);
    for (const TTemplate* t : user.Templates)
        out.Int32(t ? config.IndexOf(t) : -1);
    out.Int32(static_cast<int32_t>(user.EditorOptions));
    out.Byte(user.KeyMapping);
    out.Int32(user.SpacesInTab);
    out.Int32(user.BlockIndent);
    out.Byte(user.FormatToViewer ? 1 : 0);
    for (const TColorPair& pair : user.Colors) {
        out.Int32(static_cast<int32_t>(pair.Fg));
        out.Int32(static_cast<int32_t>(pair.Bg));
    }
    for (uint8_t style : user.Styles)
        out.Byte(style);
    WriteFont(out, user.TreeFont);
    WriteFont(out, user.ListFont);
    WriteFont(out, user.TextFont);
    out.Bool(user.AutoSpellCheck);
    WriteTree(out, config, user.AreaTree, 1);
    out.Int32(static_cast<int32_t>(user.HotTexts.size()));
    for (const THotText& hot : user.HotTexts) {
        out.UInt16(hot.ShortCut);
        out.String(hot.Text);
    }
    out.StringList(user.HighlightNames);
}

} // namespace

std::string UsersFileName(const std::string& dir) {
    return dir + "/TavroUsr.cfg";
}

void ParseUsers(TConfig& config, std::string data) {
    TCfgReader in(std::move(data));
    const TUserLayout layout = LayoutOf(ReadVersionTag(in, UsersMagic));
    const size_t count = in.Count(MinUserRecord);
    for (size_t i = 0; i < count; ++i)
        config.Users.push_back(ReadUser(in, config, layout));
}

std::string FormatUsers(const TConfig& config) {
    TCfgWriter out;
    out.Bytes(UsersMagic);
    out.Bytes(NewestVersion);
    out.Int32(static_cast<int32_t>(config.Users.size()));
    for (const auto& user : config.Users)
        WriteUser(out, config, *user);
    return std::move(out.Data);
}

std::string UserRecord(const TConfig& config, const TUser& user) {
    TCfgWriter out;
    WriteUser(out, config, user);
    return std::move(out.Data);
}

void LoadUsers(TConfig& config, const std::string& fileName) {
    std::string data = ReadOrigin(config.UsersOrigin, fileName, MaxSmallConfigBytes);
    if (config.UsersOrigin.Existed())
        ParseUsers(config, std::move(data));
}

void SaveUsers(TConfig& config, const std::string& fileName) {
    SaveConfigFiles(config, {{TConfigFile::Users, fileName}});
}

} // namespace tavro
