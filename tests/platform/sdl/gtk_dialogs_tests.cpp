// The GTK dialogs on a real (private, virtual) display: what the procedures receive and
// when, what their calls do to the widgets, the keys and the close box, nesting, and the
// widgets' sizes. The "user" acts from timers inside the modal loop, through GTK itself
// (clicks, selections, key and delete events), and a watchdog ends a dialog that would
// otherwise wait forever. Runs under with_private_x.sh.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <chrono>
#include <clocale>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/fake/fake_gdi.h"
#include "platform/fake/fake_system.h"
#include "platform/fake/fake_world.h"
#include "other_client.h"
#include "platform/sdl/gtk_dialogs.h"
#include "resources/embedded.h"
#include "template_builder.h"

namespace nb {
namespace {

using Procedure = std::function<intptr_t(Window, uint32_t, uintptr_t, intptr_t)>;
Procedure outerProcedure, innerProcedure;
intptr_t OuterProc(Window d, uint32_t m, uintptr_t w, intptr_t l) { return outerProcedure ? outerProcedure(d, m, w, l) : 0; }
intptr_t InnerProc(Window d, uint32_t m, uintptr_t w, intptr_t l) { return innerProcedure ? innerProcedure(d, m, w, l) : 0; }

constexpr Instance instance{0x400000};
constexpr int32_t endedByWatchdog = -99;

struct Command {
  Window dialog;
  int32_t id;
  uint16_t code;
  intptr_t lParam;
  bool operator==(const Command&) const = default;
};

gboolean RunOnce(gpointer data) {
  (*static_cast<std::function<void()>*>(data))();
  return G_SOURCE_REMOVE;
}
void DeleteAction(gpointer data) { delete static_cast<std::function<void()>*>(data); }

// Runs action after ms milliseconds of the loop that is running then.
void After(guint ms, std::function<void()> action) {
  g_timeout_add_full(G_PRIORITY_DEFAULT, ms, RunOnce, new std::function<void()>(std::move(action)), DeleteAction);
}

class GtkDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(GtkDialogSystem::ToolkitAvailable()) << "these tests need a display (run them under with_private_x.sh)";
    system.LoadProjectResources();
    const EmbeddedResource* picture = FindEmbeddedResource("BITMAP", 400);
    ASSERT_NE(picture, nullptr);
    system.AddResource("BITMAP", 400, std::vector<uint8_t>(picture->data, picture->data + picture->size));
    dialogs.SetObserver([this](const GtkDialogEvent& event) {
      if (event.kind == GtkDialogEvent::Kind::Created) {
        created.push_back(event.dialog);
        layouts.push_back(*event.layout);
      }
      if (event.kind == GtkDialogEvent::Kind::Message && event.message == WM_COMMAND) {
        commands.push_back({event.dialog, static_cast<int16_t>(LoWord(event.wParam)), HiWord(event.wParam),
                            event.lParam});
      }
    });
    // No test needs more than a few seconds; a dialog still open after ten has hung.
    watchdog = g_timeout_add_seconds(10, [](gpointer data) -> gboolean {
      auto* self = static_cast<GtkDialogsTest*>(data);
      for (Window dialog : self->created) self->dialogs.EndDialog(dialog, endedByWatchdog);
      return G_SOURCE_CONTINUE;
    }, this);
  }
  void TearDown() override {
    if (watchdog) g_source_remove(watchdog);
    outerProcedure = nullptr;
    innerProcedure = nullptr;
  }

  GtkWidget* Widget(Window dialog, int32_t id) { return static_cast<GtkWidget*>(dialogs.NativeControl(dialog, id)); }
  GtkWidget* DialogWindow(Window dialog) { return static_cast<GtkWidget*>(dialogs.NativeWindow(dialog)); }

