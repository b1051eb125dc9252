// Where a fatal error is shown.  A message box needs someone to answer it:
// in a process whose window station is not interactive (a service, a
// process the service control manager started) or that has no desktop, a
// box would wait forever, so the text goes to standard error instead.
#pragma once

struct DisplayFacts {
    bool hasWindowStation = false;
    bool windowStationVisible = false;  // WSF_VISIBLE: the interactive station
    bool hasDesktop = false;
};

// True when a message box shown by this process can be seen and answered.
bool messageBoxReachable(const DisplayFacts& facts);
