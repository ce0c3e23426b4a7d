#pragma once

namespace quintarel {

// Runs the game on the platform backend this build links: opens frmMain, runs
// the event loop until the program ends and returns the process exit code.
int RunBackend(int argc, char** argv);

}  // namespace quintarel
