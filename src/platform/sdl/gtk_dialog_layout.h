// How a dialog template becomes a GTK dialog, decided without GTK: the platform's
// dialog-unit arithmetic (base units of the dialog's font, MulDiv rounding), the font a
// Windows dialog font maps to, the kind of widget each control becomes and its rectangle
// in client pixels, and where the dialog goes on the screen.
// Depends on dialog_template.h and dialog.h; includes no GTK header, so that all of it is
// testable without a display.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/dialog.h"
#include "platform/dialog_template.h"

namespace nb {

// Pixels per 4 horizontal and per 8 vertical dialog units: the average width of the
// dialog font's letters and the height of its characters, as the platform measures them.
struct DialogBaseUnits {
  int32_t x = 0;
  int32_t y = 0;
};

// value * numerator / denominator, rounded half away from zero, as the platform's
// MulDiv; -1 when denominator is 0.
int32_t MulDiv(int32_t value, int32_t numerator, int32_t denominator);

// The platform's rounding of the average letter width: (width of "A..Za..z" + 26) / 52.
int32_t AverageCharWidth(int32_t widthOfAllLetters);

// The font a dialog is drawn with: a Pango family list and a size in points.
struct DialogFont {
  std::string families;  // comma-separated, the first installed one wins
  int32_t points = 0;
};

// The fonts of Windows dialogs are not on Linux; those the templates name map to a
// metric-compatible sans serif of the same point size, anything else to its own name
// with sans serif as the fallback. Without DS_SETFONT (or a size of 0), 8 points.
DialogFont MapDialogFont(const std::string& faceName, uint16_t pointSize);

enum class ControlKind {
  PushButton,
  DefaultPushButton,  // the one Enter presses when the focus is not on a push button
  CheckBox,           // BS_CHECKBOX: the procedure sets its state
  AutoCheckBox,       // BS_AUTOCHECKBOX: a click flips it
  GroupBox,
  Text,
  Picture,            // SS_BITMAP with a bitmap resource
  DropDownList,       // CBS_DROPDOWNLIST
};

struct GtkControlLayout {
  ControlKind kind = ControlKind::Text;
  int32_t id = 0;       // 0xFFFF of static controls reads as -1, as the platform's
  std::string text;     // UTF-8
  uint16_t bitmap = 0;  // Picture: the bitmap resource
  // Client pixels. A drop-down list's height is that of its closed box; listHeight is
  // what the template gave for the box with its open list.
  int32_t x = 0, y = 0, width = 0, height = 0;
  int32_t listHeight = 0;
  bool visible = true;
  bool enabled = true;
  bool tabStop = false;
  bool sorted = false;      // CBS_SORT
  bool wrap = false;        // Text: more than one line fits, so words wrap as on the platform
  float xAlign = 0.0f;      // Text: SS_LEFT 0, SS_CENTER 0.5, SS_RIGHT 1
};

enum class DialogPlacement {
  OwnerRelative,  // x, y from the owner's client origin (the screen's without an owner)
  Screen,         // DS_ABSALIGN: x, y are screen coordinates
  Centered,       // DS_CENTER
};

struct GtkDialogLayout {
  std::string title;
  DialogFont font;
  DialogBaseUnits base;
  DialogPlacement placement = DialogPlacement::OwnerRelative;
  int32_t x = 0, y = 0;           // pixels
  int32_t width = 0, height = 0;  // client area, pixels
  bool closeBox = false;          // WS_SYSMENU
  int32_t defaultId = IDOK;       // the default push button's id, IDOK without one
  std::vector<GtkControlLayout> controls;  // template order, which is also the tab order
};

// The size of bitmap resource id in pixels; false when there is no such bitmap.
using BitmapSizeLookup = std::function<bool(uint16_t id, int32_t* width, int32_t* height)>;

// A control text's access keys in GTK's notation: "&x" marks x ("_x"), "&&" is a plain
// '&', and an underscore stays one ("__").
std::string MnemonicText(const std::string& text);
// The text as shown where no access key can be marked: the markers dropped.
std::string PlainText(const std::string& text);

// The closed height of a drop-down list: one line of the font and the box around it.
int32_t DropDownHeight(DialogBaseUnits base);

// Lays dialog out with the base units of its font. A picture takes its bitmap's size,
// as SS_BITMAP does (the template's size when the bitmap is missing). Returns S_OK, or
// E_INVALIDARG for a control this adapter cannot show (a class or style other than push
// buttons, check boxes, group boxes, texts, pictures and drop-down lists), for a
// non-positive base unit, or for a dialog class of its own; *error then says which.
int32_t LayoutDialog(const DialogTemplate& dialog, DialogBaseUnits base, const BitmapSizeLookup& bitmapSize,
                     GtkDialogLayout* out, std::string* error);

}  // namespace nb
