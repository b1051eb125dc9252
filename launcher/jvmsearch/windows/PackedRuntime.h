// Runtimes shipped with their class archives packed: before such a
// runtime can be probed or loaded, every lib\*.jar.pack and lib\ext\*.jar.pack
// whose .jar is missing is unpacked with the runtime's own
// bin\unpack200.exe.
#pragma once

// Unpacks the packed archives of the Java home `home` (a full path).
// Prints "Preparing JRE ...\n" on standard output before the first unpack.
// An unpacker that cannot be started ends the launcher (message 1009 with
// "20"); one that fails keeps its packed file for the next launch.
void preparePackedRuntime(const char* home);
