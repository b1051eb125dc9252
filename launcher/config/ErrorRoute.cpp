#include "launcher/config/ErrorRoute.h"

bool messageBoxReachable(const DisplayFacts& facts) {
    return facts.hasWindowStation && facts.windowStationVisible && facts.hasDesktop;
}
