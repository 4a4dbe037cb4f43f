#pragma once

#include <string>
#include <string_view>

namespace tavro {

// What the About box and the bug report say about the system.
struct TSystemInfo {
    std::string OsShortName;
    std::string OsName = "Unidentified system";
    std::string OsFullName;
    std::string CpuCount;
    std::string CpuName;
    std::string CpuVendor;
    std::string MemLoad;
    std::string MemPhysTotal;
    std::string MemPhysAvail;
    std::string MemPageAvail;
};

// Fills `info` from /etc/os-release, uname, /proc/cpuinfo and /proc/meminfo. What cannot be
// read keeps its previous value.
void CollectSystemInfo(TSystemInfo& info);

// The parsing steps, on the files' contents.
void ApplyOsRelease(TSystemInfo& info, std::string_view osRelease, std::string_view kernelRelease);
void ApplyCpuInfo(TSystemInfo& info, std::string_view cpuInfo);
void ApplyMemInfo(TSystemInfo& info, std::string_view memInfo);
// Kibibytes right-aligned to 9 characters and " Kb".
std::string FormatKb(unsigned long long kib);

// The system information collected at start-up.
TSystemInfo& SystemInfo();

// The local time zone's offset from UTC in minutes (180 when it cannot be told).
int UtcOffset();

// "Tavro 2001 Build 0063-RC10/" and the short name of the operating system.
std::string VersionText(const TSystemInfo& info);

} // namespace tavro
