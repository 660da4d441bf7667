// Dialog templates read from memory, and fake dialogs running scripted user actions
// against a dialog procedure: combo boxes and check boxes keeping their state, a dialog
// opened from within another, results, and refusal of malformed templates.
#include "platform/dialog_template.h"
#include "platform/fake/fake_platform.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Writes a DLGTEMPLATE the way the program builds one in memory.
class TemplateWriter {
 public:
  TemplateWriter(uint32_t style, const std::string& title, uint16_t items) {
    Dword(style);
    Dword(0);
    Word(items);
    for (int i = 0; i < 4; ++i) Word(10);
    Word(0);  // no menu
    Word(0);  // standard class
    Text(title);
    Word(8);
    Text("Arial");
  }
  void Item(uint32_t style, uint16_t id, const std::string& className, const std::string& text) {
    while (bytes.size() % 4) bytes.push_back(0);
    Dword(style);
    Dword(0);
    for (int i = 0; i < 4; ++i) Word(5);
    Word(id);
    Text(className);
    Text(text);
    Word(0);
  }
  std::vector<uint8_t> bytes;

 private:
  void Word(uint16_t w) {
    bytes.push_back(static_cast<uint8_t>(w));
    bytes.push_back(static_cast<uint8_t>(w >> 8));
  }
  void Dword(uint32_t d) {
    Word(static_cast<uint16_t>(d));
    Word(static_cast<uint16_t>(d >> 16));
  }
  void Text(const std::string& text) {
    for (char c : text) Word(static_cast<uint8_t>(c));
    Word(0);
  }
};

TemplateWriter ChooserTemplate() {
  TemplateWriter t(nb::WS_POPUP | nb::WS_CAPTION | nb::DS_SETFONT | nb::DS_MODALFRAME, "Select a Direct3D Driver", 4);
  t.Item(nb::WS_TABSTOP, 1, "BUTTON", "OK");
  t.Item(nb::WS_TABSTOP, 2, "BUTTON", "Cancel");
  t.Item(nb::CBS_DROPDOWNLIST | nb::WS_VSCROLL | nb::WS_TABSTOP, 1000, "COMBOBOX", "");
  t.Item(0, 0xFFFF, "STATIC", "Driver:");
  return t;
}

TEST(DialogTemplate, ReadsHeaderAndItems) {
  const TemplateWriter t = ChooserTemplate();
  nb::DialogTemplate layout;
  ASSERT_EQ(nb::ParseDialogTemplate(t.bytes.data(), t.bytes.size(), &layout), nb::S_OK);
  EXPECT_EQ(layout.title, "Select a Direct3D Driver");
  EXPECT_EQ(layout.pointSize, 8);
  EXPECT_EQ(layout.fontName, "Arial");
  ASSERT_EQ(layout.items.size(), 4u);
  EXPECT_EQ(layout.items[2].className, "COMBOBOX");
  EXPECT_EQ(layout.items[2].id, 1000);
  EXPECT_EQ(layout.items[2].style & 0xFFFF, nb::CBS_DROPDOWNLIST);
  EXPECT_EQ(layout.items[3].text, "Driver:");
}

TEST(DialogTemplate, RefusesEveryTruncation) {
  const TemplateWriter t = ChooserTemplate();
  nb::DialogTemplate layout;
  layout.title = "untouched";
  for (size_t size = 0; size < t.bytes.size(); ++size) {
    EXPECT_EQ(nb::ParseDialogTemplate(t.bytes.data(), size, &layout), nb::E_INVALIDARG) << size;
  }
  EXPECT_EQ(layout.title, "untouched");
  EXPECT_EQ(nb::ParseDialogTemplate(nullptr, 100, &layout), nb::E_INVALIDARG);
  std::vector<uint8_t> extended = t.bytes;
  extended[0] = 1, extended[1] = 0, extended[2] = 0xFF, extended[3] = 0xFF;  // DLGTEMPLATEEX
  EXPECT_EQ(nb::ParseDialogTemplate(extended.data(), extended.size(), &layout), nb::E_INVALIDARG);
}

// A small dialog procedure: fills combo 1000 with three entries, OK ends with the
// selection's item data, Cancel with -2; button 1009 opens the chooser from within.
nb::fake::FakePlatform* current = nullptr;
std::vector<uint8_t> nestedTemplate;
intptr_t nestedResult = 0;