  // Runs action once the dialog is on the screen with its widgets allocated.
  void WhenShown(Window dialog, std::function<void()> action, int triesLeft = 300) {
    GtkWidget* window = DialogWindow(dialog);
    if (window && gtk_widget_get_mapped(window) && gtk_widget_get_allocated_width(window) > 1) {
      action();
      return;
    }
    if (triesLeft == 0) {
      ADD_FAILURE() << "the dialog did not show";
      dialogs.EndDialog(dialog, endedByWatchdog);
      return;
    }
    After(10, [=, this] { WhenShown(dialog, action, triesLeft - 1); });
  }

  void PressKey(Window dialog, guint keyval) {
    GtkWidget* window = DialogWindow(dialog);
    ASSERT_NE(window, nullptr);
    GdkEvent* event = gdk_event_new(GDK_KEY_PRESS);
    event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(window)));
    event->key.send_event = TRUE;
    event->key.time = GDK_CURRENT_TIME;
    event->key.keyval = keyval;
    // Key bindings are looked up by the key's code as well.
    GdkKeymapKey* keys = nullptr;
    gint count = 0;
    if (gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(gdk_display_get_default()), keyval, &keys,
                                          &count) &&
        count > 0) {
      event->key.hardware_keycode = static_cast<guint16>(keys[0].keycode);
    }
    g_free(keys);
    gdk_event_set_device(event, gdk_seat_get_keyboard(gdk_display_get_default_seat(gdk_display_get_default())));
    gtk_main_do_event(event);
    gdk_event_free(event);
  }

  std::vector<uint8_t> Template151() const {
    const EmbeddedResource* resource = FindEmbeddedResource("DIALOG", 151);
    return std::vector<uint8_t>(resource->data, resource->data + resource->size);
  }

  fake::FakeWorld world;
  fake::FakeGdi gdi{world};
  fake::FakeSystem system{world, gdi};
  GtkDialogSystem dialogs{system};
  std::vector<Window> created;
  std::vector<GtkDialogLayout> layouts;
  std::vector<Command> commands;
  guint watchdog = 0;
};

bool InRange(Window handle) {
  const auto value = static_cast<uintptr_t>(handle);
  return value >= dialogHandleRange.first && value - dialogHandleRange.first < dialogHandleRange.count;
}

TEST_F(GtkDialogsTest, InitialisesThenEndsWithTheValueGivenOnceTheProcedureReturns) {
  Window dialog{};
  uintptr_t focusControl = 0;
  intptr_t initParam = 0;
  bool stillThereAfterEndDialog = false;
  outerProcedure = [&](Window d, uint32_t message, uintptr_t wParam, intptr_t lParam) -> intptr_t {
    if (message == WM_INITDIALOG) {
      dialog = d;
      focusControl = wParam;
      initParam = lParam;
      EXPECT_EQ(dialogs.GetWindowLongA(d, GWL_HINSTANCE), static_cast<intptr_t>(instance));
      EXPECT_FALSE(gtk_widget_get_visible(DialogWindow(d)));  // not shown before it is initialised
      WhenShown(d, [&] {
        // WM_INITDIALOG returned TRUE: the first tab stop, OK, has the focus.
        EXPECT_EQ(gtk_window_get_focus(GTK_WINDOW(DialogWindow(dialog))), Widget(dialog, IDOK));
        gtk_button_clicked(GTK_BUTTON(Widget(dialog, IDOK)));
      });
      return 1;
    }
    if (message == WM_COMMAND && LoWord(wParam) == IDOK) {
      EXPECT_TRUE(dialogs.EndDialog(d, 42));
      EXPECT_FALSE(dialogs.EndDialog(d, 43));  // the first value stands
      stillThereAfterEndDialog = dialogs.NativeWindow(d) != nullptr;
    }
    return 0;
  };
  EXPECT_EQ(dialogs.DialogBoxParamA(instance, 151, NoWindow, OuterProc, 1234), 42);
  EXPECT_TRUE(InRange(dialog));
  EXPECT_EQ(initParam, 1234);
  EXPECT_TRUE(stillThereAfterEndDialog);
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].id, IDOK);
  EXPECT_EQ(commands[0].code, BN_CLICKED);
  // The control's own handle comes with its command: the one WM_INITDIALOG named.
  EXPECT_EQ(static_cast<uintptr_t>(commands[0].lParam), focusControl);
  EXPECT_TRUE(InRange(Window{focusControl}));
  EXPECT_NE(Window{focusControl}, dialog);
  // Gone: the handle no longer answers.
  EXPECT_EQ(dialogs.NativeWindow(dialog), nullptr);
  EXPECT_EQ(dialogs.GetWindowLongA(dialog, GWL_HINSTANCE), 0);
  EXPECT_FALSE(dialogs.EndDialog(dialog, 1));
}

