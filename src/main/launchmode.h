#pragma once

// True when any argument, the program path included, is exactly "--self-test": no prefix match, no case folding.
bool isSelfTestMode(int argc, const char *const *argv);
