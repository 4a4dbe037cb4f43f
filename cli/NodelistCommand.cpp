#include "BaseOpen.h"
#include "Command.h"
#include "ConfigOpen.h"

#include "config/Config.h"
#include "config/ConfigFile.h"
#include "config/NodelistZone.h"
#include "core/Address.h"
#include "core/CodePage.h"
#include "core/StrUtils.h"
#include "nodelist/Nodelist.h"
#include "nodelist/NodelistPaths.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <optional>
#include <unistd.h>

namespace tavro::cli {

namespace {

// The fields a node line shows after its address: system, location, sysop, phone, flags.
constexpr int ShownFields[] = {2, 3, 4, 5, 6};

struct TNodelistSetup {
    TNodelistPaths Paths;
    TFallbackZone Zone;
};

// TArguments refuses an option given twice, and --mask may be; so the masks come out first.
std::vector<std::string> TakeMasks(const std::vector<std::string>& args, std::vector<std::string>& rest) {
    std::vector<std::string> masks;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!optionsEnded && arg == "--mask") {
            // A mask never starts with "--": that is the next option, the value is missing.
            if (i + 1 == args.size() || args[i + 1].starts_with("--"))
                ThrowUsage("--mask needs a value");
            masks.push_back(args[++i]);
        } else if (!optionsEnded && arg.starts_with("--mask=")) {
            masks.push_back(arg.substr(7));
        } else {
            optionsEnded = optionsEnded || arg == "--";
            rest.push_back(arg);
        }
    }
    for (const std::string& mask : masks)
        if (TrimView(mask).empty())
            ThrowUsage("--mask needs a file name or pattern");
    return masks;
}

// --dir and the masks as given; what is missing comes from the configuration, and so does
// the zone for nodelists without one. The configured directory is relative to the
// configuration directory, which also stands for an empty one (so --home moves the index
// with it); --dir is relative to the working directory, as command-line paths are.
TNodelistSetup Setup(const TArguments& arguments, std::vector<std::string> masks, bool wantZone) {
    TNodelistSetup setup;
    const std::string* dir = arguments.Value("--dir");
    if (dir != nullptr && TrimView(*dir).empty())
        ThrowUsage("--dir needs a directory");
    std::string dirText = dir != nullptr ? *dir : std::string();
    std::string base = ".";
    if (dir == nullptr || masks.empty() || wantZone) {
        const std::string home = ConfigHome(arguments);
        TConfig config;
        LoadConfig(config, ConfigFileName(home));
        if (dir == nullptr) {
            dirText = config.Settings.NdlDir;
            base = home;
        }
        if (masks.empty())
            masks = config.Settings.NdlMasks;
        if (wantZone)
            setup.Zone = NodelistFallbackZone(config);
    }
    setup.Paths = FullNodelistPaths(dirText, masks, base);
    return setup;
}

// "\rCompiling NAME  NN%" on a terminal, redrawn only when it changes; the callback comes
// before every line.
class TProgressLine {
public:
    explicit TProgressLine(std::ostream& err) : Err(err) {}
    ~TProgressLine() {
        if (Width > 0)
            Err << "\r" << std::string(Width, ' ') << "\r" << std::flush;
    }

    bool Show(int percent, const std::string& fileName) {
        if (percent == Percent && fileName == FileName)
            return true;
        Percent = percent;
        FileName = fileName;
        std::string text = "Compiling " + OutputPath(fileName) + "  " + std::to_string(percent) + "%";
        const size_t length = text.size();
        // Spaces cover what a longer name left behind.
        if (length < Width)
            text.append(Width - length, ' ');
        Width = std::max(Width, length);
        Err << "\r" << text << std::flush;
        return true;
    }

private:
    std::ostream& Err;
    int Percent = -1;
    std::string FileName;
    size_t Width = 0;
};

