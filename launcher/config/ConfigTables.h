// The launcher's configuration and message tables, filled once from the
// configuration block and read through the accessors below for the rest of
// the run.  Absent ids read as empty values (configInt as 0).
#pragma once
#include <cstdint>
#include <string>

#include "launcher/config/ConfigBlock.h"

constexpr int kBufferChars = 6000;  // the launcher's buffer size for values, paths, command lines

// Replaces the tables with the block's entries: configuration entries in
// block order (a later duplicate id wins), messages, then the language
// groups that match the locale name, in block order.  Then derives the
// message-box flag from key 107.
void applyConfigurationBlock(const BlockData& block, const char* localeName);
// The tables alone, the message-box flag left as it is: for a block that
// could be read only in part, whose fatal error is still shown with the
// entries read so far (its caption, message 1000, among them).
void storeConfigurationTables(const BlockData& block, const char* localeName);

// Copies the value, cut to size - 1 bytes, and returns the bytes copied.
// A cut value is logged and still returned.
int configString(int32_t id, char* buffer, int size);
// The value widened byte by byte (the C runtime's narrow-to-wide conversion
// of the "C" locale), cut to size - 1 characters.
int configWideString(int32_t id, wchar_t* buffer, int size);
// The value parsed like strtol in base 10; 0 when absent or without digits.
int configInt(int32_t id);
std::string configStringCopy(int32_t id);
// The message's text, cut to size - 1 characters; empty when absent.
int messageText(int32_t id, wchar_t* buffer, int size = kBufferChars);
// messageText, or configWideString of the same id when the message is empty.
int messageOrConfigText(int32_t id, wchar_t* buffer, int size = kBufferChars);

// Fatal errors are shown in a message box while this is set.  It starts set
// (errors while the block is read appear in a box) and stays set after
// loading only for executable types 1 and 5 (key 107).
bool messageBoxFlag();
void setMessageBoxFlag(bool on);

// The first character of key 2001: 'i' selects the tavra flavour.
void readLauncherFlavour();
bool isTavraFlavour();
