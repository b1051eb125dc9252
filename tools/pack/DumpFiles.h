// The files that `pack dump --files DIR` writes: the embedded files and
// the icon below DIR, which the dumped description then refers to.
#pragma once
#include <string>

#include "tools/pack/Description.h"

// Writes the embedded files below `dir` ("lib\x.dll" as DIR/lib/x.dll) and
// points their sources there, relative to `descriptionDir`.  Every name is
// checked first: when one is not safe or occurs twice (ignoring case),
// nothing is written.
bool writeEmbeddedFiles(LauncherDescription& description, const std::string& dir, const std::string& descriptionDir,
                        std::string& error);

// Writes the icon as DIR/icon.ico (icon-2.ico and so on when an embedded
// file takes that name) and points the icon source there.
bool writeIconFile(LauncherDescription& description, const std::string& dir, const std::string& descriptionDir,
                   std::string& error);
