// Puts a new resource tree into a PE image.  The resource section is
// rebuilt in place when it is the image's last section (or followed only
// by the base relocations, which move behind it); otherwise a new last
// section takes the resources and the old one stays unused.  Either way
// the block still goes behind the last section, and the headers (section
// table, data directories, sizes) describe the new layout.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/pack/Resources.h"

// `image` must end with its last section (findImageEnd).  On failure the
// image is unchanged and `error` says why.
bool replaceResources(std::vector<uint8_t>& image, const std::vector<Resource>& resources, std::string& error);

// Checks what replaceResources promises: sections in order without
// overlap in the file and in memory, the image size, the block position
// at the end of the file, and resources that read back as `expected`.
bool checkRebuiltImage(const std::vector<uint8_t>& image, const std::vector<Resource>& expected, std::string& error);

// The bytes of the resource directory's section from the directory on,
// as far as the data directory's size says; empty when there is none.
std::vector<uint8_t> resourceSectionBytes(const std::vector<uint8_t>& image, uint32_t& rva);
