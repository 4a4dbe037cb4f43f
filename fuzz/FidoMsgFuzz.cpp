// *.MSG files come from the tosser and from other programs: the header and the text are
// read through the base exactly as the reader does.
#include "bases/FidoBase.h"
#include "core/BufStream.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

using namespace tavro;

namespace {

const std::string& ScratchDir() {
    static const std::string dir = [] {
        std::string pattern = "/tmp/tavro-fuzz-msg-XXXXXX";
        return std::string(mkdtemp(pattern.data()) ? pattern : "/tmp");
    }();
    return dir;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& dir = ScratchDir();
    std::ofstream(dir + "/1.msg", std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    TBaseRef ref = TBaseRef::Adopt(new TFidoBase(dir, "", "NETMAIL"));
    auto* base = static_cast<TFidoBase*>(ref.Get());
    base->DoNotIgnoreSoftCR = size > 0 && (data[0] & 1);
    base->Rescan();
    try {
        if (TCustomMsg* msg = base->GetMsg(0)) {
            msg->GetBody();
            msg->GetAttr();
            (void)msg->FromAddr.ToStr5D();
            (void)msg->ToAddr.ToStr5D();
            (void)FormatIsoDateTime(msg->DateWritten);
            if (size < FidoHeaderSize)
                abort(); // a short header must not read as a message
        }
    } catch (const EFileError&) {
        // A short file is reported, not read past its end.
    }
    return 0;
}
