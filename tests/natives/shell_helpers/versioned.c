/* A DLL that exists only to carry (or lack) a version resource. */
__declspec(dllexport) int fileVersionProbe(void) { return 1; }
