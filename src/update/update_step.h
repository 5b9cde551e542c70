#pragma once

#include "update/http_request.h"

class TRegSet;

enum class UpdateOutcome {
  kGoOn,       // no update, or the user declined: the normal start follows
  kEndProgram, // the user accepted: the program ends now, with exit code 0
};

// The self-update step of the start: asks the maker's server for a newer version, offers it, and
// on acceptance downloads the installer into the temporary folder and starts it. Reads the
// installed version through `settings`. The failures of the manifest read and of the download
// escape to the caller, which ends the process through the last-chance handler.
UpdateOutcome RunUpdateStep(TRegSet& settings, const ServerAddress& server);
