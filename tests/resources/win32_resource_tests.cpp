// The resource script as Windows sees it: this test program links
// resources/nightbloom.rc, and the loader must find every resource in it, with
// the same bytes as the embedded copies, and the dialog template must hold the
// configuration dialog's exact layout, the same as the embedded template that the
// Linux program shows. Windows builds only (run under Wine).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/dialog_template.h"
#include "resources/embedded.h"

namespace nb {
namespace {

HMODULE Self() { return GetModuleHandleA(nullptr); }

TEST(Win32Resources, WavesAreFoundWithTheEmbeddedBytes) {
    for (int id = 200; id <= 205; ++id) {
        SCOPED_TRACE(id);
        HRSRC info = FindResourceA(Self(), MAKEINTRESOURCEA(id), "WAV");
        ASSERT_NE(info, nullptr);
        HGLOBAL handle = LoadResource(Self(), info);
        ASSERT_NE(handle, nullptr);
        const void* bytes = LockResource(handle);
        ASSERT_NE(bytes, nullptr);
        const EmbeddedResource* embedded = FindEmbeddedResource("WAV", id);
        ASSERT_NE(embedded, nullptr);
        ASSERT_EQ(SizeofResource(Self(), info), embedded->size);
        EXPECT_EQ(std::memcmp(bytes, embedded->data, embedded->size), 0);
    }
}

TEST(Win32Resources, BitmapsLoadWithTheirSizes) {
    HBITMAP picture = LoadBitmapA(Self(), MAKEINTRESOURCEA(400));
    ASSERT_NE(picture, nullptr);
    BITMAP info{};
    ASSERT_NE(GetObjectA(picture, sizeof info, &info), 0);
    EXPECT_EQ(info.bmWidth, 152);
    EXPECT_EQ(info.bmHeight, 118);
    DeleteObject(picture);

    // The textures are loaded as DIB sections, as the texture manager does.
    const int ids[] = {401, 402, 404, 405, 406, 407};
    const int sides[] = {8, 32, 16, 32, 16, 16};
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(ids[i]);
        HANDLE image = LoadImageA(Self(), MAKEINTRESOURCEA(ids[i]), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
        ASSERT_NE(image, nullptr);
        DIBSECTION dib{};
        ASSERT_EQ(GetObjectA(image, sizeof dib, &dib), static_cast<int>(sizeof dib));
        EXPECT_EQ(dib.dsBm.bmWidth, sides[i]);
        EXPECT_EQ(dib.dsBm.bmHeight, sides[i]);
        EXPECT_EQ(dib.dsBm.bmBitsPixel, 24);
        DeleteObject(image);
    }
}

TEST(Win32Resources, IconLoads) {
    HICON icon = LoadIconA(Self(), MAKEINTRESOURCEA(101));
    ASSERT_NE(icon, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP mask{};
    ASSERT_NE(GetObjectA(info.hbmMask, sizeof mask, &mask), 0);
    EXPECT_EQ(mask.bmWidth, GetSystemMetrics(SM_CXICON));
    if (info.hbmColor) DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);

    HANDLE small = LoadImageA(Self(), MAKEINTRESOURCEA(101), IMAGE_ICON, 16, 16, 0);
    EXPECT_NE(small, nullptr);
    if (small) DestroyIcon(static_cast<HICON>(small));
}

std::string Ordinal(uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "#%u", static_cast<unsigned>(value));
    return text;
}

// Reader over a DLGTEMPLATEEX, whose layout has no declaration in the headers.
struct TemplateReader {
    const uint8_t* p;
    const uint8_t* end;
    bool ok = true;
    uint16_t Word() {
        if (end - p < 2) {
            ok = false;
            return 0;
        }
        const uint16_t v = static_cast<uint16_t>(p[0] | (p[1] << 8));
        p += 2;
        return v;
    }
    uint32_t Dword() {
        const uint32_t lo = Word();
        return lo | (static_cast<uint32_t>(Word()) << 16);
    }
    int16_t Short() { return static_cast<int16_t>(Word()); }
    // A name or ordinal field: 0, 0xFFFF + ordinal, or a zero-ended UTF-16 string.
    std::string NameOrOrdinal() {
        const uint16_t first = Word();
        if (first == 0) return "";
        if (first == 0xFFFF) return Ordinal(Word());
        std::string s(1, static_cast<char>(first));
        for (uint16_t c = Word(); ok && c != 0; c = Word()) s += static_cast<char>(c);
        return s;
    }
    void AlignDword(const uint8_t* base) {
        while (((p - base) & 3) != 0 && p < end) ++p;
    }
};

std::string ClassName(const std::string& field) {
    // Windows' predefined control classes stored as ordinals 0x80..0x85.
    static const char* const predefined[] = {"button", "edit", "static", "listbox", "scrollbar", "combobox"};
    for (int i = 0; i < 6; ++i) {
        if (field == Ordinal(static_cast<uint16_t>(0x80 + i))) return predefined[i];
    }
    std::string lower;
    for (char c : field) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return lower;
}

TEST(Win32Resources, ConfigurationDialogTemplateIsExact) {
    HRSRC info = FindResourceA(Self(), MAKEINTRESOURCEA(151), MAKEINTRESOURCEA(5));  // RT_DIALOG
    ASSERT_NE(info, nullptr);
    const uint8_t* base = static_cast<const uint8_t*>(LockResource(LoadResource(Self(), info)));
    ASSERT_NE(base, nullptr);
    TemplateReader r{base, base + SizeofResource(Self(), info)};

    EXPECT_EQ(r.Word(), 1u);       // dlgVer
    EXPECT_EQ(r.Word(), 0xFFFFu);  // signature of the extended template
    r.Dword();                     // help id
    EXPECT_EQ(r.Dword(), static_cast<uint32_t>(WS_EX_TOOLWINDOW));
    EXPECT_EQ(r.Dword(), static_cast<uint32_t>(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_ABSALIGN |
                                               DS_SETFONT));
    const uint16_t count = r.Word();
    EXPECT_EQ(r.Short(), 100);
    EXPECT_EQ(r.Short(), 100);
    EXPECT_EQ(r.Short(), 169);
    EXPECT_EQ(r.Short(), 177);
    EXPECT_EQ(r.NameOrOrdinal(), "");  // no menu
    EXPECT_EQ(r.NameOrOrdinal(), "");  // the standard dialog class
    EXPECT_EQ(r.NameOrOrdinal(), "Nightbloom Configuration");
    EXPECT_EQ(r.Word(), 8u);  // point size
    r.Word();                 // weight
    r.Word();                 // italic and character set
    EXPECT_EQ(r.NameOrOrdinal(), "MS Sans Serif");

    struct Control {
        int id;
        const char* cls;
        const char* text;
        uint32_t style;
        uint32_t exStyle;
        int x, y, cx, cy;
    };
    const uint32_t child = WS_CHILD | WS_VISIBLE;
    const uint32_t combo = child | CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
    const Control expected[] = {
        {IDOK, "button", "OK", child | BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 112, 7, 50, 14},
        {IDCANCEL, "button", "Cancel", child | BS_PUSHBUTTON | WS_TABSTOP, 0, 112, 23, 50, 14},
        {1009, "button", "Video Config", child | BS_PUSHBUTTON | WS_TABSTOP, WS_EX_STATICEDGE | WS_EX_DLGMODALFRAME,
         112, 39, 50, 41},
        {-1, "static", "#400", child | SS_BITMAP, 0, 7, 7, 101, 73},
        {1010, "combobox", "", combo, 0, 85, 91, 71, 47},
        {-1, "button", "Options", child | BS_GROUPBOX, 0, 7, 82, 155, 88},
        {-1, "static", "Number of Particles:", child | SS_LEFT | WS_GROUP, 0, 15, 93, 64, 8},
        {-1, "static", "Amount of Smoke:", child | SS_LEFT | WS_GROUP, 0, 16, 111, 59, 8},
        {1012, "combobox", "", combo, 0, 85, 108, 71, 40},
        {1014, "button", "Use Sound", child | BS_AUTOCHECKBOX | WS_TABSTOP, 0, 15, 127, 51, 10},
        {-1, "static",
         "For best results, adjust the gamma on your 3D card so you can just barely see the unlit smoke left by "
         "the fireworks.",
         child | SS_LEFT | WS_GROUP, 0, 13, 141, 141, 25},
    };
    ASSERT_EQ(count, 11u);
    int lowest = 0;
    for (const Control& c : expected) {
        SCOPED_TRACE(c.text);
        r.AlignDword(base);
        r.Dword();  // help id
        EXPECT_EQ(r.Dword(), c.exStyle);
        EXPECT_EQ(r.Dword(), c.style);
        const int x = r.Short(), y = r.Short(), cx = r.Short(), cy = r.Short();
        EXPECT_EQ(x, c.x);
        EXPECT_EQ(y, c.y);
        EXPECT_EQ(cx, c.cx);
        EXPECT_EQ(cy, c.cy);
        EXPECT_EQ(static_cast<int32_t>(r.Dword()), c.id);
        EXPECT_EQ(ClassName(r.NameOrOrdinal()), c.cls);
        EXPECT_EQ(r.NameOrOrdinal(), c.text);
        const uint16_t extra = r.Word();
        r.p += extra;
        lowest = std::max(lowest, y + cy);
        ASSERT_TRUE(r.ok);
    }
    EXPECT_EQ(lowest, 170);
}

// windres compiles the script's statement; the generator writes the embedded template
// from the same description. Both must say the same thing, field by field.
TEST(Win32Resources, ScriptDialogEqualsTheEmbeddedTemplate) {
    HRSRC info = FindResourceA(Self(), MAKEINTRESOURCEA(151), MAKEINTRESOURCEA(5));  // RT_DIALOG
    ASSERT_NE(info, nullptr);
    const uint8_t* base = static_cast<const uint8_t*>(LockResource(LoadResource(Self(), info)));
    ASSERT_NE(base, nullptr);
    const EmbeddedResource* embedded = FindEmbeddedResource("DIALOG", 151);
    ASSERT_NE(embedded, nullptr);
    DialogTemplate plain;
    ASSERT_EQ(ParseDialogTemplate(embedded->data, embedded->size, &plain), 0);

    TemplateReader r{base, base + SizeofResource(Self(), info)};
    r.Word();
    r.Word();
    r.Dword();
    EXPECT_EQ(r.Dword(), plain.exStyle);
    EXPECT_EQ(r.Dword(), plain.style);
    ASSERT_EQ(r.Word(), plain.items.size());
    EXPECT_EQ(r.Short(), plain.x);
    EXPECT_EQ(r.Short(), plain.y);
    EXPECT_EQ(r.Short(), plain.cx);
    EXPECT_EQ(r.Short(), plain.cy);
    EXPECT_EQ(r.NameOrOrdinal(), "");
    EXPECT_EQ(r.NameOrOrdinal(), plain.className);
    EXPECT_EQ(r.NameOrOrdinal(), plain.title);
    EXPECT_EQ(r.Word(), plain.pointSize);
    r.Word();
    r.Word();
    EXPECT_EQ(r.NameOrOrdinal(), plain.fontName);
    for (const DialogItemTemplate& item : plain.items) {
        SCOPED_TRACE(item.text);
        r.AlignDword(base);
        r.Dword();
        EXPECT_EQ(r.Dword(), item.exStyle);
        EXPECT_EQ(r.Dword(), item.style);
        EXPECT_EQ(r.Short(), item.x);
        EXPECT_EQ(r.Short(), item.y);
        EXPECT_EQ(r.Short(), item.cx);
        EXPECT_EQ(r.Short(), item.cy);
        EXPECT_EQ(static_cast<int16_t>(r.Dword()), static_cast<int16_t>(item.id));
        std::string cls = item.className;
        for (char& c : cls) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        EXPECT_EQ(ClassName(r.NameOrOrdinal()), cls);
        EXPECT_EQ(r.NameOrOrdinal(), item.textOrdinal ? Ordinal(item.textOrdinal) : item.text);
        const uint16_t extra = r.Word();
        r.p += extra;
        ASSERT_TRUE(r.ok);
    }
}

}  // namespace
}  // namespace nb
