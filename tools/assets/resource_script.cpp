// The Windows resource script that binds the generated files into the saver, and
// the configuration dialog (151) written twice from one description: as the
// script's DIALOGEX statement for windres, and as the binary DLGTEMPLATE that the
// Linux program embeds. windres reads the script with the mingw-w64 preprocessor,
// so the style names there come from <windows.h>; the binary needs their values,
// which the table below gives.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "generators.h"

namespace nb::assets {
namespace {

struct StyleName {
    const char* name;
    uint32_t value;
};

// The platform's values of every name the dialog uses.
constexpr StyleName styleNames[] = {
    {"WS_POPUP", 0x80000000u},      {"WS_CHILD", 0x40000000u},     {"WS_VISIBLE", 0x10000000u},
    {"WS_CAPTION", 0x00C00000u},    {"WS_VSCROLL", 0x00200000u},   {"WS_SYSMENU", 0x00080000u},
    {"WS_GROUP", 0x00020000u},      {"WS_TABSTOP", 0x00010000u},   {"DS_ABSALIGN", 0x0001u},
    {"DS_SETFONT", 0x0040u},        {"DS_MODALFRAME", 0x0080u},    {"BS_PUSHBUTTON", 0x0000u},
    {"BS_DEFPUSHBUTTON", 0x0001u},  {"BS_AUTOCHECKBOX", 0x0003u},  {"BS_GROUPBOX", 0x0007u},
    {"CBS_DROPDOWNLIST", 0x0003u},  {"SS_LEFT", 0x0000u},          {"SS_BITMAP", 0x000Eu},
    {"WS_EX_DLGMODALFRAME", 0x1u},  {"WS_EX_TOOLWINDOW", 0x80u},   {"WS_EX_STATICEDGE", 0x20000u},
};

struct ControlModel {
    const char* text;       // null: the control shows bitmap `bitmap`
    uint16_t bitmap;
    const char* idName;     // as the script writes the id
    int16_t id;
    const char* className;  // as the script writes it; the binary uses the class atom
    uint16_t classAtom;
    const char* styles;     // " | "-separated names
    const char* exStyles;   // null when none
    int16_t x, y, cx, cy;
};

struct DialogModel {
    uint16_t id;
    int16_t x, y, cx, cy;
    const char* styles;
    const char* exStyles;
    const char* caption;
    uint16_t pointSize;
    const char* fontName;
    const char* comment;  // lines written above the statement
    std::vector<ControlModel> controls;
};

constexpr uint16_t buttonAtom = 0x0080;
constexpr uint16_t staticAtom = 0x0082;
constexpr uint16_t comboAtom = 0x0085;

const DialogModel& ConfigDialog() {
    static const DialogModel dialog{
        151, 100, 100, 169, 177,
        "WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_ABSALIGN | DS_SETFONT",
        "WS_EX_TOOLWINDOW",
        "Nightbloom Configuration", 8, "MS Sans Serif",
        "// The picture control sizes itself to bitmap 400; 101 x 73 units is that\n"
        "// bitmap's footprint in this font, clear of the buttons and the group box.\n",
        {
            {"OK", 0, "IDOK", 1, "Button", buttonAtom, "BS_DEFPUSHBUTTON | WS_TABSTOP", nullptr, 112, 7, 50, 14},
            {"Cancel", 0, "IDCANCEL", 2, "Button", buttonAtom, "BS_PUSHBUTTON | WS_TABSTOP", nullptr, 112, 23, 50, 14},
            {"Video Config", 0, "1009", 1009, "Button", buttonAtom, "BS_PUSHBUTTON | WS_TABSTOP",
             "WS_EX_STATICEDGE | WS_EX_DLGMODALFRAME", 112, 39, 50, 41},
            {nullptr, 400, "-1", -1, "Static", staticAtom, "SS_BITMAP", nullptr, 7, 7, 101, 73},
            {"", 0, "1010", 1010, "ComboBox", comboAtom, "CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP", nullptr,
             85, 91, 71, 47},
            {"Options", 0, "-1", -1, "Button", buttonAtom, "BS_GROUPBOX", nullptr, 7, 82, 155, 88},
            {"Number of Particles:", 0, "-1", -1, "Static", staticAtom, "SS_LEFT | WS_GROUP", nullptr, 15, 93, 64, 8},
            {"Amount of Smoke:", 0, "-1", -1, "Static", staticAtom, "SS_LEFT | WS_GROUP", nullptr, 16, 111, 59, 8},
            {"", 0, "1012", 1012, "ComboBox", comboAtom, "CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP", nullptr,
             85, 108, 71, 40},
            {"Use Sound", 0, "1014", 1014, "Button", buttonAtom, "BS_AUTOCHECKBOX | WS_TABSTOP", nullptr,
             15, 127, 51, 10},
            {"For best results, adjust the gamma on your 3D card so you can just barely see the unlit "
             "smoke left by the fireworks.",
             0, "-1", -1, "Static", staticAtom, "SS_LEFT | WS_GROUP", nullptr, 13, 141, 141, 25},
        }};
    return dialog;
}

// The value of a " | "-separated list of names. A name missing from the table is a
// fault of this generator, so it stops rather than write a wrong template.
uint32_t StyleValue(const std::string& names) {
    uint32_t value = 0;
    size_t start = 0;
    while (start <= names.size()) {
        size_t end = names.find(" | ", start);
        if (end == std::string::npos) end = names.size();
        const std::string name = names.substr(start, end - start);
        bool found = false;
        for (const StyleName& entry : styleNames) {
            if (name == entry.name) {
                value |= entry.value;
                found = true;
            }
        }
        if (!found) {
            std::fprintf(stderr, "nightbloom-assets: unknown style name '%s'\n", name.c_str());
            std::abort();
        }
        start = end + 3;
    }
    return value;
}

// Appends texts one after the other (chains of operator+ on strings trip a false
// -Wrestrict warning of g++ 12 in optimised cross builds).
template <class... Parts>
void Add(std::string& out, const Parts&... parts) {
    (out.append(parts), ...);
}

std::string DialogStatement(const DialogModel& dialog) {
    using std::to_string;
    std::string out = dialog.comment;
    Add(out, to_string(dialog.id), " DIALOGEX ", to_string(dialog.x), ", ", to_string(dialog.y), ", ",
        to_string(dialog.cx), ", ", to_string(dialog.cy), "\n");
    Add(out, "STYLE ", dialog.styles, "\n");
    Add(out, "EXSTYLE ", dialog.exStyles, "\n");
    Add(out, "CAPTION \"", dialog.caption, "\"\n");
    Add(out, "FONT ", to_string(dialog.pointSize), ", \"", dialog.fontName, "\"\n");
    Add(out, "BEGIN\n");
    for (const ControlModel& control : dialog.controls) {
        std::string text;
        if (control.text) {
            Add(text, "\"", control.text, "\"");
        } else {
            text = to_string(control.bitmap);
        }
        // A long text keeps the rest of the statement on its own line.
        Add(out, "    CONTROL ", text, ",", text.size() > 60 ? "\n        " : " ");
        Add(out, control.idName, ", \"", control.className, "\", ", control.styles, ", ", to_string(control.x), ", ",
            to_string(control.y), ", ", to_string(control.cx), ", ", to_string(control.cy));
        if (control.exStyles) Add(out, ",\n        ", control.exStyles);
        Add(out, "\n");
    }
    Add(out, "END\n");
    return out;
}

class Writer {
 public:
    void Word(uint16_t value) {
        bytes.push_back(static_cast<uint8_t>(value));
        bytes.push_back(static_cast<uint8_t>(value >> 8));
    }
    void Dword(uint32_t value) {
        Word(static_cast<uint16_t>(value));
        Word(static_cast<uint16_t>(value >> 16));
    }
    // Every text of the dialog is ASCII: one UTF-16 unit per character.
    void Text(const char* text) {
        for (const char* c = text; *c; ++c) Word(static_cast<uint8_t>(*c));
        Word(0);
    }
    void AlignDword() {
        while (bytes.size() % 4 != 0) bytes.push_back(0);
    }
    std::vector<uint8_t> bytes;
};

}  // namespace

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

)" + DialogStatement(ConfigDialog());
}