TEST_F(GtkDialogsTest, EndDialogDuringInitialisationNeverShowsTheDialog) {
  int messages = 0;
  outerProcedure = [&](Window d, uint32_t message, uintptr_t, intptr_t) -> intptr_t {
    ++messages;
    if (message == WM_INITDIALOG) dialogs.EndDialog(d, 7);
    return 1;
  };
  EXPECT_EQ(dialogs.DialogBoxParamA(instance, 151, NoWindow, OuterProc, 0), 7);
  EXPECT_EQ(messages, 1);
}

TEST_F(GtkDialogsTest, TheProceduresOwnChangesShowWithoutNotifying) {
  int itemData = 0;
  outerProcedure = [&](Window d, uint32_t message, uintptr_t, intptr_t) -> intptr_t {
    if (message != WM_INITDIALOG) return 0;
    EXPECT_TRUE(dialogs.CheckDlgButton(d, 1014, BST_CHECKED));
    for (const char* level : {"Low", "Med", "High"}) {
      dialogs.SendDlgItemMessageA(d, 1010, CB_ADDSTRING, 0, reinterpret_cast<intptr_t>(level));
      dialogs.SendDlgItemMessageA(d, 1012, CB_ADDSTRING, 0, reinterpret_cast<intptr_t>(level));
    }
    EXPECT_EQ(dialogs.SendDlgItemMessageA(d, 1010, CB_SETCURSEL, 2, 0), 2);
    EXPECT_EQ(dialogs.SendDlgItemMessageA(d, 1010, CB_SETITEMDATA, 2, reinterpret_cast<intptr_t>(&itemData)), 1);
    dialogs.SendDlgItemMessageA(d, 1012, CB_SETCURSEL, 1, 0);
    dialogs.SendDlgItemMessageA(d, 1012, CB_RESETCONTENT, 0, 0);
    dialogs.SendDlgItemMessageA(d, 1012, CB_ADDSTRING, 0, reinterpret_cast<intptr_t>("Only"));
    EXPECT_EQ(dialogs.SendDlgItemMessageA(d, 1012, CB_SETCURSEL, static_cast<uintptr_t>(-1), 0), CB_ERR);
    // Messages a control does not answer, and controls that are not there.
    EXPECT_EQ(dialogs.SendDlgItemMessageA(d, IDOK, CB_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(dialogs.SendDlgItemMessageA(d, 4321, CB_GETCOUNT, 0, 0), 0);
    EXPECT_FALSE(dialogs.CheckDlgButton(d, 4321, BST_CHECKED));
    EXPECT_FALSE(dialogs.CheckDlgButton(d, 1014, 3));
    WhenShown(d, [&, d] {
      EXPECT_TRUE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(Widget(d, 1014))));
      EXPECT_EQ(dialogs.IsDlgButtonChecked(d, 1014), BST_CHECKED);
      GtkComboBox* particles = GTK_COMBO_BOX(Widget(d, 1010));
      EXPECT_EQ(gtk_combo_box_get_active(particles), 2);
      gchar* text = gtk_combo_box_text_get_active_text(GTK_COMBO_BOX_TEXT(particles));
      EXPECT_STREQ(text, "High");
      g_free(text);
      EXPECT_EQ(gtk_tree_model_iter_n_children(gtk_combo_box_get_model(particles), nullptr), 3);
      EXPECT_EQ(dialogs.SendDlgItemMessageA(d, 1010, CB_GETITEMDATA, 2, 0), reinterpret_cast<intptr_t>(&itemData));
      char buffer[8] = {};
      EXPECT_EQ(dialogs.SendDlgItemMessageA(d, 1010, CB_GETLBTEXT, 1, reinterpret_cast<intptr_t>(buffer)), 3);
      EXPECT_STREQ(buffer, "Med");
      GtkComboBox* smoke = GTK_COMBO_BOX(Widget(d, 1012));
      EXPECT_EQ(gtk_combo_box_get_active(smoke), -1);
      EXPECT_EQ(dialogs.SendDlgItemMessageA(d, 1012, CB_GETCURSEL, 0, 0), CB_ERR);
      EXPECT_EQ(dialogs.SendDlgItemMessageA(d, 1012, CB_GETCOUNT, 0, 0), 1);
      // Unchecking from the procedure does not notify either.
      dialogs.CheckDlgButton(d, 1014, BST_UNCHECKED);
      EXPECT_FALSE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(Widget(d, 1014))));
      // Whatever GTK would have queued has run by the time this ends the dialog.
      After(150, [this, d] { dialogs.EndDialog(d, 1); });
    });
    return 1;
  };
  EXPECT_EQ(dialogs.DialogBoxParamA(instance, 151, NoWindow, OuterProc, 0), 1);
  EXPECT_TRUE(commands.empty()) << commands.size() << " notifications, the first from " << commands[0].id;
}

