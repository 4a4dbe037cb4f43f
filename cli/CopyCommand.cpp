#include "BaseOpen.h"

#include "Command.h"
#include "bases/BaseFactory.h"

#include "core/CodePage.h"
#include "core/FileUtils.h"
#include "reader/MsgTransfer.h"

#include <filesystem>
#include <optional>

namespace tavro::cli {

namespace {

namespace fs = std::filesystem;

struct TCopyOptions {
    std::string Source;
    std::string Target;
    TBaseType SourceType = btMsg;
    TBaseType TargetType = btMsg;
    std::optional<TIdList> Ids;
    bool Move = false;
};

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

std::string Messages(size_t count) {
    return std::to_string(count) + (count == 1 ? " message" : " messages");
}

// A target that does not exist yet and has no extension becomes a *.MSG directory.
TBaseType ChooseTargetType(const std::string& path, const std::string* typeOption) {
    TBaseType type;
    if (typeOption == nullptr && !BaseTypeFromPath(path, type) && !fs::exists(ResolveCase(path)) &&
        !fs::path(path).has_extension())
        return btMsg;
    return ChooseBaseType(path, typeOption);
}

TCopyOptions ParseCopyOptions(const std::vector<std::string>& args) {
    TArguments arguments(args, {"--type", "--to-type", "--ids"}, {"--move"});
    if (arguments.Positional.size() != 2)
        ThrowUsage("wants a source and a target base: SRC DST");
    TCopyOptions options;
    options.Source = arguments.Positional[0];
    options.Target = arguments.Positional[1];
    options.Move = arguments.Has("--move");
    if (const std::string* ids = arguments.Value("--ids"))
        options.Ids.emplace(*ids);
    options.SourceType = ExistingBaseType(options.Source, arguments.Value("--type"));
    options.TargetType = ChooseTargetType(options.Target, arguments.Value("--to-type"));
    std::error_code error;
    if (fs::equivalent(ResolveCase(options.Source), ResolveCase(options.Target), error))
        ThrowUsage("will not copy a base onto itself");
    return options;
}

// The target is made when it does not exist yet, with the directories it lies in. Nothing
// is made for a type without storage.
TBaseRef OpenTarget(TBaseType type, const std::string& path, const TCodePagePair& pages) {
    const std::string resolved = ResolveCase(path);
    if (fs::exists(resolved) && !BaseExists(type, path))
        ThrowFailure(Quoted(path) + " is not a " + BaseTypeName(type) + " base");
    if (!HasStorageClass(type))
        ThrowFailure(std::string("no storage for this base type yet (") + BaseTypeName(type) + ")");
    // A *.MSG base reports a missing directory when it opens: that one is made first.
    if (type == btMsg)
        fs::create_directories(resolved);
    TBaseRef base = NewBase(type, resolved, "", "");
    if (!base->CreateIfMissing())
        ThrowFailure("cannot create " + Quoted(path));
    return OpenBase(type, path, pages, true);
}

// Copies or moves messages one by one, stopping at the first that fails.
class TTransfer {
public:
    TTransfer(TCustomBase& source, TCustomBase& target, bool move)
        : Transfer(source, target, move), Move(move) {}

    void Run(const std::vector<TMsgId>& ids) {
        for (size_t k = 0; k < ids.size(); ++k) {
            if (!Transfer.Step(ids[k])) {
                Flush();
                ThrowFailure("could not " + std::string(Move ? "move" : "copy") + " message " +
                             std::to_string(ids[k]) + " (" + Transfer.LastError() + "); " + Summary() +
                             " before it");
            }
            if (k % TMsgTransfer::CloseBatch == TMsgTransfer::CloseBatch - 1)
                Flush();
        }
        Flush();
    }

    std::string Summary() const { return (Move ? "moved " : "copied ") + Messages(Done); }

private:
    void Flush() {
        const TTransferBatch batch = Transfer.Flush();
        Done += batch.Done.size();
        if (!batch.CopiedNotDeleted.empty())
            ThrowFailure("message " + std::to_string(batch.CopiedNotDeleted.front()) +
                         " was copied but could not be deleted from the source; " + Summary());
    }

    TMsgTransfer Transfer;
    bool Move;
    size_t Done = 0;
};

int Copy(const std::vector<std::string>& args, std::ostream& out) {
    const TCopyOptions options = ParseCopyOptions(args);
    // Byte for byte: no code-page conversion and every SoftCR kept, so nothing is lost.
    const TCodePagePair identity = TCodePagePair::Identity();
    TBaseRef source = OpenBase(options.SourceType, options.Source, identity, true);
    std::vector<TMsgId> ids = AllIds(*source);
    if (options.Ids) {
        options.Ids->CheckPresent(ids);
        std::erase_if(ids, [&](TMsgId id) { return !options.Ids->Contains(id); });
    }
    TBaseRef target = OpenTarget(options.TargetType, options.Target, identity);
    TTransfer transfer(*source, *target, options.Move);
    transfer.Run(ids);
    out << transfer.Summary() << "\n";
    return 0;
}

} // namespace

int RunCopy(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    return RunReportingErrors("copy", err, [&] { return Copy(args, out); });
}

} // namespace tavro::cli
