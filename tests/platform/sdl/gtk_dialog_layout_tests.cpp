// What the GTK dialogs decide without a display: dialog units to pixels as the platform
// rounds them, the two dialogs of the saver laid out control by control, the controls
// that cannot be shown, fonts and access keys, the drop-down list's CB_* answers, the
// handle range, and refusals (malformed template, missing resource, no display) that
// must come back as -1 without touching a procedure.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <vector>

#include "display/device_dialog.h"
#include "platform/fake/fake_gdi.h"
#include "platform/fake/fake_system.h"
#include "platform/fake/fake_world.h"
#include "platform/sdl/gtk_dialog_layout.h"
#include "platform/sdl/gtk_dialog_model.h"
#include "platform/sdl/gtk_dialogs.h"
#include "resources/embedded.h"
#include "template_builder.h"

namespace nb {
namespace {

constexpr DialogBaseUnits sansEight{6, 13};  // the base units of the saver's dialog font

DialogTemplate Parse(const uint8_t* bytes, size_t size) {
  DialogTemplate parsed;
  EXPECT_EQ(ParseDialogTemplate(bytes, size, &parsed), S_OK);
  return parsed;
}

DialogTemplate ConfigTemplate() {
  const EmbeddedResource* resource = FindEmbeddedResource("DIALOG", 151);
  EXPECT_NE(resource, nullptr);
  return resource ? Parse(resource->data, resource->size) : DialogTemplate{};
}

const GtkControlLayout* Find(const GtkDialogLayout& layout, int32_t id) {
  for (const GtkControlLayout& control : layout.controls) {
    if (control.id == id) return &control;
  }
  return nullptr;
}

void ExpectRect(const GtkControlLayout* control, int32_t x, int32_t y, int32_t width, int32_t height) {
  ASSERT_NE(control, nullptr);
  EXPECT_EQ(control->x, x) << control->text;
  EXPECT_EQ(control->y, y) << control->text;
  EXPECT_EQ(control->width, width) << control->text;
  EXPECT_EQ(control->height, height) << control->text;
}

TEST(DialogUnits, RoundLikeThePlatform) {
  EXPECT_EQ(MulDiv(7, 6, 4), 11);  // 10.5 rounds away from zero
  EXPECT_EQ(MulDiv(-7, 6, 4), -11);
  EXPECT_EQ(MulDiv(73, 13, 8), 119);  // 118.625
  EXPECT_EQ(MulDiv(8, 13, 8), 13);
  EXPECT_EQ(MulDiv(5, 1, -2), -3);
  EXPECT_EQ(MulDiv(5, 3, 0), -1);
  EXPECT_EQ(MulDiv(1 << 30, 6, 8), 805306368);  // no overflow in between
  // The average letter width rounds at half a pixel per letter.
  EXPECT_EQ(AverageCharWidth(323), 6);
  EXPECT_EQ(AverageCharWidth(337), 6);
  EXPECT_EQ(AverageCharWidth(338), 7);
}

TEST(DialogLayoutTest, ConfigurationDialogInItsFont) {
  const BitmapSizeLookup bitmaps = [](uint16_t id, int32_t* width, int32_t* height) {
    if (id != 400) return false;
    *width = 152;
    *height = 118;
    return true;
  };
  GtkDialogLayout layout;
  std::string error;
  ASSERT_EQ(LayoutDialog(ConfigTemplate(), sansEight, bitmaps, &layout, &error), S_OK) << error;

  EXPECT_EQ(layout.title, "Nightbloom Configuration");
  EXPECT_EQ(layout.placement, DialogPlacement::Screen);  // DS_ABSALIGN
  EXPECT_EQ(layout.x, 150);
  EXPECT_EQ(layout.y, 163);
  EXPECT_EQ(layout.width, 254);
  EXPECT_EQ(layout.height, 288);
  EXPECT_TRUE(layout.closeBox);
  EXPECT_EQ(layout.defaultId, IDOK);
  EXPECT_EQ(layout.font.points, 8);
  EXPECT_EQ(layout.font.families.rfind("Liberation Sans", 0), 0u) << layout.font.families;

  const std::vector<ControlKind> kinds{ControlKind::DefaultPushButton, ControlKind::PushButton,
                                       ControlKind::PushButton,        ControlKind::Picture,
                                       ControlKind::DropDownList,      ControlKind::GroupBox,
                                       ControlKind::Text,              ControlKind::Text,
                                       ControlKind::DropDownList,      ControlKind::AutoCheckBox,
                                       ControlKind::Text};
  ASSERT_EQ(layout.controls.size(), kinds.size());
  for (size_t i = 0; i < kinds.size(); ++i) EXPECT_EQ(layout.controls[i].kind, kinds[i]) << i;

  ExpectRect(Find(layout, IDOK), 168, 11, 75, 23);
  ExpectRect(Find(layout, IDCANCEL), 168, 37, 75, 23);
  ExpectRect(Find(layout, 1009), 168, 63, 75, 67);
  ExpectRect(&layout.controls[3], 11, 11, 152, 118);  // the bitmap's own size
  EXPECT_EQ(layout.controls[3].bitmap, 400);
  // Drop-down lists show their closed box; the template's height includes the open list.
  ExpectRect(Find(layout, 1010), 128, 148, 107, 21);
  EXPECT_EQ(Find(layout, 1010)->listHeight, 76);
  ExpectRect(Find(layout, 1014), 23, 206, 77, 16);
  ExpectRect(&layout.controls[5], 11, 133, 233, 143);
  EXPECT_EQ(layout.controls[5].text, "Options");
  EXPECT_EQ(layout.controls[6].id, -1);

  // Only the gamma note has room for more than one line, so only it wraps.
  EXPECT_FALSE(layout.controls[6].wrap);
  EXPECT_FALSE(layout.controls[7].wrap);
  EXPECT_TRUE(layout.controls[10].wrap);
  ExpectRect(&layout.controls[10], 20, 229, 212, 41);

  std::set<int32_t> tabStops;
  for (const GtkControlLayout& control : layout.controls) {
    if (control.tabStop) tabStops.insert(control.id);
    EXPECT_TRUE(control.visible);
    EXPECT_TRUE(control.enabled);
  }
  EXPECT_EQ(tabStops, (std::set<int32_t>{IDOK, IDCANCEL, 1009, 1010, 1012, 1014}));
}

TEST(DialogLayoutTest, PictureWithoutItsBitmapKeepsTheTemplateSize) {
  GtkDialogLayout layout;
  ASSERT_EQ(LayoutDialog(ConfigTemplate(), sansEight, nullptr, &layout, nullptr), S_OK);
  ExpectRect(&layout.controls[3], 11, 11, 152, 119);
}

TEST(DialogLayoutTest, DeviceDialogFromItsInMemoryTemplate) {
  uint8_t buffer[deviceDialogTemplateSize] = {};
  const int32_t size = BuildDeviceDialogTemplate(buffer, sizeof buffer);
  ASSERT_GT(size, 0);
  GtkDialogLayout layout;
  // Other base units scale every rectangle with them.
  ASSERT_EQ(LayoutDialog(Parse(buffer, static_cast<size_t>(size)), {7, 15}, nullptr, &layout, nullptr), S_OK);
  EXPECT_EQ(layout.title, "Select a Direct3D Driver");
  EXPECT_EQ(layout.placement, DialogPlacement::Centered);
  EXPECT_EQ(layout.width, 313);   // 179 * 7 / 4
  EXPECT_EQ(layout.height, 158);  // 84 * 15 / 8
  // No default push button: Enter sends IDOK.
  EXPECT_EQ(layout.defaultId, IDOK);
  EXPECT_EQ(Find(layout, IDOK)->kind, ControlKind::PushButton);
  ExpectRect(Find(layout, IDOK), 114, 122, 89, 26);
  ExpectRect(Find(layout, modeComboId), 63, 83, 242, 23);
  EXPECT_EQ(Find(layout, driverComboId)->kind, ControlKind::DropDownList);
  EXPECT_FALSE(Find(layout, driverComboId)->sorted);
  const GtkControlLayout& label = layout.controls[5];
  EXPECT_EQ(label.text, "Driver:");
  EXPECT_EQ(label.kind, ControlKind::Text);
  EXPECT_FALSE(label.wrap);  // 13 units: less than two lines
}

TEST(DialogLayoutTest, ControlsItCannotShowAreRefusedByName) {
  struct Case {
    const char* className;
    uint32_t style;
  };
  const Case refused[] = {
      {"BUTTON", 0x50000009u},    // auto radio button
      {"EDIT", 0x50010000u},      // edit box
      {"COMBOBOX", 0x50010002u},  // editable drop-down
      {"STATIC", 0x50000003u},    // icon
      {"LISTBOX", 0x50010000u},
      {"MyOwnClass", 0x50000000u},
  };
  for (const Case& c : refused) {
    const std::vector<uint8_t> bytes = test::TemplateBuilder(0x80C800C0u, 0, 0, 100, 50, "T")
                                           .Item("BUTTON", "OK", IDOK, 0x50010001u, 5, 5, 40, 14)
                                           .Item(c.className, "x", 77, c.style, 5, 25, 40, 14)
                                           .Bytes();
    GtkDialogLayout layout;
    layout.title = "untouched";
    std::string error;
    EXPECT_EQ(LayoutDialog(Parse(bytes.data(), bytes.size()), sansEight, nullptr, &layout, &error), E_INVALIDARG)
        << c.className;
    EXPECT_NE(error.find("control 2 (id 77)"), std::string::npos) << error;
    EXPECT_EQ(layout.title, "untouched");
  }

  const std::vector<uint8_t> plain =
      test::TemplateBuilder(0x80C800C0u, 0, 0, 100, 50, "T").Item("BUTTON", "OK", IDOK, 0x50010000u, 5, 5, 40, 14).Bytes();
  GtkDialogLayout layout;
  std::string error;
  EXPECT_EQ(LayoutDialog(Parse(plain.data(), plain.size()), {0, 13}, nullptr, &layout, &error), E_INVALIDARG);
  EXPECT_EQ(LayoutDialog(Parse(plain.data(), plain.size()), sansEight, nullptr, &layout, &error), S_OK);
  EXPECT_EQ(LayoutDialog(Parse(plain.data(), plain.size()), sansEight, nullptr, nullptr, &error), E_INVALIDARG);
}

TEST(DialogLayoutTest, StylesOfTextsListsAndButtons) {
  const std::vector<uint8_t> bytes =
      test::TemplateBuilder(0x80C00040u, 10, 20, 100, 80, "Styles")  // no DS_CENTER, DS_ABSALIGN, WS_SYSMENU
          .Item("STATIC", "centre", 10, 0x50000001u, 0, 0, 40, 8)
          .Item("STATIC", "right", 11, 0x50000002u, 0, 10, 40, 8)
          .Item("STATIC", "simple, never wraps", 12, 0x5000000Bu, 0, 20, 40, 30)
          .Item("COMBOBOX", "", 13, 0x50010103u, 0, 40, 40, 60)  // sorted
          .Item("BUTTON", "hidden", 14, 0x40000000u, 0, 60, 40, 14)
          .Item("BUTTON", "disabled", 15, 0x58000002u, 0, 60, 40, 14)  // WS_DISABLED, BS_CHECKBOX
          .Item("BUTTON", "Apply", 16, 0x50010001u, 50, 60, 40, 14)
          .Bytes();
  GtkDialogLayout layout;
  ASSERT_EQ(LayoutDialog(Parse(bytes.data(), bytes.size()), sansEight, nullptr, &layout, nullptr), S_OK);
  EXPECT_EQ(layout.placement, DialogPlacement::OwnerRelative);
  EXPECT_EQ(layout.x, 15);
  EXPECT_EQ(layout.y, 33);
  EXPECT_FALSE(layout.closeBox);
  EXPECT_FLOAT_EQ(Find(layout, 10)->xAlign, 0.5f);
  EXPECT_FLOAT_EQ(Find(layout, 11)->xAlign, 1.0f);
  EXPECT_FALSE(Find(layout, 12)->wrap);
  EXPECT_TRUE(Find(layout, 13)->sorted);
  EXPECT_FALSE(Find(layout, 14)->visible);
  EXPECT_FALSE(Find(layout, 15)->enabled);
  EXPECT_EQ(Find(layout, 15)->kind, ControlKind::CheckBox);
  EXPECT_EQ(layout.defaultId, 16);
}

TEST(DialogFonts, WindowsDialogFacesMapToAMetricCompatibleSans) {
  const DialogFont sans = MapDialogFont("MS Sans Serif", 8);
  EXPECT_EQ(sans.points, 8);
  EXPECT_EQ(sans.families.rfind("Liberation Sans,", 0), 0u);
  EXPECT_EQ(MapDialogFont("arial", 8).families, sans.families);
  EXPECT_EQ(MapDialogFont("MS Shell Dlg", 9).points, 9);
  EXPECT_EQ(MapDialogFont("", 0).points, 8);
  const DialogFont other = MapDialogFont("Courier New", 10);
  EXPECT_EQ(other.points, 10);
  EXPECT_EQ(other.families.rfind("Courier New, ", 0), 0u);
  EXPECT_NE(other.families.find("Sans"), std::string::npos);
}

TEST(DialogTexts, AccessKeysInGtkNotation) {
  EXPECT_EQ(MnemonicText("&Options"), "_Options");
  EXPECT_EQ(MnemonicText("Fish && Chips"), "Fish & Chips");
  EXPECT_EQ(MnemonicText("snake_case"), "snake__case");
  EXPECT_EQ(MnemonicText("trailing&"), "trailing&");
  EXPECT_EQ(PlainText("&Options && more"), "Options & more");
  EXPECT_EQ(PlainText("Video Config"), "Video Config");
}

TEST(ComboItemsTest, AnswerAsTheListBoxOfTheDropDown) {
  ComboItems items;
  EXPECT_EQ(items.Selection(), CB_ERR);
  EXPECT_EQ(items.Add("Low"), 0);
  EXPECT_EQ(items.Add("Med"), 1);
  EXPECT_EQ(items.Add(nullptr), 2);
  EXPECT_EQ(items.Count(), 3);
  EXPECT_EQ(*items.Text(2), "");
  EXPECT_EQ(items.Select(1), 1);
  EXPECT_EQ(items.Selection(), 1);
  // An index out of range, -1 included, clears the selection.
  EXPECT_EQ(items.Select(3), CB_ERR);
  EXPECT_EQ(items.Selection(), CB_ERR);
  items.Select(1);
  EXPECT_EQ(items.Select(-1), CB_ERR);
  EXPECT_EQ(items.Selection(), CB_ERR);

  int entry = 0;
  EXPECT_EQ(items.SetData(0, reinterpret_cast<intptr_t>(&entry)), 1);
  EXPECT_EQ(items.Data(0), reinterpret_cast<intptr_t>(&entry));
  EXPECT_EQ(items.Data(1), 0);
  EXPECT_EQ(items.SetData(5, 1), CB_ERR);
  EXPECT_EQ(items.Data(-1), CB_ERR);

  char text[8] = "xxxxxxx";
  EXPECT_EQ(items.CopyText(1, text), 3);
  EXPECT_STREQ(text, "Med");
  EXPECT_EQ(items.CopyText(3, text), CB_ERR);
  EXPECT_EQ(items.CopyText(0, nullptr), CB_ERR);

  items.Select(0);
  items.Reset();
  EXPECT_EQ(items.Count(), 0);
  EXPECT_EQ(items.Selection(), CB_ERR);
  EXPECT_EQ(items.Text(0), nullptr);
}

TEST(ComboItemsTest, SortedListInsertsInPlaceAndKeepsTheSelectedItem) {
  ComboItems items(true);
  EXPECT_EQ(items.Add("Mode"), 0);
  EXPECT_EQ(items.Add("driver"), 0);
  items.Select(1);  // "Mode"
  EXPECT_EQ(items.Add("Device"), 0);  // before "driver", without regard to case
  EXPECT_EQ(items.Add("zeta"), 3);
  EXPECT_EQ(items.Add("Driver"), 2);  // equal texts go after the ones there
  EXPECT_EQ(*items.Text(items.Selection()), "Mode");
  std::vector<std::string> order;
  for (intptr_t i = 0; i < items.Count(); ++i) order.push_back(*items.Text(i));
  EXPECT_EQ(order, (std::vector<std::string>{"Device", "driver", "Driver", "Mode", "zeta"}));
}

TEST(DialogHandles, ComeFromTheirRangeAndAreNotReusedWhileLive) {
  // The default range lies above every X window id.
  EXPECT_GT(dialogHandleRange.first, 0x1FFFFFFFu);
  EXPECT_LE(dialogHandleRange.first + dialogHandleRange.count - 1, 0x7FFFFFFFu);

  HandleAllocator handles({0x5000, 3});
  const Window a = handles.Allocate(), b = handles.Allocate(), c = handles.Allocate();
  EXPECT_EQ(static_cast<uintptr_t>(a), 0x5000u);
  EXPECT_EQ(std::set<Window>({a, b, c}).size(), 3u);
  for (Window h : {a, b, c}) EXPECT_TRUE(handles.Contains(h));
  EXPECT_FALSE(handles.Contains(Window{0x5003}));
  EXPECT_FALSE(handles.Contains(Window{0x4FFF}));
  EXPECT_EQ(handles.Allocate(), NoWindow);  // all in use
  handles.Release(b);
  EXPECT_EQ(handles.Allocate(), b);  // the only free one, after wrapping
  handles.Release(a);
  handles.Release(c);
  EXPECT_EQ(handles.Allocate(), c);  // turns continue where they were
  EXPECT_EQ(handles.Allocate(), a);

  HandleAllocator empty({0x100, 0});
  EXPECT_EQ(empty.Allocate(), NoWindow);
  HandleAllocator zeroOnly({0, 1});  // 0 is "no window" and never handed out
  EXPECT_EQ(zeroOnly.Allocate(), NoWindow);
}

// A procedure that must never run in the refusals below.
int procedureCalls = 0;
intptr_t CountingProc(Window, uint32_t, uintptr_t, intptr_t) {
  ++procedureCalls;
  return 0;
}

TEST(GtkDialogRefusals, BadTemplatesMissingResourcesAndNoDisplayGiveMinusOne) {
  fake::FakeWorld world;
  fake::FakeGdi gdi(world);
  fake::FakeSystem system(world, gdi);
  GtkDialogSystem dialogs(system);
  procedureCalls = 0;

  const uint8_t truncated[] = {0xC0, 0x00, 0xC8, 0x80, 0, 0, 0, 0};
  EXPECT_EQ(dialogs.DialogBoxIndirectParamA(Instance{1}, truncated, sizeof truncated, NoWindow, CountingProc, 0), -1);
  EXPECT_EQ(dialogs.DialogBoxIndirectParamA(Instance{1}, nullptr, 100, NoWindow, CountingProc, 0), -1);
  // No dialog resource 151 in this machine, and a damaged one.
  EXPECT_EQ(dialogs.DialogBoxParamA(Instance{1}, 151, NoWindow, CountingProc, 0), -1);
  system.AddResource("DIALOG", 151, {1, 2, 3});
  EXPECT_EQ(dialogs.DialogBoxParamA(Instance{1}, 151, NoWindow, CountingProc, 0), -1);

  // A good template with nowhere to show it.
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  setenv("GDK_BACKEND", "x11", 1);
  const EmbeddedResource* config = FindEmbeddedResource("DIALOG", 151);
  ASSERT_NE(config, nullptr);
  system.AddResource("DIALOG", 151, std::vector<uint8_t>(config->data, config->data + config->size));
  EXPECT_EQ(dialogs.DialogBoxParamA(Instance{1}, 151, NoWindow, CountingProc, 0), -1);
  EXPECT_FALSE(GtkDialogSystem::ToolkitAvailable());
  EXPECT_EQ(procedureCalls, 0);

  // Nothing runs, so every control operation answers as for an unknown dialog.
  EXPECT_FALSE(dialogs.EndDialog(Window{dialogHandleRange.first}, 1));
  EXPECT_FALSE(dialogs.CheckDlgButton(Window{dialogHandleRange.first}, 1014, BST_CHECKED));
  EXPECT_EQ(dialogs.IsDlgButtonChecked(Window{dialogHandleRange.first}, 1014), BST_UNCHECKED);
  EXPECT_EQ(dialogs.SendDlgItemMessageA(Window{dialogHandleRange.first}, 1010, CB_GETCOUNT, 0, 0), 0);
  EXPECT_EQ(dialogs.GetWindowLongA(Window{dialogHandleRange.first}, GWL_HINSTANCE), 0);
}

}  // namespace
}  // namespace nb
