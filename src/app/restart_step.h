// The end of a successful run: the restart that is due, or the success message.
#pragma once

#include "app/options.h"

// The end of a successful run. A restart the installation requested is recorded in the marker first;
// a restart is due when it was requested or a marker is pending. Then: the restart question (unless
// -norestart), else the success message. Returns the exit code: 0; 7 when a due restart failed or the
// marker could not be removed; 3010 when -norestart holds back a restart that could not be recorded.
uint32_t FinishSuccessfulRun(const BootstrapOptions& options, bool restartRequested);
