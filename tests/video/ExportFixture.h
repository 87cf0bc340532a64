#pragma once
#include <gtest/gtest.h>

#include <string>

#include "../recordings/RecordingFixture.h"
#include "VideoFixture.h"
#include "recordings/video/VideoExport.h"

namespace bf::test {

// Video exports of a recording of simulated-camera pictures, in a folder of their own.
class VideoExportFixture : public ::testing::Test {
 protected:
  // Writes the camera's recording as it now stands into the folder and opens it.
  Recording Open() {
    Recording r;
    EXPECT_EQ(r.Open(dir.Write("r.bfk", camera.Bytes())), Recording::OpenStatus::Opened);
    return r;
  }
  // Exports it into the folder as `name`, in the container the name's extension gives.
  ExportOutcome Export(const std::string& name, VideoExportOptions options = {}) {
    Recording recording = Open();
    options.output = dir.File(name);
    options.container = *ContainerForPath(name);
    return ExportVideo(recording, camera.Table(), options, progress);
  }

  TempDir dir;
  CameraRecording camera;
  ExportProgress progress;
};

}  // namespace bf::test
