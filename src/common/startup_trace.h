#pragma once

// Time stamps of the start-up's steps, for the benchmark build only (LAGVANE_STARTUP_TRACE): in
// every other build each mark compiles to nothing, so the shipped program carries none of it.
// LAGVANE_STARTUP_STEP("name") ends the step of that name; LAGVANE_STARTUP_LAST("name") ends the
// last one and writes the steps' durations to the file that LAGVANE_STARTUP_TRACE_FILE names.

#if defined(LAGVANE_STARTUP_TRACE)
namespace startup_trace {
void Mark(const char* step, bool last) noexcept;
}  // namespace startup_trace
#define LAGVANE_STARTUP_STEP(step) ::startup_trace::Mark(step, false)
#define LAGVANE_STARTUP_LAST(step) ::startup_trace::Mark(step, true)
#else
#define LAGVANE_STARTUP_STEP(step) ((void)0)
#define LAGVANE_STARTUP_LAST(step) ((void)0)
#endif
