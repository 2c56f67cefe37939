#pragma once

#include "data/DatabaseErrors.h"

// A date or time refused by the picker's own rules (the check box rule and
// the MinDate/MaxDate range).
class EDateTimeError : public EError {
public:
    using EError::EError;
};

// The editing widget under a picker refused a value or a range.
class ECommonCalendarError : public EError {
public:
    using EError::EError;
};
