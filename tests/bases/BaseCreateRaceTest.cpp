// Several programs writing the first message of a base that does not exist yet: one makes
// it, the others wait for it and append; none takes the half-made base for a damaged one.
#include "bases/BaseFactory.h"
#include "core/Base.h"

#include "TempDir.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tavro;
using tavro::test::TTempDir;

namespace {

// In a child process: 0 when the message was written.
int WriteFirst(TBaseType type, const std::string& path, int n) {
    TBaseRef base = NewBase(type, path, "RACE", "");
    if (!base->CreateIfMissing())
        return 1;
    std::unique_ptr<TCustomMsg> msg = base->NewMsg();
    msg->FromName = "Writer " + std::to_string(n);
    msg->ToName = "All";
    msg->Subject = "Race";
    msg->Body = {TBodyLine("text")};
    return msg->Save() ? 0 : 2;
}

} // namespace

TEST(BaseCreateRace, EveryWriterOfANewBaseGetsItsMessageIn) {
    constexpr int Writers = 6;
    for (const TBaseType type : {btJam, btSquish}) {
        for (int round = 0; round < 10; ++round) {
            TTempDir dir;
            const std::string path = dir.File(type == btJam ? "new/area.jhr" : "new/area.sqd");
            std::vector<pid_t> children;
            for (int n = 0; n < Writers; ++n) {
                const pid_t pid = ::fork();
                ASSERT_GE(pid, 0);
                if (pid == 0)
                    ::_exit(WriteFirst(type, path, n));
                children.push_back(pid);
            }
            for (const pid_t pid : children) {
                int status = 0;
                ASSERT_EQ(::waitpid(pid, &status, 0), pid);
                EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
                    << "type " << type << " round " << round;
            }
            TBaseRef base = NewBase(type, path, "RACE", "");
            base->Rescan();
            EXPECT_EQ(base->GetCount(), Writers);
        }
    }
}
