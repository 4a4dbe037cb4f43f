#include "BaseOpen.h"
#include "Command.h"
#include "ConfigOpen.h"

#include "demo/DemoBuilder.h"

namespace tavro::cli {

namespace {

int Demo(const std::vector<std::string>& args, std::ostream& out) {
    TArguments arguments(args, {}, {});
    if (arguments.Positional.size() != 1)
        ThrowUsage(arguments.Positional.empty() ? "where to? give a new or an empty DIR" : "takes one DIR");
    if (arguments.Positional.front().empty())
        ThrowUsage("DIR must not be empty");
    TDemoBuilder builder(arguments.Positional.front());
    const TDemoSummary summary = builder.Build();
    out << "wrote a demo home to " << OutputPath(builder.Home()) << ": " << summary.Areas << " areas, "
        << summary.Messages << " messages, " << summary.NodelistEntries << " nodelist entries\n"
        << "start Tavro on it with TAVRO_HOME=" << OutputPath(builder.Home()) << "\n";
    return 0;
}

} // namespace

int RunDemo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    return RunReportingErrors("demo", err, [&] { return Demo(args, out); });
}

} // namespace tavro::cli