// What the resource compiler makes of the statement, as a plain DLGTEMPLATE: every
// control gets WS_CHILD | WS_VISIBLE as a CONTROL statement does, the font's presence
// is DS_SETFONT, predefined classes are written as atoms and a bitmap as an ordinal.
std::vector<uint8_t> Dialog151Template() {
    const DialogModel& dialog = ConfigDialog();
    Writer out;
    out.Dword(StyleValue(dialog.styles));
    out.Dword(StyleValue(dialog.exStyles));
    out.Word(static_cast<uint16_t>(dialog.controls.size()));
    out.Word(static_cast<uint16_t>(dialog.x));
    out.Word(static_cast<uint16_t>(dialog.y));
    out.Word(static_cast<uint16_t>(dialog.cx));
    out.Word(static_cast<uint16_t>(dialog.cy));
    out.Word(0);  // no menu
    out.Word(0);  // the standard dialog class
    out.Text(dialog.caption);
    out.Word(dialog.pointSize);
    out.Text(dialog.fontName);
    for (const ControlModel& control : dialog.controls) {
        out.AlignDword();
        std::string styles = "WS_CHILD | WS_VISIBLE | ";
        styles += control.styles;
        out.Dword(StyleValue(styles));
        out.Dword(control.exStyles ? StyleValue(control.exStyles) : 0);
        out.Word(static_cast<uint16_t>(control.x));
        out.Word(static_cast<uint16_t>(control.y));
        out.Word(static_cast<uint16_t>(control.cx));
        out.Word(static_cast<uint16_t>(control.cy));
        out.Word(static_cast<uint16_t>(control.id));
        out.Word(0xFFFF);
        out.Word(control.classAtom);
        if (control.text) {
            out.Text(control.text);
        } else {
            out.Word(0xFFFF);
            out.Word(control.bitmap);
        }
        out.Word(0);  // no creation data
    }
    return out.bytes;
}

}  // namespace nb::assets
