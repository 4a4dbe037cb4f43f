// Squish bases come from tossers that may have crashed half-way: the input is split into a
// data file and an index, read through the base as the reader does, then appended to and
// deleted from, which walks the frame chains.
#include "bases/SquishBase.h"
#include "core/Endian.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

using namespace tavro;

namespace {

const std::string& ScratchDir() {
    static const std::string dir = [] {
        std::string pattern = "/tmp/tavro-fuzz-squish-XXXXXX";
        return std::string(mkdtemp(pattern.data()) ? pattern : "/tmp");
    }();
    return dir;
}

void Write(const std::string& name, std::string_view data) {
    std::ofstream(name, std::ios::binary | std::ios::trunc)
        .write(data.data(), static_cast<std::streamsize>(data.size()));
}

void ReadAll(TSquishBase& base) {
    try {
        base.Rescan();
        for (int i = 0; i < base.GetCount(); ++i) {
            TCustomMsg* msg = base.GetMsg(i);
            msg->GetBody();
            msg->GetAttr();
        }
    } catch (const EFileError&) {
        // A damaged base reads as locked.
    }
}

} // namespace

// Input: a 2-byte length of the data file, the data file, then the index.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const size_t dataSize = std::min<size_t>(GetLE16(data), size - 2);
    std::string_view input(reinterpret_cast<const char*>(data) + 2, size - 2);
    const std::string& dir = ScratchDir();
    Write(dir + "/f.sqd", input.substr(0, dataSize));
    Write(dir + "/f.sqi", input.substr(dataSize));

    TBaseRef ref = TBaseRef::Adopt(new TSquishBase(dir + "/f.sqd", "FUZZ", ""));
    auto* base = static_cast<TSquishBase*>(ref.Get());
    ReadAll(*base);
    auto msg = base->NewMsg();
    msg->Body = {{"appended"}};
    msg->Save();
    base->DeleteMsg(2);
    base->DeleteMsgs({1, 3, 4}, nullptr);
    ReadAll(*base);
    return 0;
}
