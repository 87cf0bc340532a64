#include "flash/CopyCheckText.h"

#include "flash/CopyRecord.h"
#include "flash/CopyRecordCheck.h"

namespace bf {

namespace {

// A box lists this many stretches; the rest are counted.
constexpr std::size_t kStretchesShown = 12;

}  // namespace

std::optional<CopyPlan> VerifyPlanFor(const std::string& recording, std::string* problem) {
  const std::string recordPath = CopyRecordPath(recording);
  std::string error;
  const std::optional<JsonValue> record = ReadCopyRecord(recordPath, &error);
  std::optional<CopyPlan> plan;
  if (record) plan = CopyPlanFromRecord(recordPath, *record, CopyPlanMode::Verify, &error);
  if (!plan && problem != nullptr) {
    *problem = "Копию нельзя проверить: у файла " + recording +
               " нет пригодной записи о копировании " + recordPath + " (" + error + ").";
  }
  return plan;
}

std::string VerifyResultText(const CopySummary& s) {
  if (!s.comparedWhole) return {};
  uint64_t bytes = 0;
  for (const ComparedFile& f : s.compared) bytes += f.compared;
  if (s.copyMatches) {
    return "Копия проверена: все " + std::to_string(bytes) +
           " байт совпадают с флеш-памятью камеры.";
  }
  std::string text = "Копия не совпадает с флеш-памятью камеры.";
  for (const ComparedFile& f : s.compared) {
    if (f.stretches.empty()) continue;
    text += "\nФайл " + (f.exists ? f.path : std::string("(нет в копии)")) + ", отличаются " +
            std::to_string(f.differingBytes) + " байт:";
    for (std::size_t i = 0; i < f.stretches.size() && i < kStretchesShown; ++i) {
      text += "\n  смещение " + std::to_string(f.stretches[i].offset) + ", " +
              std::to_string(f.stretches[i].length) + " байт";
    }
    if (f.stretches.size() > kStretchesShown || f.tooManyStretches) {
      text += "\n  и другие участки";
    }
  }
  return text;
}

}  // namespace bf
