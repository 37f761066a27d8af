// A request, from outside the engine's work, that changes end early: a
// signal, a console event or the end of the session asks for it, and every
// change in progress ends at its next group boundary with the files
// consistent for any reader, failing with kStopped. Deletions already
// written stay; nothing is left half done.
//
// The request is one process-wide flag. Setting and reading it are
// lock-free, so a signal handler or another thread may set it.
#pragma once

namespace paradox {

// Asks every change of this process to stop at its next group boundary.
// Safe to call from a signal handler and from any thread.
void RequestStop();
// Withdraws the request (the session did not end after all).
void ClearStopRequest();
bool StopRequested();

}  // namespace paradox
