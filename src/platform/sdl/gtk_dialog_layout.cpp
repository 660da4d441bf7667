// Dialog units to pixels and controls to widget kinds, as the platform's dialog manager
// would lay the template out with the same font.
#include "platform/sdl/gtk_dialog_layout.h"

#include <cstdio>
#include <cstdlib>

#include "platform/result.h"
#include "platform/window.h"

namespace nb {

namespace {

constexpr uint32_t WS_DISABLED = 0x08000000;
constexpr uint32_t BS_CHECKBOX = 0x0002;
constexpr uint32_t BS_TYPEMASK = 0x000F;
constexpr uint32_t SS_CENTER = 0x0001;
constexpr uint32_t SS_RIGHT = 0x0002;
constexpr uint32_t SS_SIMPLE = 0x000B;
constexpr uint32_t SS_LEFTNOWORDWRAP = 0x000C;
constexpr uint32_t SS_TYPEMASK = 0x001F;
constexpr uint32_t CBS_TYPEMASK = 0x0003;
constexpr uint32_t CBS_SORT = 0x0100;

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

bool ButtonKind(uint32_t style, ControlKind* kind) {
  switch (style & BS_TYPEMASK) {
    case BS_PUSHBUTTON: *kind = ControlKind::PushButton; return true;
    case BS_DEFPUSHBUTTON: *kind = ControlKind::DefaultPushButton; return true;
    case BS_CHECKBOX: *kind = ControlKind::CheckBox; return true;
    case BS_AUTOCHECKBOX: *kind = ControlKind::AutoCheckBox; return true;
    case BS_GROUPBOX: *kind = ControlKind::GroupBox; return true;
    default: return false;
  }
}

bool StaticKind(const DialogItemTemplate& item, GtkControlLayout* control) {
  switch (item.style & SS_TYPEMASK) {
    case SS_LEFT:
    case SS_SIMPLE:
    case SS_LEFTNOWORDWRAP: control->xAlign = 0.0f; break;
    case SS_CENTER: control->xAlign = 0.5f; break;
    case SS_RIGHT: control->xAlign = 1.0f; break;
    case SS_BITMAP:
      if (item.textOrdinal == 0) return false;  // a bitmap named by text is not a resource id here
      control->kind = ControlKind::Picture;
      control->bitmap = item.textOrdinal;
      return true;
    default: return false;
  }
  control->kind = ControlKind::Text;
  return true;
}

}  // namespace

int32_t MulDiv(int32_t value, int32_t numerator, int32_t denominator) {
  if (denominator == 0) return -1;
  const int64_t product = static_cast<int64_t>(value) * numerator;
  const int64_t half = std::llabs(denominator) / 2;
  const bool negative = (product < 0) != (denominator < 0);
  const int64_t magnitude = (std::llabs(product) + half) / std::llabs(denominator);
  return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

int32_t AverageCharWidth(int32_t widthOfAllLetters) { return (widthOfAllLetters + 26) / 52; }

DialogFont MapDialogFont(const std::string& faceName, uint16_t pointSize) {
  // Liberation Sans and Arimo share Arial's metrics, which are close to those of the
  // sans serif faces that dialog templates name, so texts fit their rectangles.
  static const char* const sansFaces[] = {"ms sans serif", "ms shell dlg", "ms shell dlg 2", "microsoft sans serif",
                                          "arial", "tahoma", "helvetica", "system"};
  static const std::string metricSans = "Liberation Sans, Arimo, Arial, DejaVu Sans, Sans";
  DialogFont font;
  font.points = pointSize > 0 ? pointSize : 8;
  const std::string face = Lower(faceName);
  for (const char* known : sansFaces) {
    if (face == known) {
      font.families = metricSans;
      return font;
    }
  }
  font.families = faceName.empty() ? metricSans : faceName + ", " + metricSans;
  return font;
}

std::string MnemonicText(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '_') {
      out += "__";
    } else if (text[i] == '&' && i + 1 < text.size()) {
      out += text[i + 1] == '&' ? '&' : '_';
      if (text[i + 1] == '&') ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string PlainText(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&' && i + 1 < text.size()) ++i;
    out += text[i];
  }
  return out;
}

int32_t DropDownHeight(DialogBaseUnits base) { return base.y + 8; }

int32_t LayoutDialog(const DialogTemplate& dialog, DialogBaseUnits base, const BitmapSizeLookup& bitmapSize,
                     GtkDialogLayout* out, std::string* error) {
  auto fail = [error](const std::string& why) {
    if (error) *error = why;
    return E_INVALIDARG;
  };
  if (!out) return E_INVALIDARG;
  if (base.x <= 0 || base.y <= 0) return fail("the dialog font has no size");
  if (!dialog.className.empty()) return fail("dialog class \"" + dialog.className + "\" is not supported");

  GtkDialogLayout layout;
  layout.title = dialog.title;
  layout.font = MapDialogFont(dialog.style & DS_SETFONT ? dialog.fontName : std::string(),
                              dialog.style & DS_SETFONT ? dialog.pointSize : 0);
  layout.base = base;
  layout.placement = dialog.style & DS_CENTER     ? DialogPlacement::Centered
                     : dialog.style & DS_ABSALIGN ? DialogPlacement::Screen
                                                  : DialogPlacement::OwnerRelative;
  layout.x = MulDiv(dialog.x, base.x, 4);
  layout.y = MulDiv(dialog.y, base.y, 8);
  layout.width = MulDiv(dialog.cx, base.x, 4);
  layout.height = MulDiv(dialog.cy, base.y, 8);
  layout.closeBox = (dialog.style & WS_SYSMENU) != 0;

  bool haveDefault = false;
  for (size_t i = 0; i < dialog.items.size(); ++i) {
    const DialogItemTemplate& item = dialog.items[i];
    GtkControlLayout control;
    control.id = static_cast<int16_t>(item.id);
    control.text = item.text;
    control.x = MulDiv(item.x, base.x, 4);
    control.y = MulDiv(item.y, base.y, 8);
    control.width = MulDiv(item.cx, base.x, 4);
    control.height = MulDiv(item.cy, base.y, 8);
    control.visible = (item.style & WS_VISIBLE) != 0;
    control.enabled = (item.style & WS_DISABLED) == 0;
    control.tabStop = (item.style & WS_TABSTOP) != 0;

    const std::string where = "control " + std::to_string(i + 1) + " (id " + std::to_string(control.id) + ")";
    bool known = false;
    if (item.className == "BUTTON") {
      known = ButtonKind(item.style, &control.kind);
    } else if (item.className == "STATIC") {
      known = StaticKind(item, &control);
    } else if (item.className == "COMBOBOX") {
      known = (item.style & CBS_TYPEMASK) == CBS_DROPDOWNLIST;
      control.kind = ControlKind::DropDownList;
    }
    if (!known) {
      char style[16];
      std::snprintf(style, sizeof style, "0x%08X", static_cast<unsigned>(item.style));
      return fail(where + ": class \"" + item.className + "\" with style " + style + " is not supported");
    }

    switch (control.kind) {
      case ControlKind::DropDownList:
        control.sorted = (item.style & CBS_SORT) != 0;
        control.listHeight = control.height;
        control.height = DropDownHeight(base);
        break;
      case ControlKind::Picture: {
        int32_t width = 0, height = 0;
        if (bitmapSize && bitmapSize(control.bitmap, &width, &height) && width > 0 && height > 0) {
          control.width = width;
          control.height = height;
        }
        break;
      }
      case ControlKind::Text:
        control.wrap = (item.style & SS_TYPEMASK) != SS_SIMPLE && (item.style & SS_TYPEMASK) != SS_LEFTNOWORDWRAP &&
                       control.height >= 2 * base.y;
        break;
      case ControlKind::DefaultPushButton:
        if (!haveDefault) layout.defaultId = control.id;
        haveDefault = true;
        break;
      default:
        break;
    }
    layout.controls.push_back(std::move(control));
  }
  *out = std::move(layout);
  return S_OK;
}

}  // namespace nb
