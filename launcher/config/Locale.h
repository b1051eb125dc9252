// Locale names the way the Java platform spells them ("de_AT", "iw",
// "no_NO_NY"), looked up from a Windows language identifier.
#pragma once
#include <cstddef>
#include <cstdint>

// One row of the language table.  Identifiers below 0x100 are primary
// languages; the others are full identifiers (sublanguage and language).
struct LocaleEntry {
    uint16_t languageId;
    const char* name;
};

// The language table: ascending by identifier, identifiers unique.
const LocaleEntry* localeTable(size_t* count);

// The table's name for the full 16-bit identifier; else for its primary
// language (identifier & 0x3FF); else "en".
const char* localeNameForLanguageId(uint16_t languageId);

// Splits a locale name into the process-wide language (its first two
// characters) and country (characters four and five, only when the name
// is exactly five characters long; otherwise the country is unset).
void splitLocale(const char* localeName);
const char* localeLanguage();  // "" before splitLocale
const char* localeCountry();   // nullptr while unset
