// How values are written in a launcher description: the plain form (the
// text as it is, no escapes, so Windows paths keep their backslashes) and
// the quoted form (between double quotes, with escapes for blanks at the
// ends, control characters, bytes that are not UTF-8 and unpaired UTF-16
// surrogates).  Configuration values and group prefixes are bytes;
// message texts are UTF-16 code units.
#pragma once
#include <string>

// Strict UTF-8 to UTF-16: false for malformed sequences, overlong forms and
// encoded surrogates.  Characters above U+FFFF become surrogate pairs.
bool utf16FromUtf8(const std::string& utf8, std::u16string& out);
// UTF-8 of a UTF-16 text.  Unpaired surrogates cannot be expressed in
// UTF-8 and come out as U+FFFD; callers that need them exactly use the
// quoted form, which escapes them.
std::string utf8FromUtf16(const std::u16string& text);

// True when the bytes can be written in the plain form: valid UTF-8,
// nothing that needs an escape, no blank at either end.
bool bytesArePlain(const std::string& bytes);
bool textIsPlain(const std::u16string& text);

// The quoted form, including the enclosing double quotes.
std::string quoteBytes(const std::string& bytes);
std::string quoteText(const std::u16string& text);

// Reads a quoted form that begins at line[pos] (a double quote) and moves
// pos behind the closing quote.  Escapes: \\ \" \n \r \t, \xHH (a byte, or
// for texts the code unit U+00HH) and \uXXXX (for texts one UTF-16 code
// unit, surrogates included; for bytes the UTF-8 of that character).  On
// failure `error` says what is wrong.
bool unquoteBytes(const std::string& line, size_t& pos, std::string& out, std::string& error);
bool unquoteText(const std::string& line, size_t& pos, std::u16string& out, std::string& error);
