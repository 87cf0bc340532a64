#pragma once
#include <functional>
#include <string>

namespace bf {

// The "is a bridge there" question for the backend a selection names (see BackendRegistry.h),
// for the plug watch of the main window. Only the libftdi backend sees plugging; every other
// selection (the in-process simulated camera, the vendor library, a name that is not known)
// gives an empty function, and nothing is watched. Any thread; the probe itself opens nothing.
std::function<bool()> MakeBridgeProbe(const std::string& selection);

}  // namespace bf