TEST_F(GtkDialogsTest, AUserSelectionNotifiesChangeThenEndOkOnce) {
  std::vector<intptr_t> selectionsSeen;
  outerProcedure = [&](Window d, uint32_t message, uintptr_t wParam, intptr_t) -> intptr_t {
    auto fill = [&](intptr_t selected) {
      dialogs.SendDlgItemMessageA(d, 1010, CB_RESETCONTENT, 0, 0);
      for (const char* level : {"Low", "Med", "High"}) {
        dialogs.SendDlgItemMessageA(d, 1010, CB_ADDSTRING, 0, reinterpret_cast<intptr_t>(level));
      }
      dialogs.SendDlgItemMessageA(d, 1010, CB_SETCURSEL, static_cast<uintptr_t>(selected), 0);
    };
    if (message == WM_INITDIALOG) {
      fill(2);
      WhenShown(d, [this, d] { gtk_combo_box_set_active(GTK_COMBO_BOX(Widget(d, 1010)), 0); });
      return 1;
    }
    if (message == WM_COMMAND && LoWord(wParam) == 1010) {
      selectionsSeen.push_back(dialogs.SendDlgItemMessageA(d, 1010, CB_GETCURSEL, 0, 0));
      // Refilling the list the user just used, as the device dialog does, says nothing.
      if (HiWord(wParam) == CBN_SELENDOK) {
        fill(1);
        After(150, [this, d] { dialogs.EndDialog(d, IDOK); });
      }
    }
    return 0;
  };
  EXPECT_EQ(dialogs.DialogBoxParamA(instance, 151, NoWindow, OuterProc, 0), IDOK);
  ASSERT_EQ(commands.size(), 2u);
  EXPECT_EQ(commands[0].code, CBN_SELCHANGE);
  EXPECT_EQ(commands[1].code, CBN_SELENDOK);
  EXPECT_EQ(commands[0].lParam, commands[1].lParam);
  EXPECT_EQ(selectionsSeen, (std::vector<intptr_t>{0, 0}));
}

