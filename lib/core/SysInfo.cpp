#include "SysInfo.h"

#include "FileUtils.h"

#include <cstdio>
#include <ctime>
#include <iterator>
#include <sys/utsname.h>
#include <thread>
#include <unistd.h>

namespace tavro {

namespace {

constexpr size_t MaxText = 255;
// /proc/cpuinfo grows with the number of processors; this is plenty for any machine.
constexpr size_t MaxProcFile = 4 * 1024 * 1024;

// At most 255 bytes, cut before a UTF-8 continuation byte so no character is split.
std::string Limited(std::string_view text) {
    if (text.size() <= MaxText)
        return std::string(text);
    size_t end = MaxText;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return std::string(text.substr(0, end));
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// Calls `visit(key, value)` for each line split at the first `separator`, both trimmed.
template <typename Visit> void ForEachPair(std::string_view text, char separator, Visit visit) {
    while (!text.empty()) {
        size_t eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
        size_t sep = line.find(separator);
        if (sep != std::string_view::npos)
            visit(Trim(line.substr(0, sep)), Trim(line.substr(sep + 1)));
    }
}

// An os-release value: shell-style double or single quotes, backslash escapes inside double
// quotes; control characters are dropped.
std::string Unquote(std::string_view value) {
    std::string result;
    char quote = 0;
    for (size_t i = 0; i < value.size(); ++i) {
        char c = value[i];
        if (quote == 0 && (c == '"' || c == '\'')) {
            quote = c;
        } else if (quote != 0 && c == quote) {
            quote = 0;
        } else if (c == '\\' && quote != '\'' && i + 1 < value.size()) {
            result += value[++i];
        } else if (static_cast<unsigned char>(c) >= 0x20) {
            result += c;
        }
    }
    return result;
}

bool ParseKb(std::string_view text, unsigned long long& kib) {
    size_t i = 0;
    unsigned long long value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        unsigned digit = static_cast<unsigned>(text[i] - '0');
        if (value > (~0ULL - digit) / 10)
            return false;
        value = value * 10 + digit;
        ++i;
    }
    if (i == 0)
        return false;
    kib = value;
    return true;
}

} // namespace

void ApplyOsRelease(TSystemInfo& info, std::string_view osRelease, std::string_view kernelRelease) {
    std::string prettyName, name;
    ForEachPair(osRelease, '=', [&](std::string_view key, std::string_view value) {
        if (key == "PRETTY_NAME")
            prettyName = Unquote(value);
        else if (key == "NAME")
            name = Unquote(value);
    });
    info.OsShortName = "Linux";
    if (!prettyName.empty())
        info.OsName = Limited(prettyName);
    else if (!name.empty())
        info.OsName = Limited(name);
    else
        info.OsName = "Unidentified system";
    std::string_view kernel = Trim(kernelRelease);
    if (!kernel.empty())
        info.OsFullName = Limited(info.OsName + " " + std::string(kernel));
}

void ApplyCpuInfo(TSystemInfo& info, std::string_view cpuInfo) {
    // x86 names the processor "model name"; other architectures use one of the others.
    static constexpr std::string_view NameKeys[] = {"model name", "cpu model", "Processor", "cpu"};
    std::string names[std::size(NameKeys)];
    std::string vendor;
    ForEachPair(cpuInfo, ':', [&](std::string_view key, std::string_view value) {
        for (size_t i = 0; i < std::size(NameKeys); ++i)
            if (key == NameKeys[i] && names[i].empty())
                names[i] = value;
        if (key == "vendor_id" && vendor.empty())
            vendor = value;
    });
    for (const std::string& cpuName : names) {
        if (!cpuName.empty()) {
            info.CpuName = Limited(cpuName);
            break;
        }
    }
    if (!vendor.empty())
        info.CpuVendor = Limited(vendor);
}

void ApplyMemInfo(TSystemInfo& info, std::string_view memInfo) {
    unsigned long long total = 0, available = 0, free = 0, buffers = 0, cached = 0, swapFree = 0;
    bool hasTotal = false, hasAvailable = false, hasFree = false, hasSwap = false;
    ForEachPair(memInfo, ':', [&](std::string_view key, std::string_view value) {
        if (key == "MemTotal")
            hasTotal = ParseKb(value, total);
        else if (key == "MemAvailable")
            hasAvailable = ParseKb(value, available);
        else if (key == "MemFree")
            hasFree = ParseKb(value, free);
        else if (key == "Buffers")
            ParseKb(value, buffers);
        else if (key == "Cached")
            ParseKb(value, cached);
        else if (key == "SwapFree")
            hasSwap = ParseKb(value, swapFree);
    });
    // Kernels before 3.14 have no MemAvailable; free memory and the caches come close.
    if (!hasAvailable && hasFree) {
        available = free + buffers + cached;
        hasAvailable = true;
    }
    if (hasTotal) {
        info.MemPhysTotal = FormatKb(total);
        if (hasAvailable) {
            if (available > total)
                available = total;
            info.MemPhysAvail = FormatKb(available);
            if (total > 0)
                info.MemLoad = std::to_string((total - available) * 100 / total) + "%";
        }
    }
    if (hasSwap)
        info.MemPageAvail = FormatKb(swapFree);
}

std::string FormatKb(unsigned long long kib) {
    char text[40];
    std::snprintf(text, sizeof text, "%9llu Kb", kib);
    return text;
}

void CollectSystemInfo(TSystemInfo& info) {
    try {
        unsigned count = std::thread::hardware_concurrency();
        if (count == 0) {
            long online = ::sysconf(_SC_NPROCESSORS_ONLN);
            count = online > 0 ? static_cast<unsigned>(online) : 0;
        }
        if (count > 0)
            info.CpuCount = std::to_string(count);

        std::string osRelease, kernel;
        if (!ReadWholeFile("/etc/os-release", osRelease, 65536))
            ReadWholeFile("/usr/lib/os-release", osRelease, 65536);
        struct utsname uts;
        if (::uname(&uts) == 0)
            kernel = uts.release;
        ApplyOsRelease(info, osRelease, kernel);

        std::string text;
        if (ReadWholeFile("/proc/cpuinfo", text, MaxProcFile))
            ApplyCpuInfo(info, text);
        if (ReadWholeFile("/proc/meminfo", text, MaxProcFile))
            ApplyMemInfo(info, text);
    } catch (...) {
        // What could be read stays; the rest keeps its previous value.
    }
}

TSystemInfo& SystemInfo() {
    static TSystemInfo info = [] {
        TSystemInfo collected;
        CollectSystemInfo(collected);
        return collected;
    }();
    return info;
}

int UtcOffset() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    if (now == static_cast<std::time_t>(-1) || !::localtime_r(&now, &local))
        return 180;
    return static_cast<int>(local.tm_gmtoff / 60);
}

std::string VersionText(const TSystemInfo& info) {
    return "Tavro 2001 Build 0063-RC10/" + info.OsShortName;
}

} // namespace tavro
