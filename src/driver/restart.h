// The restart marker HKCU\Software\NeedBstrReboot and the restart at the end of a run.
// The marker outlives the run, so a need recorded by a -norestart run is acted upon by the next one.
#pragma once

#include <cstdint>

#include "driver/options.h"

// Creates the marker (an existing one is kept). Returns 0 or the registry error.
uint32_t SetRestartMarker();

// True when the marker can be opened.
bool RestartMarkerExists();

// Deletes the marker. Returns 0 or the registry error.
uint32_t ClearRestartMarker();

// Asks Windows for a forced restart; true when Windows accepted.
bool RestartComputer();

// The end of a successful run: the restart question when a marker is pending (and -norestart is not
// set), else the success message. Returns the exit code: 0, or 7 when a due restart failed.
int FinishSuccessfulRun(const BootstrapOptions& options);
