// korvel-patch: adapts MIDlet suites from the command line with the same job as the desktop
// program, using the desktop program's settings file.
#include <iostream>
#include <string>
#include <vector>

#include "app/PatchCommands.h"
#include "platform/Time.h"

int main(int argc, char** argv) {
  korvel::platform::PinLocalTimeZone();
  return korvel::RunPatchCommand(std::vector<std::string>(argv + 1, argv + argc), std::cout,
                                 std::cerr);
}
