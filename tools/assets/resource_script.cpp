// The Windows resource script that binds the generated files into the saver,
// with the configuration dialog's template. windres reads it with the mingw-w64
// preprocessor, so the style names come from <windows.h>.
#include "generators.h"

namespace nb::assets {

std::string ResourceScript() {
    return R"(// Resources of the Nightbloom screensaver. Written by nightbloom-assets; edit the
// generator, not this file.
#include <windows.h>

101 ICON "icon101.ico"

400 BITMAP "picture400.bmp"
401 BITMAP "tex401.bmp"
402 BITMAP "tex402.bmp"
404 BITMAP "tex404.bmp"
405 BITMAP "tex405.bmp"
406 BITMAP "tex406.bmp"
407 BITMAP "tex407.bmp"

200 WAV "wave200.wav"
201 WAV "wave201.wav"
202 WAV "wave202.wav"
203 WAV "wave203.wav"
204 WAV "wave204.wav"
205 WAV "wave205.wav"

// The picture control sizes itself to bitmap 400; 101 x 73 units is that
// bitmap's footprint in this font, clear of the buttons and the group box.
151 DIALOGEX 100, 100, 169, 177
STYLE WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_ABSALIGN | DS_SETFONT
EXSTYLE WS_EX_TOOLWINDOW
CAPTION "Nightbloom Configuration"
FONT 8, "MS Sans Serif"
BEGIN
    CONTROL "OK", IDOK, "Button", BS_DEFPUSHBUTTON | WS_TABSTOP, 112, 7, 50, 14
    CONTROL "Cancel", IDCANCEL, "Button", BS_PUSHBUTTON | WS_TABSTOP, 112, 23, 50, 14
    CONTROL "Video Config", 1009, "Button", BS_PUSHBUTTON | WS_TABSTOP, 112, 39, 50, 41,
        WS_EX_STATICEDGE | WS_EX_DLGMODALFRAME
    CONTROL 400, -1, "Static", SS_BITMAP, 7, 7, 101, 73
    CONTROL "", 1010, "ComboBox", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 85, 91, 71, 47
    CONTROL "Options", -1, "Button", BS_GROUPBOX, 7, 82, 155, 88
    CONTROL "Number of Particles:", -1, "Static", SS_LEFT | WS_GROUP, 15, 93, 64, 8
    CONTROL "Amount of Smoke:", -1, "Static", SS_LEFT | WS_GROUP, 16, 111, 59, 8
    CONTROL "", 1012, "ComboBox", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 85, 108, 71, 40
    CONTROL "Use Sound", 1014, "Button", BS_AUTOCHECKBOX | WS_TABSTOP, 15, 127, 51, 10
    CONTROL "For best results, adjust the gamma on your 3D card so you can just barely see the unlit smoke left by the fireworks.",
        -1, "Static", SS_LEFT | WS_GROUP, 13, 141, 141, 25
END
)";
}

}  // namespace nb::assets
