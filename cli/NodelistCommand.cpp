#include "BaseOpen.h"
#include "Command.h"
#include "ConfigOpen.h"

#include "config/Config.h"
#include "config/ConfigFile.h"
#include "core/Address.h"
#include "core/CodePage.h"
#include "core/StrUtils.h"
#include "nodelist/Nodelist.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <unistd.h>

namespace tavro::cli {

namespace {

// The fields a node line shows after its address: system, location, sysop, phone, flags.
constexpr int ShownFields[] = {2, 3, 4, 5, 6};

struct TNodelistSetup {
    std::string Dir;
    std::vector<std::string> Masks;
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

// --dir and the masks as given; what is missing comes from the configuration. The
// configuration directory also stands for an empty nodelist directory, so that --home
// moves the index with it.
TNodelistSetup Setup(const TArguments& arguments, std::vector<std::string> masks) {
    TNodelistSetup setup;
    const std::string* dir = arguments.Value("--dir");
    if (dir != nullptr && TrimView(*dir).empty())
        ThrowUsage("--dir needs a directory");
    if (dir == nullptr || masks.empty()) {
        const std::string home = ConfigHome(arguments);
        TConfig config;
        LoadConfig(config, ConfigFileName(home));
        setup.Dir = Trim(config.Settings.NdlDir);
        if (setup.Dir.empty())
            setup.Dir = home;
        if (masks.empty())
            masks = config.Settings.NdlMasks;
    }
    if (dir != nullptr)
        setup.Dir = Trim(*dir);
    setup.Masks = std::move(masks);
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

// The number of files "Tavro.nls" lists: a path line, then four bytes of time each.
size_t ListedFileCount(const std::string& listFile) {
    std::ifstream in(listFile, std::ios::binary);
    const std::string data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    size_t count = 0;
    for (size_t pos = 0;;) {
        const size_t end = data.find("\r\n", pos);
        if (end == std::string::npos || end + 2 + 4 > data.size())
            return count;
        ++count;
        pos = end + 2 + 4;
    }
}

int Compile(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::vector<std::string> rest;
    std::vector<std::string> masks = TakeMasks(args, rest);
    TArguments arguments(rest, {"--dir", "--home"}, {});
    if (!arguments.Positional.empty())
        ThrowUsage("compile takes no arguments but --dir, --mask and --home");
    const TNodelistSetup setup = Setup(arguments, std::move(masks));
    if (setup.Masks.empty())
        ThrowFailure("no nodelist masks are configured; give them with --mask");

    TNodelistIndex index(setup.Dir);
    TNodelistProgress progress;
    std::optional<TProgressLine> line;
    if (&err == &std::cerr && isatty(STDERR_FILENO)) {
        line.emplace(err);
        progress = [&line](int percent, const std::string& name) { return line->Show(percent, name); };
    }
    const bool compiled = index.CompileNodelists(setup.Masks, progress);
    line.reset();
    if (!compiled)
        ThrowFailure("cannot write the index files in " + OutputPath(index.Dir()));
    index.LoadNodelistIndex();
    out << "compiled " << index.Entries().size() << " entries from " << ListedFileCount(index.ListFileName())
        << " files\n";
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

    TNodelistIndex index(Setup(arguments, {}).Dir);
    if (!std::filesystem::exists(index.IndexFileName()))
        ThrowFailure("no nodelist index in " + OutputPath(index.Dir()) +
                     "; run \"tavro-cli nodelist compile\" first");
    index.LoadNodelistIndex();

    std::vector<const TNodeEntry*> found;
    if (name != nullptr) {
        found = index.FindNodesByName(ActiveDisplayPage().FromUtf8(Trim(*name)));
    } else {
        // Every listing of the address: the first is the one the program uses.
        for (const TNodeEntry& entry : index.Entries())
            if (entry.Zone == address.Zone && entry.Net == address.Net && entry.Node == address.Node &&
                entry.Point == address.Point)
                found.push_back(&entry);
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