// Files that failed, notes and masks that found nothing, one line each, after the progress
// line is gone.
void PrintReport(const TNodelistCompileReport& report, std::ostream& err) {
    const std::string prefix = "tavro-cli nodelist: ";
    for (const TNodelistFileReport& file : report.Files) {
        const std::string path = OutputPath(file.Path);
        if (file.Failed)
            err << prefix << path << (file.Line > 0 ? ":" + std::to_string(file.Line) : "")
                << ": not compiled: " << OutputText(file.Reason) << "\n";
        for (const std::string& note : file.Notes)
            err << prefix << path << ": note: " << OutputText(note) << "\n";
    }
    for (const TNodelistMaskReport& mask : report.Masks)
        err << prefix << "warning: mask \"" << OutputPath(mask.Mask) << "\": " << OutputText(mask.Reason)
            << "\n";
}

int Compile(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::vector<std::string> rest;
    std::vector<std::string> masks = TakeMasks(args, rest);
    TArguments arguments(rest, {"--dir", "--home"}, {});
    if (!arguments.Positional.empty())
        ThrowUsage("compile takes no arguments but --dir, --mask and --home");
    const TNodelistSetup setup = Setup(arguments, std::move(masks), true);
    if (setup.Paths.Masks.empty())
        ThrowFailure("no nodelist masks are configured; give them with --mask");

    TNodelistIndex index(setup.Paths.Dir);
    TNodelistProgress progress;
    std::optional<TProgressLine> line;
    if (&err == &std::cerr && isatty(STDERR_FILENO)) {
        line.emplace(err);
        progress = [&line](int percent, const std::string& name) { return line->Show(percent, name); };
    }
    const TNodelistCompileReport report = index.CompileNodelists(setup.Paths.Masks, setup.Zone, progress);
    line.reset();
    PrintReport(report, err);
    if (!report.Ok())
        ThrowFailure("cannot write the index files in " + OutputPath(index.Dir()));
    out << "compiled " << report.Entries() << " entries from " << report.CompiledFiles() << " files\n";
    return 0;
}

std::string EntryLine(const TNodelistIndex& index, const TNodeEntry& entry) {
    std::string line = TAddress(entry.Zone, entry.Net, entry.Node, entry.Point).ToStrFull();
    for (int k : ShownFields)
        line += "\t" + OutputText(index.GetNodeField(entry, k));
    return line + "\n";
}

int Find(const std::vector<std::string>& args, std::ostream& out) {
    TArguments arguments(args, {"--dir", "--name", "--home"}, {});
    const std::string* name = arguments.Value("--name");
    if ((name != nullptr) == (arguments.Positional.size() == 1) || arguments.Positional.size() > 1)
        ThrowUsage("find wants one ADDRESS or --name NAME");
    TAddress address;
    if (name == nullptr) {
        address.Parse(arguments.Positional.front());
        if (!address.IsValid())
            ThrowUsage("\"" + arguments.Positional.front() +
                       "\" is not an address like 2:5020/1 or 2:5020/1.5");
    } else if (TrimView(*name).empty()) {
        ThrowUsage("--name needs a sysop name");
    }

    TNodelistIndex index(Setup(arguments, {}, false).Paths.Dir);
    if (!std::filesystem::exists(index.IndexFileName()))
        ThrowFailure("no nodelist index in " + OutputPath(index.Dir()) +
                     "; run \"tavro-cli nodelist compile\" first");
    index.LoadNodelistIndex();

    std::vector<const TNodeEntry*> found;
    if (name != nullptr) {
        found = index.FindNodesByName(ActiveDisplayPage().FromUtf8(Trim(*name)));
    } else {
        // Every listing of the address: the first is the one the program uses.
        found = index.FindNodesByAddress(address.Zone, address.Net, address.Node, address.Point);
    }
    if (found.empty())
        ThrowFailure("no such node");
    // All lines read before any is printed: a failure leaves no partial output.
    std::string lines;
    for (const TNodeEntry* entry : found)
        lines += EntryLine(index, *entry);
    out << lines;
    return 0;
}

int Nodelist(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty())
        ThrowUsage("wants compile or find; see tavro-cli --help");
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (args.front() == "compile")
        return Compile(rest, out, err);
    if (args.front() == "find")
        return Find(rest, out);
    ThrowUsage("unknown subcommand \"" + args.front() + "\"; wants compile or find");
}

} // namespace

int RunNodelist(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    return RunReportingErrors("nodelist", err, [&] { return Nodelist(args, out, err); });
}

} // namespace tavro::cli
