#pragma once

namespace tallowick {

// The application main loop: chooses the backends, loads the window set (which creates the
// controller), connects it, registers for message events and runs until terminated.
int NSApplicationMain(int argc, char** argv);

} // namespace tallowick