TEST_F(GtkDialogsTest, ClicksFlipAutomaticCheckBoxesOnly) {
  const std::vector<uint8_t> bytes = test::TemplateBuilder(0x80C800C0u, 0, 0, 120, 60, "Boxes")
                                         .Item("BUTTON", "Automatic", 10, 0x50010003u, 5, 5, 80, 10)
                                         .Item("BUTTON", "Plain", 11, 0x50010002u, 5, 20, 80, 10)
                                         .Bytes();
  std::vector<uint32_t> statesSeen;
  outerProcedure = [&](Window d, uint32_t message, uintptr_t wParam, intptr_t) -> intptr_t {
    if (message == WM_INITDIALOG) {
      WhenShown(d, [this, d] {
        gtk_button_clicked(GTK_BUTTON(Widget(d, 10)));
        gtk_button_clicked(GTK_BUTTON(Widget(d, 11)));
        dialogs.EndDialog(d, 3);
      });
      return 1;
    }
    if (message == WM_COMMAND) statesSeen.push_back(dialogs.IsDlgButtonChecked(d, LoWord(wParam)));
    return 0;
  };
  EXPECT_EQ(dialogs.DialogBoxIndirectParamA(instance, bytes.data(), static_cast<uint32_t>(bytes.size()), NoWindow,
                                            OuterProc, 0),
            3);
  ASSERT_EQ(commands.size(), 2u);
  EXPECT_EQ(commands[0].id, 10);
  EXPECT_EQ(commands[1].id, 11);
  EXPECT_EQ(commands[1].code, BN_CLICKED);
  EXPECT_EQ(statesSeen, (std::vector<uint32_t>{BST_CHECKED, BST_UNCHECKED}));
}

TEST_F(GtkDialogsTest, EscTheCloseBoxAndEnterAsThePlatformSendsThem) {
  outerProcedure = [&](Window d, uint32_t message, uintptr_t, intptr_t) -> intptr_t {
    if (message != WM_INITDIALOG) return 0;  // records only: the dialog stays open
    WhenShown(d, [this, d] {
      PressKey(d, GDK_KEY_Escape);
      GdkEvent* close = gdk_event_new(GDK_DELETE);
      close->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(DialogWindow(d))));
      close->any.send_event = TRUE;
      gtk_main_do_event(close);
      gdk_event_free(close);
      EXPECT_NE(DialogWindow(d), nullptr);  // the close box alone does not close it
      // Enter from a drop-down list: the default button's command.
      gtk_widget_grab_focus(Widget(d, 1010));  // empty, and still focusable as on the platform
      PressKey(d, GDK_KEY_Return);
      // Enter on a push button presses that button.
      gtk_widget_grab_focus(Widget(d, IDCANCEL));
      PressKey(d, GDK_KEY_KP_Enter);
      After(600, [this, d] { dialogs.EndDialog(d, 0); });
    });
    return 1;
  };
  EXPECT_EQ(dialogs.DialogBoxParamA(instance, 151, NoWindow, OuterProc, 0), 0);
  std::vector<int32_t> ids;
  for (const Command& command : commands) {
    ids.push_back(command.id);
    EXPECT_EQ(command.code, BN_CLICKED);
    EXPECT_TRUE(InRange(Window{static_cast<uintptr_t>(command.lParam)}));
  }
  EXPECT_EQ(ids, (std::vector<int32_t>{IDCANCEL, IDCANCEL, IDOK, IDCANCEL}));
}

