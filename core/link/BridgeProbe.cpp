#include "link/BridgeProbe.h"

#include <optional>

#ifndef _WIN32
#include "link/FtdiDevices.h"
#include "link/FtdiSelection.h"
#endif

namespace bf {

std::function<bool()> MakeBridgeProbe(const std::string& selection) {
#ifdef _WIN32
  (void)selection;
  return {};
#else
  const std::string::size_type colon = selection.find(':');
  if (selection.substr(0, colon) != "ftdi") return {};
  const std::string options = colon == std::string::npos ? "" : selection.substr(colon + 1);
  std::optional<FtdiSelection> parsed = ParseFtdiSelection(options, nullptr);
  if (!parsed) return {};
  return [chosen = std::move(*parsed)] { return FtdiBridgePresent(chosen); };
#endif
}

}  // namespace bf
