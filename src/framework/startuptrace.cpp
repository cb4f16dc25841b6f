#include "framework/startuptrace.h"

#include <QtGlobal>

#include <cstdio>
#include <ctime>

namespace {

struct Trace
{
    bool on = qEnvironmentVariableIsSet("NOLTNOLT_STARTUP_TRACE");
    double wallStart = -1;
    double cpuStart = 0;
};

Trace &trace()
{
    static Trace state;
    return state;
}

double milliseconds(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

} // namespace

void StartupTrace::mark(const char *step)
{
    Trace &state = trace();
    if (!state.on)
        return;
    const double wall = milliseconds(CLOCK_MONOTONIC);
    const double cpu = milliseconds(CLOCK_THREAD_CPUTIME_ID);
    if (state.wallStart < 0) {
        state.wallStart = wall;
        state.cpuStart = cpu;
    }
    std::fprintf(stderr, "startup\t%s\t%.2f\t%.2f\n", step, wall - state.wallStart, cpu - state.cpuStart);
}

void StartupTrace::firstPaint()
{
    Trace &state = trace();
    if (!state.on)
        return;
    mark("first paint");
    std::fflush(stderr);
    state.on = false;
}
