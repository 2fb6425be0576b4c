#pragma once

#include "Error.h"

namespace kve {

// An error of the table file or its object, with a text fit for the operator's error box.
class TableError : public Error {
public:
    using Error::Error;
};

} // namespace kve
