#pragma once

// SIGTERM and SIGINT end the saver through the window's destruction, never mid-frame. A thread
// of its own takes them, so that they reach the saver in every state: it ends child processes
// (an about box's) at once, and ends the process by the signal itself when the clean end has
// not come soon enough. Must be called before any other thread starts.
void catchTerminationSignals();
bool terminationRequested();
// A descriptor that becomes readable when a termination signal came, for loops that wait on
// descriptors; -1 before catchTerminationSignals.
int terminationDescriptor();
// The end of the host: a process a signal asked to end ends by that signal once it has
// shut down cleanly, as hosts of screen savers expect; otherwise it returns `status`.
int endAsAsked(int status);
