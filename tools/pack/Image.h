// Launcher images: the generic executable, and a packed launcher, which is
// the generic image cut behind its last section, then the configuration
// block, then the embedded files (each an 8-byte little-endian size and
// the bytes XOR 0xB9).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/pack/Description.h"

constexpr uint8_t kEmbeddedFileMask = 0xB9;

// Checks that the bytes are a PE image whose block position the launcher
// can find (MZ and PE signatures, at least one section, the section table
// and the data of every section inside the file and before the block) and
// gives the offset where the block starts, which is also where a packed
// launcher's generic part ends.
bool findImageEnd(const std::vector<uint8_t>& image, uint32_t& end, std::string& error);

// Writes the launcher: `image` (generic, or an already packed launcher)
// cut at its end, the block of the description, the embedded files.  Keys
// 2002 and 2003 are brought in line with the files (syncEmbeddedFileKeys).
// A signature entry of the image is cleared (the signature itself is cut
// off) and a nonzero PE checksum is computed anew.  `warnings` receives
// what was changed or dropped.
bool packLauncher(const std::vector<uint8_t>& image, const LauncherDescription& description,
                  std::vector<uint8_t>& out, std::string& error, std::vector<std::string>* warnings = nullptr);

// Reads the block and the embedded files of a packed launcher into a
// description (files without source).  Bytes behind the embedded files,
// such as a signature, are named in `warnings`.
bool readLauncher(const std::vector<uint8_t>& launcher, LauncherDescription& out, std::string& error,
                  std::vector<std::string>* warnings = nullptr);

// Makes keys 2002 (count) and 2003 (names separated by ";") describe the
// files.  An entry that the launcher already reads correctly stays as it
// is, byte for byte, so that a dumped launcher packs to the same bytes; an
// entry that would make the launcher extract something else is rewritten
// in place (with a note); a missing entry is appended when there are files.
void syncEmbeddedFileKeys(BlockData& block, const std::vector<EmbeddedFile>& files,
                          std::vector<std::string>* notes = nullptr);

// The PE checksum of the file, with the 4 checksum bytes at
// `checksumOffset` left out of the sum.
uint32_t peChecksum(const std::vector<uint8_t>& file, size_t checksumOffset);
