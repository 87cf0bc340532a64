#include "shell/BackendChoice.h"

#include "link/BackendRegistry.h"
#include "sim/AllDrivers.h"

namespace bf::ui {

std::shared_ptr<D2xxBackend> ChooseBackend(const std::string& selection, TickSource& ticks,
                                           UserPrompts& prompts) {
  std::string error;
  std::string traceWarning;
  std::shared_ptr<D2xxBackend> backend =
      CreateBackend(selection, AllDrivers(), ticks, &error, &traceWarning);
  // A trace that cannot be written is no reason not to start: say so and go on untraced.
  if (!traceWarning.empty()) {
    prompts.ShowMessage(traceWarning, "", MessageIcon::Warning, MessageButtons::Ok);
  }
  if (!backend) {
    prompts.ShowMessage(std::string(kBackendEnvironmentVariable) + ": " + error, "",
                        MessageIcon::Warning, MessageButtons::Ok);
    return MakeFailingBackend(ftstatus::kDeviceNotFound, error);
  }
  // The status texts are fixed; a reason known before the first call (such as a vendor library
  // that could not be loaded) would otherwise hide behind "Устройство не найдено".
  if (const std::string reason = backend->LastError(); !reason.empty()) {
    prompts.ShowMessage(std::string(kBackendEnvironmentVariable) + ": " + reason, "",
                        MessageIcon::Warning, MessageButtons::Ok);
  }
  return backend;
}

}  // namespace bf::ui
