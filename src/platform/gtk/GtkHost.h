#pragma once
// The program on this machine: computes the launch values, builds the platform pieces and the
// application delegate, and runs GTK's main loop until the program ends.

namespace suite::gtk {

int runProgram(int argc, char** argv);

}  // namespace suite::gtk
