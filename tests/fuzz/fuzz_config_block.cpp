// The block reader on arbitrary bytes: it must end in a status, never crash,
// hang or allocate for lengths the data cannot hold; a block that reads
// back must serialize to the same bytes.
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

    if (read.header3 != 0) {
        std::vector<uint8_t> again = serializeBlock(read);
        if (again.size() != block.position() || !std::equal(again.begin(), again.end(), data)) abort();
    }
    return 0;
}
