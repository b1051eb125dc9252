// Exports nothing: the launcher reaches the main class only through the
// package that the launch opens to it.
module tvr.testmod {
}
