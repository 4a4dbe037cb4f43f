#include "LastReadFile.h"

#include "core/Endian.h"
#include "core/FileUtils.h"

namespace tavro {

bool TLastReadFile::Load(const std::string& fileName, int user, uint32_t& value) const {
    if (!HasSlot(user))
        return false;
    try {
        auto file = OpenWithRetry(fileName, TOpenMode::Read, 1024, TimeoutMs);
        uint8_t bytes[4] = {};
        file->Seek(int64_t(user) * Width, TSeekOrigin::Begin);
        if (file->Read(bytes, Width) != Width)
            return false;
        value = Width == 2 ? GetLE16(bytes) : GetLE32(bytes);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool TLastReadFile::Save(const std::string& fileName, int user, uint32_t value) const {
    if (!HasSlot(user))
        return false;
    try {
        auto file = OpenWithRetry(fileName, TOpenMode::WriteExclusiveCreate, 1024, TimeoutMs);
        const int64_t offset = int64_t(user) * Width;
        const int64_t size = file->Size();
        if (size < offset) {
            std::string zeros(static_cast<size_t>(offset - size), '\0');
            file->Seek(size, TSeekOrigin::Begin);
            file->WriteBuffer(zeros.data(), static_cast<int64_t>(zeros.size()));
        }
        uint8_t bytes[4];
        PutLE32(bytes, value);
        file->Seek(offset, TSeekOrigin::Begin);
        file->WriteBuffer(bytes, Width);
        file->Flush();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace tavro
