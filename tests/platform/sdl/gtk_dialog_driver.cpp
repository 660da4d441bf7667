// Test helper: the configuration run mode ("/c") of the real shell, with its real dialog
// procedures shown through GtkDialogSystem, on a machine of fakes otherwise (in-memory
// registry, the fake display driver's catalogue). A test drives the dialogs from outside
// (xdotool) and reads two things back: the log of what the dialogs did, written as it
// happens, and the registry's values, printed when the program ends.
//
//   nightbloom-gtk-dialog-driver --log FILE [--set NAME=NUMBER]... [--second-display]
//
// Log lines:  created HANDLE "TITLE" base BX BY client W H
//             control HANDLE ID KIND X Y W H
//             message HANDLE init | command ID CODE
//             ended HANDLE RESULT
// Printed at the end:  exit CODE, then one line per value: "E dword 1", "A sz 40 TEXT".
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "headless_platform.h"
#include "platform/sdl/gtk_dialogs.h"
#include "resources/embedded.h"

namespace {

const std::string key = "Software\\Lumenfold Software\\Nightbloom";

const char* KindName(nb::ControlKind kind) {
  switch (kind) {
    case nb::ControlKind::PushButton: return "button";
    case nb::ControlKind::DefaultPushButton: return "default-button";
    case nb::ControlKind::CheckBox: return "checkbox";
    case nb::ControlKind::AutoCheckBox: return "auto-checkbox";
    case nb::ControlKind::GroupBox: return "groupbox";
    case nb::ControlKind::Text: return "text";
    case nb::ControlKind::Picture: return "picture";
    case nb::ControlKind::DropDownList: return "dropdown";
  }
  return "?";
}

unsigned long H(nb::Window handle) { return static_cast<unsigned long>(static_cast<uintptr_t>(handle)); }

int Usage() {
  std::fprintf(stderr, "usage: nightbloom-gtk-dialog-driver --log FILE [--set NAME=NUMBER]... [--second-display]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string logPath;
  std::vector<std::pair<std::string, uint32_t>> presets;
  bool secondDisplay = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--log" && i + 1 < argc) {
      logPath = argv[++i];
    } else if (arg == "--set" && i + 1 < argc) {
      const std::string setting = argv[++i];
      const size_t equals = setting.find('=');
      if (equals == std::string::npos || equals == 0) return Usage();
      char* end = nullptr;
      const unsigned long value = std::strtoul(setting.c_str() + equals + 1, &end, 10);
      if (!end || *end != '\0' || end == setting.c_str() + equals + 1) return Usage();
      presets.emplace_back(setting.substr(0, equals), static_cast<uint32_t>(value));
    } else if (arg == "--second-display") {
      secondDisplay = true;
    } else {
      return Usage();
    }
  }
  if (logPath.empty()) return Usage();
  std::FILE* log = std::fopen(logPath.c_str(), "w");
  if (!log) {
    std::fprintf(stderr, "cannot write %s\n", logPath.c_str());
    return 1;
  }

  nb::test::HeadlessPlatform machine;
  if (secondDisplay) {
    const nb::GUID guid{0x6e620001, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 8}};
    machine.graphics.drivers.push_back(nb::fake::SecondaryDriver(guid, "Second Display Adapter", "display2"));
  }
  // The fake keeps bitmaps decoded; the dialogs read the picture's file bytes.
  if (const nb::EmbeddedResource* picture = nb::FindEmbeddedResource("BITMAP", 400)) {
    machine.system.AddResource("BITMAP", 400, std::vector<uint8_t>(picture->data, picture->data + picture->size));
  }
  for (const auto& [name, value] : presets) machine.registry.SetDword(key, name, value);

  nb::GtkDialogSystem dialogs(machine.system);
  dialogs.SetObserver([log](const nb::GtkDialogEvent& event) {
    switch (event.kind) {
      case nb::GtkDialogEvent::Kind::Created: {
        const nb::GtkDialogLayout& layout = *event.layout;
        std::fprintf(log, "created %lu \"%s\" base %d %d client %d %d\n", H(event.dialog), layout.title.c_str(),
                     layout.base.x, layout.base.y, layout.width, layout.height);
        for (const nb::GtkControlLayout& control : layout.controls) {
          std::fprintf(log, "control %lu %d %s %d %d %d %d\n", H(event.dialog), control.id, KindName(control.kind),
                       control.x, control.y, control.width, control.height);
        }
        break;
      }
      case nb::GtkDialogEvent::Kind::Message:
        if (event.message == nb::WM_INITDIALOG) {
          std::fprintf(log, "message %lu init\n", H(event.dialog));
        } else if (event.message == nb::WM_COMMAND) {
          std::fprintf(log, "message %lu command %u %u\n", H(event.dialog), nb::LoWord(event.wParam),
                       nb::HiWord(event.wParam));
        }
        break;
      case nb::GtkDialogEvent::Kind::Ended:
        std::fprintf(log, "ended %lu %ld\n", H(event.dialog), static_cast<long>(event.result));
        break;
    }
    std::fflush(log);
  });

  nb::Platform platform{machine.graphics, machine.sound,  machine.registry, machine.system,
                        machine.windows,  machine.gdi,    dialogs};
  const int code = nb::ShellMain(platform, nb::test::headlessInstance, "/c");
  std::fclose(log);

  std::printf("exit %d\n", code);
  for (const char* name : {"E", "F", "G"}) {
    if (auto value = machine.registry.Dword(key, name)) std::printf("%s dword %u\n", name, *value);
  }
  for (const char* name : {"A", "B", "C", "D"}) {
    if (auto value = machine.registry.Value(key, name)) {
      const std::string text(value->bytes.begin(), std::find(value->bytes.begin(), value->bytes.end(), 0));
      std::printf("%s %s %zu %s\n", name, value->type == nb::REG_SZ ? "sz" : "other", value->bytes.size(),
                  text.c_str());
    }
  }
  std::fflush(stdout);
  return 0;
}
