#include "ConfigOrigin.h"

#include "CfgStream.h"

namespace tavro {

std::string ReadOrigin(TFileOrigin& origin, const std::string& fileName, size_t maxBytes) {
    std::string data;
    const std::string name = ResolveCase(fileName);
    const TFileStamp stamp = FileStampOf(name);
    ReadConfigFile(name, data, maxBytes);
    origin = {true, false, fileName, stamp, data};
    return data;
}

} // namespace tavro
