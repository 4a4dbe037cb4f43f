// *.MSG files come from the tosser and from other programs: the header and the text are
// read through the base exactly as the reader does. The input stands as two messages of a
// directory, which is then appended to and deleted from, each change checked as the base
// promises (see BaseChecks.h).
#include "bases/FidoBase.h"
#include "core/BufStream.h"

#include "BaseChecks.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace tavro;
using namespace tavro::fuzz;

namespace {

// The number of the one message file the append added.
TMsgId NewFileNumber(const TSnapshot& before) {
    for (const auto& [name, data] : Snapshot()) {
        const size_t digits = name.find_first_not_of("0123456789");
        if (!before.contains(name) && digits > 0 && digits != std::string::npos &&
            name.substr(digits) == ".msg")
            return static_cast<TMsgId>(std::stoul(name.substr(0, digits)));
    }
    Violated("an append that worked added no message file");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    EmptyScratchDir();
    WriteScratch("1.msg", input);
    WriteScratch("4.msg", input);

    Ui();
    TBaseRef ref = TBaseRef::Adopt(new TFidoBase(ScratchDir(), "", "NETMAIL"));
    auto* base = static_cast<TFidoBase*>(ref.Get());
    base->DoNotIgnoreSoftCR = size > 0 && (data[0] & 1);
    base->Rescan();
    try {
        if (TMsgHandle msg = base->GetMsg(0)) {
            msg->GetBody();
            msg->GetAttr();
            (void)msg->FromAddr.ToStr5D();
            (void)msg->ToAddr.ToStr5D();
            (void)FormatIsoDateTime(msg->DateWritten);
            if (size < FidoHeaderSize)
                Violated("a short header reads as a message");
        }
    } catch (const EFileError&) {
        // A short file is reported, not read past its end.
    }

    const TListing before = ReadAll(*base);
    CheckAppend(*base, before.Whole, [&](TCustomMsg&, const TSnapshot& files) {
        return PositionOfId(*base, NewFileNumber(files));
    });
    const TListing appended = ReadAll(*base);
    CheckDelete(*base, appended, {PickId(appended, size)});
    const TListing deleted = ReadAll(*base);
    CheckDelete(*base, deleted, {PickId(deleted, 0), PickId(deleted, 2), PickId(deleted, size / 2)});
    ReadAll(*base);
    return 0;
}
