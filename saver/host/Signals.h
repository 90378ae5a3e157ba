#pragma once

// SIGTERM and SIGINT end the saver through the window's destruction, never mid-frame.
void catchTerminationSignals();
bool terminationRequested();
