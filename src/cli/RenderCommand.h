// kinovela-cli render: frames of a scene drawn by the Direct3D preview on
// the software device, written as PNG pictures, without a display.
#pragma once

#include <string>
#include <vector>

namespace kinovela::cli {

struct RenderOptions {
    std::string scene;
    std::string out;  // OUT.png; a range writes OUT-0000.png, OUT-0001.png, ...
    int first = 0, last = 0;
    bool range = false;  // --frames A-B (even when A equals B)
    int width = 640, height = 480;
    bool cameraReset = false;
    std::vector<std::string> textureFolders;
    int threads = 0;  // the device's threads, 0 for one per processor
};

// Reads the words after "render"; returns what is wrong with them, or an
// empty text.
std::string ParseRenderArgs(const std::vector<std::string>& args, RenderOptions& options);

// The picture of the `index`-th frame of a range: "out.png" gives
// "out-0000.png" for index 0.
std::string FramePictureName(const std::string& out, int index);

// Renders and writes the pictures; returns the exit status (0, 1 when a
// file cannot be read or written, 2 when the frames lie outside the scene).
int RunRender(const RenderOptions& options);

}  // namespace kinovela::cli
