// The texts with which the service process explains in the event log that
// its application failed.
#pragma once
#include <cstdint>
#include <string>

// "The application of service 'NAME' ended with exit code N." and, when
// the child wrote anything, an empty line and its output.
std::u16string applicationEndedText(const std::u16string& serviceName, uint32_t exitCode,
                                    const std::u16string& output);

// "The application of service 'NAME' could not be started (Windows error
// code N)." and the command line that failed.
std::u16string applicationNotStartedText(const std::u16string& serviceName, uint32_t errorCode,
                                         const std::u16string& commandLine);

// Output made fit for an event: every line ends in CR LF (the viewer shows
// a bare LF as nothing), NULs (which would end the string) become U+FFFD,
// and trailing line ends and blanks are dropped.
std::u16string eventOutputText(const std::u16string& output);
