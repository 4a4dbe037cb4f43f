// JAM bases come from tossers that crash and programs with bugs: the input is split into the
// header, index and text files, read through the base as the reader does, then appended to
// and deleted from.
#include "bases/JamBase.h"
#include "core/Endian.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

using namespace tavro;

namespace {

const std::string& ScratchDir() {
    static const std::string dir = [] {
        std::string pattern = "/tmp/tavro-fuzz-jam-XXXXXX";
        return std::string(mkdtemp(pattern.data()) ? pattern : "/tmp");
    }();
    return dir;
}

void Write(const std::string& name, std::string_view data) {
    std::ofstream(name, std::ios::binary | std::ios::trunc)
        .write(data.data(), static_cast<std::streamsize>(data.size()));
}

void ReadAll(TJamBase& base) {
    try {
        base.Rescan();
        base.HasUnread();
        for (int i = 0; i < base.GetCount(); ++i) {
            TCustomMsg* msg = base.GetMsg(i);
            msg->GetBody();
            msg->GetAttr();
        }
        base.HasUnread();
    } catch (const EFileError&) {
        // A damaged base reads as locked.
    }
}

} // namespace

// Input: 2-byte lengths of the header and index files, then the header, index and text files.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4)
        return 0;
    std::string_view input(reinterpret_cast<const char*>(data) + 4, size - 4);
    const size_t headerSize = std::min<size_t>(GetLE16(data), input.size());
    const size_t indexSize = std::min<size_t>(GetLE16(data + 2), input.size() - headerSize);
    const std::string& dir = ScratchDir();
    Write(dir + "/f.jhr", input.substr(0, headerSize));
    Write(dir + "/f.jdx", input.substr(headerSize, indexSize));
    Write(dir + "/f.jdt", input.substr(headerSize + indexSize));
    std::remove((dir + "/f.jlr").c_str());

    TBaseRef ref = TBaseRef::Adopt(new TJamBase(dir + "/f.jhr", "FUZZ", ""));
    auto* base = static_cast<TJamBase*>(ref.Get());
    base->SetUser(0, "Fuzz");
    base->SetLastRead(1);
    ReadAll(*base);
    auto msg = base->NewMsg();
    msg->Body = {{"appended"}};
    msg->Save();
    base->DeleteMsg(2);
    ReadAll(*base);
    return 0;
}
