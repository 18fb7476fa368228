// The restart marker HKCU\Software\NeedBstrReboot, and the restart itself. The marker outlives the
// run, so a need recorded by a -norestart run is acted upon by the next one.
#pragma once

#include <cstdint>

// Creates the marker (an existing one is kept). Returns 0 or the registry error.
uint32_t SetRestartMarker();

// True when the marker can be opened.
bool RestartMarkerExists();

// Deletes the marker. Returns 0 when it is gone afterwards (deleted now, or already absent), else
// the registry error.
uint32_t ClearRestartMarker();

// Asks Windows for a forced restart; true when Windows accepted.
bool RestartComputer();
