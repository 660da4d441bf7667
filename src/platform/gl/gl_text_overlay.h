// Lines of text drawn over a finished frame, in the bottom-left corner of its picture (the
// frame rate of --fps): the text panel of text_panel.h in a texture of its own, blended
// over the frame texture before the frame goes to the screen. It changes the pixels of
// the frame that is shown and nothing else: the show never sees it.
// Depends on text_panel.h; OpenGL 3.3 core in the .cpp. Runs in whatever context is
// current; its GL objects belong to the context current at the first Draw, and the owner
// calls Release in that context (the destructor touches no GL).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/gl/text_panel.h"

namespace nb {

// Screen pixels per font pixel for a picture of this height: 1 up to 719 rows, then one
// more for every 360 (3 at 1080), so the text keeps about the same share of the picture.
uint32_t TextPanelScale(uint32_t pictureHeight);

// Where the panel goes in a picture of that height, scaled by TextPanelScale: its left
// column and top row, a margin of four font pixels from the left and bottom edges (it
// may reach past a picture too small for it).
struct PanelPlace {
  int32_t left = 0;
  int32_t top = 0;
  uint32_t width = 0;
  uint32_t height = 0;
};
PanelPlace TextPanelPlace(const TextPanel& panel, uint32_t pictureHeight);

class GlTextOverlay {
 public:
  GlTextOverlay() = default;
  GlTextOverlay(const GlTextOverlay&) = delete;
  GlTextOverlay& operator=(const GlTextOverlay&) = delete;

  // Draws the lines over texture (width x height, row 0 the top row of the picture; any
  // format a framebuffer takes), at TextPanelPlace. The panel is built and uploaded again
  // only when the lines change. False when the GL objects cannot be made or GL reports
  // an error; after the objects could not be made once, false at once until Release.
  bool Draw(uint32_t texture, uint32_t width, uint32_t height,
            const std::vector<std::string>& lines);
  // Whether it holds GL objects (Release has something to do).
  bool holdsObjects() const { return program_ != 0; }
  // Deletes the GL objects (in the current context).
  void Release();

 private:
  bool Build();

  uint32_t program_ = 0;
  uint32_t vertexArray_ = 0;
  uint32_t framebuffer_ = 0;
  uint32_t panelTexture_ = 0;
  bool buildFailed_ = false;
  std::vector<std::string> shown_;
  TextPanel panel_;
};

}  // namespace nb