TEST_F(GtkDialogsTest, DialogsNestUnderTheirOwner) {
  const std::vector<uint8_t> outer = test::TemplateBuilder(0x90C800C0u, 10, 10, 120, 60, "Outer")
                                         .Item("BUTTON", "More", 100, 0x50010000u, 5, 5, 50, 14)
                                         .Item("BUTTON", "Flag", 101, 0x50010003u, 5, 25, 50, 10)
                                         .Bytes();
  const std::vector<uint8_t> inner = test::TemplateBuilder(0x90C808C0u, 0, 0, 100, 40, "Inner")
                                         .Item("BUTTON", "OK", IDOK, 0x50010000u, 5, 5, 40, 14)
                                         .Bytes();
  Window outerDialog{}, innerDialog{};
  intptr_t innerResult = 0;
  outerProcedure = [&](Window d, uint32_t message, uintptr_t wParam, intptr_t) -> intptr_t {
    if (message == WM_INITDIALOG) {
      outerDialog = d;
      WhenShown(d, [this, d] { gtk_button_clicked(GTK_BUTTON(Widget(d, 100))); });
      return 1;
    }
    if (message == WM_COMMAND && LoWord(wParam) == 100) {
      const auto owned = static_cast<Instance>(dialogs.GetWindowLongA(d, GWL_HINSTANCE));
      innerResult = dialogs.DialogBoxIndirectParamA(owned, inner.data(), static_cast<uint32_t>(inner.size()), d,
                                                    InnerProc, 99);
      // The outer dialog is still running, and only ends now.
      EXPECT_TRUE(dialogs.CheckDlgButton(d, 101, BST_CHECKED));
      dialogs.EndDialog(d, 9);
    }
    return 0;
  };
  innerProcedure = [&](Window d, uint32_t message, uintptr_t wParam, intptr_t lParam) -> intptr_t {
    if (message == WM_INITDIALOG) {
      innerDialog = d;
      EXPECT_EQ(lParam, 99);
      EXPECT_EQ(dialogs.GetWindowLongA(d, GWL_HINSTANCE), static_cast<intptr_t>(instance));
      WhenShown(d, [this, d, &outerDialog] {
        GtkWindow* window = GTK_WINDOW(DialogWindow(d));
        EXPECT_EQ(gtk_window_get_transient_for(window), GTK_WINDOW(DialogWindow(outerDialog)));
        EXPECT_TRUE(gtk_window_get_modal(window));
        gtk_button_clicked(GTK_BUTTON(Widget(d, IDOK)));
      });
      return 1;
    }
    if (message == WM_COMMAND && LoWord(wParam) == IDOK) dialogs.EndDialog(d, 5);
    return 0;
  };
  EXPECT_EQ(dialogs.DialogBoxIndirectParamA(instance, outer.data(), static_cast<uint32_t>(outer.size()), NoWindow,
                                            OuterProc, 0),
            9);
  EXPECT_EQ(innerResult, 5);
  EXPECT_TRUE(InRange(outerDialog));
  EXPECT_TRUE(InRange(innerDialog));
  EXPECT_NE(outerDialog, innerDialog);
}

TEST_F(GtkDialogsTest, WidgetsTakeTheirTemplateRectangles) {
  bool checked = false;
  outerProcedure = [&](Window d, uint32_t message, uintptr_t, intptr_t) -> intptr_t {
    if (message != WM_INITDIALOG) return 0;
    WhenShown(d, [&, d] {
      ASSERT_EQ(layouts.size(), 1u);
      const GtkDialogLayout& layout = layouts[0];
      // The project's dialog font is installed: its base units are those of the platform's.
      EXPECT_EQ(layout.base.x, 6);
      EXPECT_EQ(layout.base.y, 13);
      GtkWidget* window = DialogWindow(d);
      GtkWidget* client = gtk_bin_get_child(GTK_BIN(window));
      EXPECT_EQ(gtk_widget_get_allocated_width(client), layout.width);
      EXPECT_EQ(gtk_widget_get_allocated_height(client), layout.height);
      for (int32_t id : {IDOK, IDCANCEL, 1009, -1, 1010, 1012, 1014}) {
        const GtkControlLayout* control = nullptr;
        for (const GtkControlLayout& c : layout.controls) {
          if (c.id == id) {
            control = &c;
            break;
          }
        }
        ASSERT_NE(control, nullptr);
        GtkAllocation allocation;
        gtk_widget_get_allocation(Widget(d, id), &allocation);
        EXPECT_EQ(allocation.x, control->x) << id;
        EXPECT_EQ(allocation.y, control->y) << id;
        EXPECT_EQ(allocation.width, control->width) << id;
        EXPECT_EQ(allocation.height, control->height) << id;
      }
      // The first id -1 is the picture, at the bitmap's size.
      EXPECT_EQ(gtk_widget_get_allocated_width(Widget(d, -1)), 152);
      EXPECT_EQ(gtk_widget_get_allocated_height(Widget(d, -1)), 118);
      checked = true;
      dialogs.EndDialog(d, 1);
    });
    return 1;
  };
  EXPECT_EQ(dialogs.DialogBoxParamA(instance, 151, NoWindow, OuterProc, 0), 1);
  EXPECT_TRUE(checked);
}

