// JAM bases come from tossers that crash and programs with bugs: the input is split into the
// header, index and text files, read through the base as the reader does, then appended to
// and deleted from, each change checked as the base promises (see BaseChecks.h).
#include "bases/JamBase.h"
#include "core/Endian.h"
#include "core/Settings.h"

#include "BaseChecks.h"

#include <cstdint>
#include <string>

using namespace tavro;
using namespace tavro::fuzz;

namespace {

uint32_t HeaderField(size_t offset) {
    const std::string header = Snapshot()["f.jhr"];
    return header.size() >= offset + 4 ? GetLE32(header.data() + offset) : 0;
}

// Numbers past 2^32 wrap around, and the wrapped ones are not found by their number (an
// open fault of the base); such a base is read and changed unchecked.
bool NumbersWrap() {
    const uint64_t records = Snapshot()["f.jdx"].size() / JamIndexRecordSize;
    return HeaderField(20) + records + 1 >= (uint64_t(1) << 32);
}

// A stored count that agrees with the index makes the base list every record without
// reading a header, including one marked deleted, which goes from the list once a delete
// puts the count off; a count that disagrees may come level with the index after a delete.
// Either way a deleted message can stay listed (an open fault of the base). The headers are
// read here from the files, past whatever else is damaged in them.
TDeleteLeeway CountLeeway(const TListing& listing) {
    TSnapshot files = Snapshot();
    const std::string& header = files["f.jhr"];
    const std::vector<TJamIndexRecord> index = DecodeJamIndex(files["f.jdx"]);
    TDeleteLeeway leeway;
    for (size_t slot = 0; slot < index.size(); ++slot) {
        const size_t attr = size_t(index[slot].HeaderOffset) + jhAttribute;
        if (!index[slot].IsEmpty() && attr + 4 <= header.size() &&
            (GetLE32(header.data() + attr) & JamDeleted))
            leeway.MayGo.push_back(static_cast<TMsgId>(slot + HeaderField(20)));
    }
    leeway.DeletedMayStay = !listing.Ids || HeaderField(12) != listing.Ids->size() || !leeway.MayGo.empty();
    return leeway;
}

} // namespace

// Input: 2-byte lengths of the header and index files, then the header, index and text files.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4)
        return 0;
    std::string_view input(reinterpret_cast<const char*>(data) + 4, size - 4);
    const size_t headerSize = std::min<size_t>(GetLE16(data), input.size());
    const size_t indexSize = std::min<size_t>(GetLE16(data + 2), input.size() - headerSize);
    EmptyScratchDir();
    WriteScratch("f.jhr", input.substr(0, headerSize));
    WriteScratch("f.jdx", input.substr(headerSize, indexSize));
    WriteScratch("f.jdt", input.substr(headerSize + indexSize));

    Ui();
    TGlobalSettings settings;
    settings.EchoscanFile = ScratchDir() + "/echotoss.log";
    TBaseRef ref = TBaseRef::Adopt(new TJamBase(ScratchDir() + "/f.jhr", "FUZZ", ""));
    auto* base = static_cast<TJamBase*>(ref.Get());
    base->ScanSettings = &settings;
    base->SetUser(0, "Fuzz");
    base->SetLastRead(1);

    if (NumbersWrap()) {
        ReadAll(*base);
        auto msg = base->NewMsg();
        FillProbe(*msg);
        msg->Save();
        base->DeleteMsg(2);
        ReadAll(*base);
        return 0;
    }
    const TListing before = ReadAll(*base);
    // The number went into the header the append wrote.
    CheckAppend(*base, before.Whole, [&](TCustomMsg& msg, const TSnapshot&) {
        return PositionOfId(*base, GetLE32(&static_cast<TJamMsg&>(msg).Header[jhMsgNum]));
    });
    const TListing appended = ReadAll(*base);
    CheckDelete(*base, appended, {PickId(appended, size)}, CountLeeway(appended));
    const TListing deleted = ReadAll(*base);
    CheckDelete(*base, deleted, {PickId(deleted, 0), PickId(deleted, 2), PickId(deleted, size / 2)},
                CountLeeway(deleted));
    ReadAll(*base);
    return 0;
}
