// The end of a successful run: the restart that is due, or the success message.
#pragma once

#include <cstdint>

#include "app/options.h"
#include "features/plugin/msiexec_run.h"

// The end of a successful run. A restart the installation requires is recorded in the marker first;
// a restart is due when it is required or a marker is pending. Then: the restart question (unless
// -norestart), else the success message. When Windows is restarting already (1641), a pending
// marker is met by that restart and removed, and nothing is asked. Returns the exit code: 0; 7 when
// a due restart failed or the marker could not be removed; 3010 when a due restart could neither be
// done nor recorded (-norestart and no marker, or a restart question that could not be shown).
uint32_t FinishSuccessfulRun(const BootstrapOptions& options, RestartNeed need);
