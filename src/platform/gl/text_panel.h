// Short lines of text as a small picture, for what a show prints over itself (the frame
// rate): a 5 x 7 bitmap font of digits, capital letters (small ones are drawn as capitals)
// and a few signs, white on a dark, half-transparent panel. Characters without a glyph are
// drawn as blanks.
// Depends on the standard library only.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace nb {

inline constexpr uint32_t glyphWidth = 5;
inline constexpr uint32_t glyphHeight = 7;
// One character's cell: the glyph, a blank column after it, two blank rows below.
inline constexpr uint32_t cellWidth = glyphWidth + 1;
inline constexpr uint32_t cellHeight = glyphHeight + 2;
// Blank pixels around the text, inside the panel.
inline constexpr uint32_t panelPadding = 2;
// The panel's colours, RGBA: its ground, and the text.
inline constexpr std::array<uint8_t, 4> panelGround{0, 0, 0, 160};
inline constexpr std::array<uint8_t, 4> panelInk{255, 255, 255, 255};

// The glyph of a character: seven rows, top first, bit 4 the leftmost column. All zero for
// a blank or a character without a glyph.
std::array<uint8_t, glyphHeight> GlyphRows(char c);

struct TextPanel {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> rgba;  // width * height * 4 bytes, top row first
};

// The panel holding the lines, one under the other: as wide as the longest line, every
// pixel either the ground or the ink. Empty (0 x 0) for no lines.
TextPanel RenderTextPanel(const std::vector<std::string>& lines);

}  // namespace nb
