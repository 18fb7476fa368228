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

// True when the marker is gone afterwards: deleted now, or already absent.
bool RemoveRestartMarker();

// Asks Windows for a forced restart; true when Windows accepted.
bool RestartComputer();

// The end of a successful run. A restart the installation requested is recorded in the marker first;
// a restart is due when it was requested or a marker is pending. Then: the restart question (unless
// -norestart), else the success message. Returns the exit code: 0; 7 when a due restart failed or the
// marker could not be removed; 3010 when -norestart holds back a restart that could not be recorded.
int FinishSuccessfulRun(const BootstrapOptions& options, bool restartRequested);
