#include "core/SysInfo.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

using namespace tavro;

TEST(SysInfo, OsReleaseNamesTheSystem) {
    struct Case {
        std::string osRelease;
        std::string kernel;
        std::string name;
        std::string fullName;
    };
    const Case cases[] = {
        {"PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nNAME=\"Debian GNU/Linux\"\nVERSION_ID=\"12\"\n",
         "6.1.0-18-amd64\n", "Debian GNU/Linux 12 (bookworm)",
         "Debian GNU/Linux 12 (bookworm) 6.1.0-18-amd64"},
        {"NAME=Fedora\r\nVERSION=40\r\n", "6.8.5", "Fedora", "Fedora 6.8.5"},
        {"PRETTY_NAME='Say \"hi\" OS'\nNAME=x", "5.10", "Say \"hi\" OS", "Say \"hi\" OS 5.10"},
        {"PRETTY_NAME=\"Escaped \\\"quote\\\" \\\\ OS\"", "", "Escaped \"quote\" \\ OS", "(kept)"},
        {"ID=debian\n", "6.1", "Unidentified system", "Unidentified system 6.1"},
        {"", "", "Unidentified system", "(kept)"},
    };
    for (const Case& c : cases) {
        TSystemInfo info;
        info.OsFullName = "(kept)";
        ApplyOsRelease(info, c.osRelease, c.kernel);
        EXPECT_EQ(info.OsShortName, "Linux");
        EXPECT_EQ(info.OsName, c.name) << c.osRelease;
        EXPECT_EQ(info.OsFullName, c.fullName) << c.osRelease;
        EXPECT_EQ(VersionText(info), "Tavro 2001 Build 0063-RC10/Linux");
    }
}

TEST(SysInfo, TextsAreCutTo255BytesOnACharacterBoundary) {
    TSystemInfo info;
    // 127 two-byte letters and one more: the 256th byte would split a letter.
    std::string name;
    for (int i = 0; i < 200; ++i)
        name += "\xD0\x96";
    ApplyOsRelease(info, "PRETTY_NAME=\"x" + name + "\"", "6.1");
    EXPECT_EQ(info.OsName, "x" + name.substr(0, 254));
    EXPECT_LE(info.OsFullName.size(), 255u);
    ApplyCpuInfo(info, "model name\t: " + std::string(300, 'c') + "\n");
    EXPECT_EQ(info.CpuName, std::string(255, 'c'));
}

TEST(SysInfo, CpuInfo) {
    const char* x86 = "processor\t: 0\n"
                      "vendor_id\t: GenuineIntel\n"
                      "cpu family\t: 6\n"
                      "model name\t: Intel(R) Core(TM) i5-8250U CPU @ 1.60GHz\n"
                      "\n"
                      "processor\t: 1\n"
                      "vendor_id\t: OtherVendor\n"
                      "model name\t: Second\n";
    TSystemInfo info;
    ApplyCpuInfo(info, x86);
    EXPECT_EQ(info.CpuName, "Intel(R) Core(TM) i5-8250U CPU @ 1.60GHz");
    EXPECT_EQ(info.CpuVendor, "GenuineIntel");

    TSystemInfo arm;
    arm.CpuVendor = "previous";
    ApplyCpuInfo(arm, "Processor\t: ARMv7 Processor rev 4 (v7l)\nBogoMIPS\t: 38.40\n");
    EXPECT_EQ(arm.CpuName, "ARMv7 Processor rev 4 (v7l)");
    EXPECT_EQ(arm.CpuVendor, "previous");

    TSystemInfo none;
    none.CpuName = "previous";
    ApplyCpuInfo(none, "garbage without separators\n\n:\n");
    EXPECT_EQ(none.CpuName, "previous");
}

TEST(SysInfo, MemInfo) {
    TSystemInfo info;
    ApplyMemInfo(info, "MemTotal:        1048576 kB\n"
                       "MemFree:          100000 kB\n"
                       "MemAvailable:     262144 kB\n"
                       "SwapTotal:       2097152 kB\n"
                       "SwapFree:        2000000 kB\n");
    EXPECT_EQ(info.MemPhysTotal, "  1048576 Kb");
    EXPECT_EQ(info.MemPhysAvail, "   262144 Kb");
    EXPECT_EQ(info.MemPageAvail, "  2000000 Kb");
    EXPECT_EQ(info.MemLoad, "75%");

    // Without MemAvailable (old kernels) free memory and the caches stand in for it.
    TSystemInfo old;
    ApplyMemInfo(old, "MemTotal: 1000 kB\nMemFree: 100 kB\nBuffers: 50 kB\nCached: 150 kB\n");
    EXPECT_EQ(old.MemPhysAvail, "      300 Kb");
    EXPECT_EQ(old.MemLoad, "70%");
    EXPECT_EQ(old.MemPageAvail, "");

    TSystemInfo broken;
    broken.MemPhysTotal = "previous";
    ApplyMemInfo(broken, "MemTotal: lots\nMemAvailable: 99999999999999999999999 kB\nMemTotal:\n");
    EXPECT_EQ(broken.MemPhysTotal, "previous");
    EXPECT_EQ(broken.MemLoad, "");

    TSystemInfo zero;
    ApplyMemInfo(zero, "MemTotal: 0 kB\nMemAvailable: 0 kB\n");
    EXPECT_EQ(zero.MemPhysTotal, "        0 Kb");
    EXPECT_EQ(zero.MemLoad, "");
}

TEST(SysInfo, FormatKb) {
    EXPECT_EQ(FormatKb(0), "        0 Kb");
    EXPECT_EQ(FormatKb(1048576), "  1048576 Kb");
    EXPECT_EQ(FormatKb(1234567890ULL), "1234567890 Kb");
}

TEST(SysInfo, CollectsFromThisMachine) {
    TSystemInfo info;
    CollectSystemInfo(info);
    EXPECT_EQ(info.OsShortName, "Linux");
    EXPECT_FALSE(info.OsName.empty());
    EXPECT_GE(std::atoi(info.CpuCount.c_str()), 1);
    EXPECT_FALSE(info.MemPhysTotal.empty());
    EXPECT_EQ(VersionText(SystemInfo()), "Tavro 2001 Build 0063-RC10/Linux");
    EXPECT_EQ(&SystemInfo(), &SystemInfo());
}

TEST(SysInfo, UtcOffsetIsMinutesEastOfUtc) {
    const char* previous = std::getenv("TZ");
    std::optional<std::string> saved;
    if (previous)
        saved = previous;
    struct Case {
        const char* tz;
        int offset;
    };
    for (Case c : {Case{"UTC0", 0}, Case{"MSK-3", 180}, Case{"EST5", -300}, Case{"IST-5:30", 330}}) {
        ::setenv("TZ", c.tz, 1);
        ::tzset();
        EXPECT_EQ(UtcOffset(), c.offset) << c.tz;
    }
    if (saved)
        ::setenv("TZ", saved->c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}
