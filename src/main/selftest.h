#pragma once

// The built-in self-test behind "--self-test": exercises note naming, saving and document reading in a fresh
// temporary folder and prints the result lines. Returns only when every check passed; a failed check aborts,
// and an unexpected error removes the folder and leaves this function.
void runSelfTest(int &argc, char **argv);
