// The block reader on arbitrary bytes: it must end in a status, never crash,
// hang or allocate for lengths the data cannot hold; what it reads must
// survive writing and reading again unchanged.
#include <cstdint>
#include <cstdlib>

#include "launcher/config/ConfigBlock.h"
#include "launcher/config/ConfigTables.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MemorySource image(data, size);
    uint32_t offset = 0;
    locateBlock(image, offset);

    MemorySource block(data, size);
    BlockData read;
    BlockStatus status = readBlockHead(block, read);
    if (status == BlockStatus::Ok) status = readBlockGroups(block, read);
    if (status != BlockStatus::Ok) return 0;

    applyConfigurationBlock(read, "de_AT");
    char narrow[kBufferChars];
    for (const ConfigEntry& e : read.config) configString(e.id, narrow, sizeof narrow);

    std::vector<uint8_t> written = serializeBlock(read);
    MemorySource back(written);
    BlockData reread;
    if (readBlockHead(back, reread) != BlockStatus::Ok || readBlockGroups(back, reread) != BlockStatus::Ok) abort();
    if (serializeBlock(reread) != written || back.position() != written.size()) abort();
    return 0;
}
