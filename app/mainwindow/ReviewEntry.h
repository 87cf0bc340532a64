#pragma once
#include <functional>
#include <string>

#include "frames/JpegHeaderTable.h"
#include "host/SettingsStore.h"
#include "host/UserPrompts.h"
#include "picture/CPicture.h"
#include "recordings/PlaybackTimer.h"

class QWidget;

namespace bf::ui {

// Where the review window takes its recording and picture turn from.
struct ReviewSource {
  std::function<std::string()> recordingPath;  // empty: none open; the review asks for one
  std::function<Rotation()> rotation;
};

// "Обзор записи..." (Ctrl+R) in the window's context menu: a review window on the recording the
// player group has open, or on one chosen in the review's own open dialog. Everything given is
// borrowed and must outlive the window; `timer` paces the review's playing. GUI thread only.
void AddReviewEntry(QWidget& window, UserPrompts& prompts, SettingsStore& settings,
                    const JpegHeaderTable& headers, PlaybackTimer& timer, ReviewSource source);

}  // namespace bf::ui
