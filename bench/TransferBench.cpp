// Moving 1,000 marked messages between two 100,000-message JAM areas in the reader (transfer
// dialog, marks, refill of the list afterwards) against `tavro-cli copy --move` of the same
// messages, a process of its own.
#include "BenchSupport.h"

#include "reader/MsgListPane.h"
#include "reader/ReaderOperations.h"
#include "reader/ViewForm.h"
#include "reader/ViewerArea.h"

#include "bases/JamBase.h"
#include "config/Config.h"
#include "config/Echo.h"
#include "config/TreeInfo.h"
#include "config/User.h"
#include "core/Settings.h"

#include <QApplication>
#include <QTimer>

#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

using namespace tavro;

namespace {

namespace fs = std::filesystem;

constexpr int AreaSize = 100000;
constexpr int Moved = 1000;
const char* const JamExtensions[] = {".jhr", ".jdt", ".jdx", ".jlr"};

// Two areas of typical messages, kept as they were made so that every run starts alike.
struct TAreas {
    bench::TScratchDir Dir;
    bench::TSetup Setup;
    int Count = bench::Scaled(AreaSize);

    TAreas() {
        for (const char* name : {"source", "target"}) {
            TJamBase base(Pristine(name) + ".jhr", "BENCH", "");
            if (!Setup.Require(base.CreateIfMissing(), "could not create a base"))
                return;
            if (!bench::PostTypical(base, 0, Count, Setup))
                return;
            base.Close();
        }
    }
    std::string Pristine(const char* name) const { return Dir.Path + "/pristine-" + name; }
    std::string Live(const char* name) const { return Dir.Path + "/" + name; }

    void Reset() {
        for (const char* name : {"source", "target"})
            for (const char* ext : JamExtensions) {
                std::error_code ec;
                fs::copy_file(Pristine(name) + ext, Live(name) + ext, fs::copy_options::overwrite_existing,
                              ec);
            }
    }
    // Every hundredth message of the source.
    std::vector<TMsgId> Ids() {
        TJamBase base(Live("source") + ".jhr", "BENCH", "");
        base.Rescan();
        std::vector<TMsgId> ids;
        const int step = std::max(1, Count / bench::Scaled(Moved));
        for (int p = 0; p < base.GetCount(); p += step)
            ids.push_back(base.GetMsgId(p));
        return ids;
    }
};

TAreas& Areas() {
    static TAreas areas;
    return areas;
}

TEcho* AddArea(TConfig& config, TUser& user, const char* tag, const std::string& path) {
    TEcho& echo = config.AddEcho();
    echo.Name = tag;
    echo.EchoType = etEchomail;
    echo.BaseType = btJam;
    echo.Path = path + ".jhr";
    user.AreaTree.push_back(std::make_unique<TTreeInfo>(&echo));
    return &echo;
}

void BM_ReaderMove(benchmark::State& state) {
    TAreas& areas = Areas();
    if (!areas.Setup.Ready(state))
        return;
    Settings().ConfirmDel = false;
    for (auto _ : state) {
        state.PauseTiming();
        areas.Reset();
        const std::vector<TMsgId> ids = areas.Ids();
        TConfig& config = Config();
        config.Echoes.clear();
        TUser user;
        user.Name = "Reader";
        AddArea(config, user, "BENCH.SOURCE", areas.Live("source"));
        TEcho* target = AddArea(config, user, "BENCH.TARGET", areas.Live("target"));
        auto form = std::make_unique<app::TViewForm>();
        form->SetCurrentUser(&user);
        form->ListPane()->FocusMessage(0);
        form->Area()->ChangeMarks([&](TSortedList& marks, TCustomBase&) {
            for (TMsgId id : ids)
                marks.Add(static_cast<int32_t>(id));
        });
        state.ResumeTiming();
        form->Operations()->TransferTo(*target, true);
        state.PauseTiming();
        if (form->Area()->Marks().Count() != 0)
            state.SkipWithError("messages were left marked");
        form.reset();
        user.AreaTree.clear();
        config.Echoes.clear();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ReaderMove)->Unit(benchmark::kMillisecond)->Iterations(5);

int RunCli(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void BM_CliMove(benchmark::State& state) {
    TAreas& areas = Areas();
    if (!areas.Setup.Ready(state))
        return;
    for (auto _ : state) {
        state.PauseTiming();
        areas.Reset();
        std::string list;
        for (TMsgId id : areas.Ids())
            list += (list.empty() ? "" : ",") + std::to_string(id);
        state.ResumeTiming();
        const int status = RunCli({TAVRO_CLI_PATH, "copy", areas.Live("source") + ".jhr",
                                   areas.Live("target") + ".jhr", "--move", "--ids", list});
        if (status != 0)
            state.SkipWithError("tavro-cli copy --move failed");
    }
}
BENCHMARK(BM_CliMove)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
