#pragma once

// Turns a Firebird status vector into the engine error record. Internal to db/.

#include "db/EngineError.h"

#include <firebird/Interface.h>

namespace db::detail {

EngineError engineErrorFrom(const Firebird::FbException& exception);

} // namespace db::detail
