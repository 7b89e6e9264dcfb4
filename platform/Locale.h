// The user's regional settings.
#pragma once

#include <string>

namespace korvel::platform {

// The decimal separator of the user's locale (from the environment, whatever locale the process
// itself runs in); "." when none is set.
std::string DecimalSeparator();

}  // namespace korvel::platform
