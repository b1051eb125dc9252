#include "native/shell/FileVersionOrder.h"

int compareFileVersionWords(const FileVersionWords* first, const FileVersionWords* second) {
    if (!first || !second) return kVersionUnreadable;
    if (first->mostSignificant == second->mostSignificant && first->leastSignificant == second->leastSignificant)
        return kVersionsEqual;
    if (first->mostSignificant > second->mostSignificant) return kFirstVersionHigher;
    if (first->mostSignificant == second->mostSignificant && first->leastSignificant > second->leastSignificant)
        return kFirstVersionHigher;
    return kSecondVersionHigher;
}

bool prefersReplacementFolderModule(int order) { return order == kFirstVersionHigher || order == kVersionUnreadable; }