// A program asked to end (a signal) cancels its dialogs: the dialog in front first, so that
// no procedure hears of a cancel while a dialog it opened is still running, then its owner.
TEST_F(GtkDialogsTest, ACancelRequestCancelsTheInnermostDialogFirst) {
  const std::vector<uint8_t> inner = test::TemplateBuilder(0x90C808C0u, 0, 0, 100, 40, "Inner")
                                         .Item("BUTTON", "OK", IDOK, 0x50010000u, 5, 5, 40, 14)
                                         .Bytes();
  bool requested = false;
  int asked = 0;
  dialogs.SetCancelRequest([&] {
    ++asked;
    return requested;
  });
  Window outerDialog{}, innerDialog{};
  bool innerRunningAtOuterCancel = true;
  intptr_t innerResult = 0;
  std::chrono::steady_clock::time_point requestedAt, innerCancelledAt, outerCancelledAt;
  outerProcedure = [&](Window d, uint32_t message, uintptr_t wParam, intptr_t) -> intptr_t {
    if (message == WM_INITDIALOG) {
      outerDialog = d;
      WhenShown(d, [this, d] { gtk_button_clicked(GTK_BUTTON(Widget(d, 1009))); });
      return 1;
    }
    if (message != WM_COMMAND) return 0;
    if (LoWord(wParam) == 1009) {
      innerResult = dialogs.DialogBoxIndirectParamA(instance, inner.data(), static_cast<uint32_t>(inner.size()), d,
                                                    InnerProc, 0);
    } else if (LoWord(wParam) == IDCANCEL) {
      outerCancelledAt = std::chrono::steady_clock::now();
      innerRunningAtOuterCancel = dialogs.NativeWindow(innerDialog) != nullptr;
      dialogs.EndDialog(d, IDCANCEL);
    }
    return 0;
  };
  innerProcedure = [&](Window d, uint32_t message, uintptr_t wParam, intptr_t) -> intptr_t {
    if (message == WM_INITDIALOG) {
      innerDialog = d;
      // Asked several times over before the request comes, the dialogs stay.
      WhenShown(d, [&] {
        After(400, [&] {
          EXPECT_GE(asked, 2);
          EXPECT_EQ(commands.size(), 1u);  // the click that opened the inner dialog
          requested = true;
          requestedAt = std::chrono::steady_clock::now();
        });
      });
      return 1;
    }
    if (message == WM_COMMAND && LoWord(wParam) == IDCANCEL) {
      innerCancelledAt = std::chrono::steady_clock::now();
      dialogs.EndDialog(d, IDCANCEL);
    }
    return 0;
  };
  EXPECT_EQ(dialogs.DialogBoxParamA(instance, 151, NoWindow, OuterProc, 0), IDCANCEL);
  EXPECT_EQ(innerResult, IDCANCEL);
  ASSERT_EQ(commands.size(), 3u);
  EXPECT_EQ(commands[1], (Command{innerDialog, IDCANCEL, BN_CLICKED, 0}));
  EXPECT_EQ(commands[2].dialog, outerDialog);
  EXPECT_EQ(commands[2].id, IDCANCEL);
  EXPECT_FALSE(innerRunningAtOuterCancel);
  // Both within a second of the request, as a signal must end the program.
  EXPECT_LT(innerCancelledAt - requestedAt, std::chrono::milliseconds(500));
  EXPECT_LT(outerCancelledAt - requestedAt, std::chrono::milliseconds(1000));
}

