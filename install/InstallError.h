#pragma once

#include "base/Exception.h"

namespace quorin {

// A unit that cannot be installed into or taken out of a mod as asked.
class EInstallError : public Exception { using Exception::Exception; };

} // namespace quorin
