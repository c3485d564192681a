#pragma once

// Settings of the whole process that protect the passwords it holds.
namespace hushnote {

// Turns core dumps off for this process: a dump would write the passwords and
// messages in memory to a file. Also keeps other processes of the same user
// from reading its memory through /proc. Call it first thing in main.
void DisableCoreDumps();

} // namespace hushnote
