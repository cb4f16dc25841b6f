#pragma once

#include <cerrno>

// Runs a system call again when a signal interrupted it (our termination signals do, by design).
template<typename Call> auto retryEintr(Call call)
{
    decltype(call()) result;
    do {
        result = call();
    } while (result < 0 && errno == EINTR);
    return result;
}
