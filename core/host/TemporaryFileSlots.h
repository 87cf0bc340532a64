#pragma once
#include <string>

namespace bf::detail {

// The temporaries of the replacing writers that are open right now, kept where a signal handler
// can reach them without allocating or locking. Register returns the slot, or -1 when every
// slot is taken (that temporary is then not removed by a signal). Any thread.
int RegisterTemporaryFile(const std::string& path);
void UnregisterTemporaryFile(int slot);

// Calls remove(path) for every registered temporary; remove must be async-signal-safe.
void ForEachTemporaryFile(void (*remove)(const char* path));

}  // namespace bf::detail
