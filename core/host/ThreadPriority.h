#pragma once

namespace bf {

// Lowers the calling thread's scheduling priority, for a thread that works behind another one
// (writing and hashing what a copy received): it then runs while the copy waits for the link and
// does not take the processor from the thread that sends the next request. Best effort: a
// refusal leaves the priority as it was. Call on the thread itself.
void LowerThisThreadPriority();

}  // namespace bf