intptr_t ChooserProc(nb::Window dialog, uint32_t message, uintptr_t wParam, intptr_t) {
  auto& dialogs = current->dialogs;
  if (message == nb::WM_INITDIALOG) {
    for (const char* text : {"Low", "Med", "High"}) {
      const intptr_t index = dialogs.SendDlgItemMessageA(dialog, 1000, nb::CB_ADDSTRING, 0,
                                                         reinterpret_cast<intptr_t>(text));
      dialogs.SendDlgItemMessageA(dialog, 1000, nb::CB_SETITEMDATA, static_cast<uintptr_t>(index), 100 + index);
    }
    dialogs.SendDlgItemMessageA(dialog, 1000, nb::CB_SETCURSEL, 1, 0);
    dialogs.CheckDlgButton(dialog, 1014, nb::BST_CHECKED);
    return 1;
  }
  if (message != nb::WM_COMMAND) return 0;
  switch (nb::LoWord(wParam)) {
    case 1: {
      const intptr_t selection = dialogs.SendDlgItemMessageA(dialog, 1000, nb::CB_GETCURSEL, 0, 0);
      dialogs.EndDialog(dialog, dialogs.SendDlgItemMessageA(dialog, 1000, nb::CB_GETITEMDATA,
                                                            static_cast<uintptr_t>(selection), 0));
      return 1;
    }
    case 2:
      dialogs.EndDialog(dialog, -2);
      return 1;
    case 1009: {
      const auto instance = nb::Instance{static_cast<uintptr_t>(dialogs.GetWindowLongA(dialog, nb::GWL_HINSTANCE))};
      nestedResult = dialogs.DialogBoxIndirectParamA(instance, nestedTemplate.data(),
                                                     static_cast<uint32_t>(nestedTemplate.size()), dialog,
                                                     ChooserProc, 0);
      return 1;
    }
    default: return 0;
  }
}

class FakeDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    current = &fake;
    nestedTemplate = ChooserTemplate().bytes;
    nestedResult = 0;
  }
  nb::fake::FakePlatform fake;
};

TEST_F(FakeDialogTest, RunsAScriptAgainstTheProcedure) {
  using nb::fake::DialogAction;
  std::vector<std::string> shown;
  fake.dialogs.Script({DialogAction::Inspect([&](const nb::fake::FakeDialogState& d) { shown = d.Texts(1000); }),
                       DialogAction::Select(1000, 2), DialogAction::Toggle(1014), DialogAction::Ok()});
  const intptr_t result = fake.dialogs.DialogBoxParamA(nb::Instance{1}, 151, nb::NoWindow, ChooserProc, 0);
  EXPECT_EQ(result, 102);
  EXPECT_EQ(shown, (std::vector<std::string>{"Low", "Med", "High"}));
  ASSERT_EQ(fake.dialogs.Finished().size(), 1u);
  const nb::fake::FakeDialogState& state = fake.dialogs.Finished()[0];
  EXPECT_EQ(state.SelectedText(1000), "High");
  EXPECT_FALSE(state.Checked(1014));
  EXPECT_TRUE(state.initResult);
}

TEST_F(FakeDialogTest, NestedDialogTakesTheNextScript) {
  using nb::fake::DialogAction;
  fake.dialogs.Script({DialogAction::Command(1009), DialogAction::CloseBox()});
  fake.dialogs.Script({DialogAction::Select(1000, 0), DialogAction::Ok()});
  EXPECT_EQ(fake.dialogs.DialogBoxParamA(nb::Instance{7}, 151, nb::NoWindow, ChooserProc, 0), -2);
  EXPECT_EQ(nestedResult, 100);
  ASSERT_EQ(fake.dialogs.Finished().size(), 2u);
  EXPECT_EQ(fake.dialogs.Finished()[0].instance, nb::Instance{7});  // the owner's instance was passed on
  EXPECT_EQ(fake.dialogs.Finished()[0].Control(4242), nullptr);  // only the template's controls exist
}

TEST_F(FakeDialogTest, FailuresReturnMinusOne) {
  using nb::fake::DialogAction;
  std::vector<uint8_t> broken(nestedTemplate.begin(), nestedTemplate.begin() + 30);
  EXPECT_EQ(fake.dialogs.DialogBoxIndirectParamA(nb::Instance{1}, broken.data(), static_cast<uint32_t>(broken.size()),
                                                 nb::NoWindow, ChooserProc, 0),
            -1);
  EXPECT_EQ(fake.dialogs.DialogBoxParamA(nb::Instance{1}, 151, nb::Window{0x9999}, ChooserProc, 0), -1);
  fake.dialogs.Script({DialogAction::Select(1000, 0)});  // never ends the dialog
  EXPECT_EQ(fake.dialogs.DialogBoxParamA(nb::Instance{1}, 151, nb::NoWindow, ChooserProc, 0), -1);
  EXPECT_EQ(fake.world.CountCalls("ScriptEndedBeforeEndDialog"), 1u);
  fake.FailCall("DialogBoxParamA", nb::E_FAIL);
  EXPECT_EQ(fake.dialogs.DialogBoxParamA(nb::Instance{1}, 151, nb::NoWindow, ChooserProc, 0), -1);
}

}  // namespace
