#pragma once

#include "data/DatabaseErrors.h"

// Raised when a calendar file cannot be created or written. The message
// names the file and the system's reason.
class ECalendarError : public EError {
public:
    using EError::EError;
};
