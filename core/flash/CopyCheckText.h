#pragma once
#include <optional>
#include <string>

#include "flash/CopyPlan.h"
#include "flash/CopySession.h"

namespace bf {

// The window's "Проверить копию..." (main window's context menu).
inline constexpr const char* kVerifyCopyMenuText = "Проверить копию...";

// The comparison of a recording with the flash, from the record beside it. Nothing when there is
// no usable record; problem then holds the message for the person.
std::optional<CopyPlan> VerifyPlanFor(const std::string& recording, std::string* problem);

// The one box that ends a comparison: the copy matches, or which stretches of which file differ.
// Empty when nothing was compared (refused, failed, cancelled: the flow has said why).
std::string VerifyResultText(const CopySummary& summary);

}  // namespace bf
