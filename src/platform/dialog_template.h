// Reading of an in-memory dialog template (DLGTEMPLATE followed by its DLGITEMTEMPLATEs,
// the layout DialogBoxIndirectParamA takes): the dialog's styles, geometry in dialog
// units, caption and font, and every item with its class, text, id and styles. Used by
// adapters without a native dialog manager (GTK) and by the fake dialogs; platform
// neutral, it depends on result.h and the standard library only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace nb {

struct DialogItemTemplate {
  uint32_t style = 0;
  uint32_t exStyle = 0;
  int16_t x = 0, y = 0, cx = 0, cy = 0;
  uint16_t id = 0;
  std::string className;  // "BUTTON", "EDIT", "STATIC", "LISTBOX", "SCROLLBAR", "COMBOBOX" or as written
  std::string text;       // empty when the text is an ordinal
  uint16_t textOrdinal = 0;  // a resource id given instead of a text (an SS_BITMAP's bitmap)
};

struct DialogTemplate {
  uint32_t style = 0;
  uint32_t exStyle = 0;
  int16_t x = 0, y = 0, cx = 0, cy = 0;
  std::string className;  // empty: the standard dialog class
  std::string title;
  uint16_t pointSize = 0;  // with DS_SETFONT
  std::string fontName;
  std::vector<DialogItemTemplate> items;
};

// Reads a DLGTEMPLATE of size bytes (texts in UTF-16, items on 4-byte boundaries from the
// start of the template). Returns S_OK, or E_INVALIDARG for a null or truncated template,
// an extended (DLGTEMPLATEEX) template, a menu, or a text that is not terminated within
// the buffer; *out is then left untouched. Texts are converted to UTF-8.
int32_t ParseDialogTemplate(const uint8_t* bytes, size_t size, DialogTemplate* out);

}  // namespace nb