TEST_F(GtkDialogsTest, TheToolkitStartedCallbackRunsOnceBeforeTheFirstDialogIsInitialised) {
  int started = 0;
  std::vector<int> startedAtInit;
  dialogs.SetToolkitStarted([&] { ++started; });
  outerProcedure = [&](Window d, uint32_t message, uintptr_t, intptr_t) -> intptr_t {
    if (message == WM_INITDIALOG) {
      startedAtInit.push_back(started);
      dialogs.EndDialog(d, IDOK);
    }
    return 1;
  };
  EXPECT_EQ(dialogs.DialogBoxParamA(instance, 151, NoWindow, OuterProc, 0), IDOK);
  EXPECT_EQ(dialogs.DialogBoxParamA(instance, 151, NoWindow, OuterProc, 0), IDOK);
  EXPECT_EQ(startedAtInit, (std::vector<int>{1, 1}));
}

// A dialog whose window vanishes is cancelled as by its close box, and ends even when its
// procedure does not end it; the procedure may still use its controls meanwhile.
TEST_F(GtkDialogsTest, ADialogDestroyedByAnotherProgramIsCancelled) {
  for (const bool procedureEndsIt : {true, false}) {
    SCOPED_TRACE(procedureEndsIt ? "the procedure ends it" : "the procedure does not");
    commands.clear();
    Window dialog{};
    outerProcedure = [&](Window d, uint32_t message, uintptr_t wParam, intptr_t) -> intptr_t {
      if (message == WM_INITDIALOG) {
        dialog = d;
        WhenShown(d, [this, d] { EXPECT_TRUE(test::DestroyFromOtherClient(DialogWindow(d))); });
        return 1;
      }
      if (message == WM_COMMAND && LoWord(wParam) == IDCANCEL) {
        EXPECT_TRUE(dialogs.CheckDlgButton(d, 1014, BST_CHECKED));
        EXPECT_EQ(dialogs.IsDlgButtonChecked(d, 1014), BST_CHECKED);
        if (procedureEndsIt) dialogs.EndDialog(d, 77);
      }
      return 0;
    };
    EXPECT_EQ(dialogs.DialogBoxParamA(instance, 151, NoWindow, OuterProc, 0), procedureEndsIt ? 77 : IDCANCEL);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].dialog, dialog);
    EXPECT_EQ(commands[0].id, IDCANCEL);
    EXPECT_EQ(dialogs.NativeWindow(dialog), nullptr);
  }
}

// The show's trace prints numbers with the C library; a locale taken from the environment
// (this test runs with LC_ALL=C.UTF-8) would be GTK's doing.
TEST_F(GtkDialogsTest, TheToolkitLeavesTheProcessLocaleAlone) {
  EXPECT_STREQ(std::setlocale(LC_ALL, nullptr), "C");
}

TEST_F(GtkDialogsTest, ATemplateWithAControlItCannotShowIsRefused) {
  const std::vector<uint8_t> bytes = test::TemplateBuilder(0x80C800C0u, 0, 0, 100, 40, "Edit")
                                         .Item("EDIT", "", 10, 0x50010080u, 5, 5, 80, 12)
                                         .Bytes();
  int messages = 0;
  outerProcedure = [&](Window, uint32_t, uintptr_t, intptr_t) -> intptr_t { return ++messages; };
  EXPECT_EQ(dialogs.DialogBoxIndirectParamA(instance, bytes.data(), static_cast<uint32_t>(bytes.size()), NoWindow,
                                            OuterProc, 0),
            -1);
  EXPECT_EQ(messages, 0);
  EXPECT_TRUE(created.empty());
}

}  // namespace
}  // namespace nb
