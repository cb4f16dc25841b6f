#include "launchmode.h"

#include <cstring>

bool isSelfTestMode(int argc, const char *const *argv)
{
    for (int i = 0; i < argc; ++i) {
        if (argv[i] && std::strcmp(argv[i], "--self-test") == 0)
            return true;
    }
    return false;
}
