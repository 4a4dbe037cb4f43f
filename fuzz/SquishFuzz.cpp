// Squish bases come from tossers that may have crashed half-way: the input is split into a
// data file and an index, read through the base as the reader does, then appended to and
// deleted from, which walks the frame chains; each change is checked as the base promises
// (see BaseChecks.h).
#include "bases/SquishBase.h"
#include "core/Endian.h"
#include "core/Settings.h"

#include "BaseChecks.h"

#include <algorithm>
#include <cstdint>
#include <string>

using namespace tavro;
using namespace tavro::fuzz;

// Input: a 2-byte length of the data file, the data file, then the index.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const size_t dataSize = std::min<size_t>(GetLE16(data), size - 2);
    std::string_view input(reinterpret_cast<const char*>(data) + 2, size - 2);
    EmptyScratchDir();
    WriteScratch("f.sqd", input.substr(0, dataSize));
    WriteScratch("f.sqi", input.substr(dataSize));

    Ui();
    TGlobalSettings settings;
    settings.EchoscanFile = ScratchDir() + "/echotoss.log";
    TBaseRef ref = TBaseRef::Adopt(new TSquishBase(ScratchDir() + "/f.sqd", "FUZZ", ""));
    auto* base = static_cast<TSquishBase*>(ref.Get());
    base->ScanSettings = &settings;

    const TListing before = ReadAll(*base);
    // The append knows where its frame went; the index record at its position, read by the
    // rescan, gives the id, which must then lead back to that frame.
    CheckAppend(*base, before.Whole, [&](TCustomMsg& msg, const TSnapshot&) {
        const auto& written = static_cast<TSquishMsg&>(msg);
        const int position = PositionOfId(*base, base->GetMsgId(written.Position));
        const auto stored = std::static_pointer_cast<TSquishMsg>(base->GetMsg(position));
        if (!stored || stored->FrameOffset != written.FrameOffset)
            Violated("an appended message's id names another message");
        return position;
    });
    const TListing appended = ReadAll(*base);
    CheckDelete(*base, appended, {PickId(appended, size)});
    const TListing deleted = ReadAll(*base);
    CheckDelete(*base, deleted, {PickId(deleted, 0), PickId(deleted, 2), PickId(deleted, size / 2)});
    ReadAll(*base);
    return 0;
}
