// The user's regional settings on POSIX.
#include <langinfo.h>
#include <locale.h>

#include "platform/Locale.h"

namespace korvel::platform {

std::string DecimalSeparator() {
  locale_t user = ::newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(nullptr));
  if (user == static_cast<locale_t>(nullptr)) return ".";
  const char* radix = ::nl_langinfo_l(RADIXCHAR, user);
  std::string separator = (radix != nullptr && *radix != '\0') ? radix : ".";
  ::freelocale(user);
  return separator;
}

}  // namespace korvel::platform
