// The audio engine's error type and every message text the engine raises itself.
// Thrown on whichever thread detects the failure; errors inside a run are caught by the
// output's worker and end that run (see au_output.h).
#pragma once

#include <string>

#include "base/exception.h"

namespace kalvira {

class EAuException : public Exception {
 public:
  using Exception::Exception;
};

// The engine's own texts, used exactly as they stand (the two "not assigned" texts differ
// by the full stop on purpose: Run and Pause raise different ones).
namespace au_messages {
inline constexpr const char* kComponentIsBusy = "Component is Busy";
inline constexpr const char* kInputNotAssigned = "Input is not assigned";
inline constexpr const char* kInputNotAssignedPause = "Input is not assigned.";
inline constexpr const char* kInputIsBusy = "The component is Busy";
inline constexpr const char* kFileNameNotAssigned = "The file name is not assigned";
// Our own texts: a run over a file whose format is unknown, and a read of a closed file.
inline constexpr const char* kUnknownFormat = "The file format is unknown";
inline constexpr const char* kFileNotOpen = "The file is not open";
}  // namespace au_messages

}  // namespace kalvira
