#pragma once

#include "data/DatabaseErrors.h"

// Raised when an export file cannot be created or written. The message names
// the file and the system's reason; the export command shows its own fixed
// text instead.
class EInOutError : public EError {
public:
    using EError::EError;
};
