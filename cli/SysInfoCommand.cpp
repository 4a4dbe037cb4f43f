#include "Command.h"

#include "core/SysInfo.h"

namespace tavro::cli {

int RunSysInfo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (!args.empty()) {
        err << "tavro-cli sysinfo: takes no arguments\n";
        return 2;
    }
    TSystemInfo info;
    CollectSystemInfo(info);
    out << "Version: " << VersionText(info) << "\n"
        << "System: " << info.OsFullName << "\n"
        << "Processors: " << info.CpuCount << " x " << info.CpuName << " (" << info.CpuVendor << ")\n"
        << "Memory load: " << info.MemLoad << "\n"
        << "Physical memory: " << info.MemPhysTotal << " total, " << info.MemPhysAvail << " available\n"
        << "Swap available: " << info.MemPageAvail << "\n"
        << "UTC offset: " << UtcOffset() << " minutes\n";
    return 0;
}

} // namespace tavro::cli
