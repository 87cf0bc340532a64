#pragma once
#include <memory>
#include <string>

#include "frames/JpegHeaderTable.h"
#include "host/SettingsStore.h"
#include "host/TickSource.h"
#include "host/UserPrompts.h"
#include "link/D2xxBackend.h"
#include "mainwindow/QuietTimer.h"
#include "recordings/PlaybackTimer.h"

namespace bf::ui {

// What the main window is built on. Everything is borrowed except the backend, which the
// window's link shares.
struct MainWindowServices {
  UserPrompts& prompts;
  SettingsStore& settings;
  std::shared_ptr<D2xxBackend> backend;
  TickSource& ticks;
  const JpegHeaderTable& headers;  // filled before the window exists
  PlaybackTimer& timer;            // paces playback; outlives the window
  std::string commandLine;         // recording to open at start-up; empty: none
  QuietTimerFactory quietTimers;   // for the sliders' end of a key move; empty: real timers
};

}  // namespace bf::ui
