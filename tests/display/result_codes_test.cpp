// The error message box: exact texts (line breaks included), the exact lookup and the
// box's caption, owner and style, seen through the fake system.
#include <gtest/gtest.h>

#include "display/result_codes.h"
#include "platform/fake/fake_gdi.h"
#include "platform/fake/fake_system.h"
#include "platform/fake/fake_world.h"

namespace nb {
namespace {

struct ShownMessage {
  int32_t code;
  const char* text;
};

class ErrorMessageTest : public ::testing::Test {
 protected:
  fake::FakeWorld world;
  fake::FakeGdi gdi{world};
  fake::FakeSystem system{world, gdi};
};

TEST_F(ErrorMessageTest, ListedCodesShowTheirOwnTextsWithTheirLineBreaks) {
  const ShownMessage expected[] = {
      {static_cast<int32_t>(0x81000001u),
       "Enumeration failed. Your system may be in an\nunstable state and need to be rebooted"},
      {static_cast<int32_t>(0x81000002u),
       "Could not find any compatible devices.\n\nTry using the configuration dialog\n"},
      {static_cast<int32_t>(0x81000003u), "Could not find any compatible Direct3D\ndevices."},
      {static_cast<int32_t>(0x82000000u), "Generic initialization error."},
      {static_cast<int32_t>(0x82000001u), "No DirectDraw"},
      {static_cast<int32_t>(0x82000002u), "Could not set Cooperative Level"},
      {static_cast<int32_t>(0x82000003u), "No Direct3D"},
      {static_cast<int32_t>(0x82000004u), "No 3D Device"},
      {static_cast<int32_t>(0x82000005u), "No ZBuffer"},
      {static_cast<int32_t>(0x82000006u), "No Viewport"},
      {static_cast<int32_t>(0x82000007u), "No primary"},
      {static_cast<int32_t>(0x82000008u), "No Clipper"},
      {static_cast<int32_t>(0x82000009u), "Bad display mode"},
      {static_cast<int32_t>(0x8200000Au), "No backbuffer"},
      {static_cast<int32_t>(0x8200000Bu), "Nonzerorefcount"},
      {static_cast<int32_t>(0x8200000Cu), "No render target"},
      {static_cast<int32_t>(0x8200000Du),
       "This screensaver requires a 16-bit (or higher) display mode\nto run in a window.\n\n"
       "Please switch your desktop settings accordingly."},
      {static_cast<int32_t>(0x8007000Eu), "Not enough memory!"},
      {static_cast<int32_t>(0x8876017Cu),
       "There was insufficient video memory to use the\nhardware device."},
  };
  for (const ShownMessage& message : expected) {
    system.messageBoxes.clear();
    ShowErrorMessage(system, message.code, true);
    ASSERT_EQ(system.messageBoxes.size(), 1u) << std::hex << message.code;
    EXPECT_EQ(system.messageBoxes[0].text, message.text) << std::hex << message.code;
  }
}

TEST_F(ErrorMessageTest, CodesWithoutTextOfTheirOwnShowTheGenericText) {
  const int32_t codes[] = {
      static_cast<int32_t>(0x81000004u),  // no DirectDraw module: deliberately generic
      static_cast<int32_t>(0x8200000Eu),  // no front buffer
      static_cast<int32_t>(0x8200000Fu),
      static_cast<int32_t>(0x81000000u),
      static_cast<int32_t>(0x80004005u),  // E_FAIL
      static_cast<int32_t>(0x80070057u),  // E_INVALIDARG
      static_cast<int32_t>(0x887601C2u),  // DDERR_SURFACELOST
      0,
      1,
      0x02000001,  // a listed code without its failure bit
  };
  for (int32_t code : codes) {
    system.messageBoxes.clear();
    ShowErrorMessage(system, code, false);
    ASSERT_EQ(system.messageBoxes.size(), 1u);
    EXPECT_EQ(system.messageBoxes[0].text, "Generic application error.") << std::hex << code;
  }
}

TEST_F(ErrorMessageTest, FatalAndNonFatalBoxesDifferOnlyInTheirIcon) {
  ShowErrorMessage(system, ResultCode::InitFailed, true);
  ShowErrorMessage(system, ResultCode::InitFailed, false);
  ASSERT_EQ(system.messageBoxes.size(), 2u);
  for (const fake::MessageBoxRecord& box : system.messageBoxes) {
    EXPECT_EQ(box.caption, "Nightbloom");
    EXPECT_EQ(box.owner, NoWindow);
  }
  EXPECT_EQ(system.messageBoxes[0].type, 0x10u);
  EXPECT_EQ(system.messageBoxes[1].type, 0x30u);
}

}  // namespace
}  // namespace nb
