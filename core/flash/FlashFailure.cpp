#include "flash/FlashFailure.h"

namespace bf {

std::string ReportAddressFailure(UserPrompts& prompts, const FlashAddressFailure& failure) {
  std::string last;
  if (!failure.Message().empty()) {
    prompts.ShowMessage(failure.Message(), "", MessageIcon::Error);
    last = failure.Message();
  }
  if (dynamic_cast<const GeneralFailure*>(&failure) != nullptr) {
    prompts.ShowMessage(kGeneralFailureText, "", kStandardReportIcon);
    last = kGeneralFailureText;
  }
  return last;
}

}  // namespace bf
