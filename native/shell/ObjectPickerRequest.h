// What the object picker is asked for: one scope whose type and filters
// follow the five choices of the Java side. Free of Windows so that every
// combination is checked on the host.
#pragma once
#include <cstdint>

struct ObjectPickerChoices {
    bool multiSelect;
    bool groups;
    bool users;
    bool wellKnownPrincipals;
    bool localComputerOnly;
};

struct ObjectPickerScope {
    uint32_t options;         // of the init info: DSOP_FLAG_MULTISELECT or 0
    uint32_t scopeType;       // DSOP_SCOPE_TYPE_* bits
    uint32_t scopeFlags;      // DSOP_SCOPE_FLAG_* bits
    uint32_t uplevelFilter;   // DSOP_FILTER_* bits, both modes
    uint32_t downlevelFilter; // DSOP_DOWNLEVEL_FILTER_* bits
};

ObjectPickerScope objectPickerScope(const ObjectPickerChoices& choices);
