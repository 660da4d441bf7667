// GTK 3 dialogs over the program's dialog procedures.
//
// Every procedure call happens on the GTK thread, from a signal handler or from Run; a
// procedure may open another dialog from there, whose loop then runs inside the handler,
// as the platform's nested modal loops do. Changes the procedure makes to a control are
// made with the control "quiet", so that GTK's own change signals do not come back as
// notifications. A selection the user makes is reported from a high-priority idle
// callback rather than from inside GTK's change signal: the procedure usually refills the
// very list whose menu is still being handled then.
#include "platform/sdl/gtk_dialogs.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>

#include "platform/result.h"
#include "platform/window.h"
#include "resources/bmp24.h"

namespace nb {

struct GtkDialogSystem::Control {
  Dialog* dialog = nullptr;
  GtkControlLayout layout;
  Window handle{};
  GtkWidget* widget = nullptr;
  ComboItems items;
  int32_t quiet = 0;  // > 0 while the procedure's own change is made to the widget
};

struct GtkDialogSystem::Dialog {
  const std::function<void(const GtkDialogEvent&)>* observer = nullptr;
  Window handle{};
  Instance instance{};
  DLGPROC procedure = nullptr;
  GtkDialogLayout layout;
  GtkWidget* window = nullptr;
  std::vector<std::unique_ptr<Control>> controls;
  bool ended = false;
  intptr_t result = 0;
  bool closing = false;
  std::vector<Control*> selections;  // user selections not yet reported
  guint selectionSource = 0;
  const std::function<bool()>* cancelRequest = nullptr;
  const std::vector<Dialog*>* running = nullptr;  // the system's, innermost last
  bool vanished = false;  // its window was destroyed by another program
};

namespace {

using Dialog = GtkDialogSystem::Dialog;
using Control = GtkDialogSystem::Control;

// Button paddings and minimum sizes of the default theme are made for roomier layouts
// than dialog units give; these rules let the widgets take their template's size.
constexpr const char* compactCss = R"(
.nb-dialog button { min-height: 0; min-width: 0; padding: 1px 6px; }
.nb-dialog combobox button { padding: 0 4px 0 6px; }
.nb-dialog combobox arrow { min-width: 12px; min-height: 12px; }
.nb-dialog checkbutton { padding: 0; min-height: 0; }
.nb-dialog checkbutton check { min-width: 13px; min-height: 13px; margin: 0 5px 0 0; }
.nb-dialog frame > border { border-radius: 0; }
)";

std::string Utf8(const std::string& text) {
  gchar* valid = g_utf8_make_valid(text.c_str(), static_cast<gssize>(text.size()));
  std::string out = valid;
  g_free(valid);
  return out;
}

void AddProvider(const std::string& css) {
  GtkCssProvider* provider = gtk_css_provider_new();
  gtk_css_provider_load_from_data(provider, css.c_str(), -1, nullptr);
  gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(provider),
                                            GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_object_unref(provider);
}

// The style class that gives a dialog (and everything in it) its font; one provider per
// font for the life of the process.
std::string FontClass(const DialogFont& font) {
  static std::map<std::string, std::string> classes;
  const std::string key = font.families + "|" + std::to_string(font.points);
  if (auto it = classes.find(key); it != classes.end()) return it->second;
  const std::string name = "nb-font-" + std::to_string(classes.size());
  std::string families;
  size_t start = 0;
  while (start < font.families.size()) {
    size_t end = font.families.find(',', start);
    if (end == std::string::npos) end = font.families.size();
    std::string family = font.families.substr(start, end - start);
    family.erase(0, family.find_first_not_of(' '));
    family.erase(family.find_last_not_of(' ') + 1);
    if (!family.empty() && family.find('"') == std::string::npos) {
      families += (families.empty() ? "\"" : ", \"") + family + "\"";
    }
    start = end + 1;
  }
  AddProvider("." + name + ", ." + name + " * { font-family: " + families + "; font-size: " +
              std::to_string(font.points) + "pt; }");
  classes[key] = name;
  return name;
}

void AddClass(GtkWidget* widget, const std::string& name) {
  gtk_style_context_add_class(gtk_widget_get_style_context(widget), name.c_str());
}

// The platform measures the average width of the letters and the height of a line.
DialogBaseUnits MeasureBaseUnits(GtkWidget* widget, const DialogFont& font) {
  PangoLayout* layout =
      gtk_widget_create_pango_layout(widget, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  PangoFontDescription* description = pango_font_description_new();
  pango_font_description_set_family(description, font.families.c_str());
  pango_font_description_set_size(description, font.points * PANGO_SCALE);
  pango_layout_set_font_description(layout, description);
  int width = 0, height = 0;
  pango_layout_get_pixel_size(layout, &width, &height);
  pango_font_description_free(description);
  g_object_unref(layout);
  return {AverageCharWidth(width), height};
}

struct Picture {
  uint32_t width = 0, height = 0;
  std::vector<uint8_t> rgb;  // top row first
};

bool LoadPicture(System& resources, uint16_t id, Picture* out) {
  const ResourceData data = resources.FindResourceData("BITMAP", id);
  if (!data.data) return false;
  return DecodeBmp24(data.data, data.size, &out->width, &out->height, &out->rgb) == 0;
}

GdkPixbuf* MakePixbuf(const Picture& picture) {
  GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, static_cast<int>(picture.width),
                                     static_cast<int>(picture.height));
  if (!pixbuf) return nullptr;
  const int stride = gdk_pixbuf_get_rowstride(pixbuf);
  guchar* pixels = gdk_pixbuf_get_pixels(pixbuf);
  for (uint32_t y = 0; y < picture.height; ++y) {
    std::copy_n(picture.rgb.data() + static_cast<size_t>(y) * picture.width * 3, picture.width * 3,
                pixels + static_cast<size_t>(y) * stride);
  }
  return pixbuf;
}

// ---- Messages to the procedure

void Notify(Dialog* dialog, const GtkDialogEvent& event) {
  if (*dialog->observer) (*dialog->observer)(event);
}

intptr_t Send(Dialog* dialog, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  GtkDialogEvent event;
  event.kind = GtkDialogEvent::Kind::Message;
  event.dialog = dialog->handle;
  event.message = message;
  event.wParam = wParam;
  event.lParam = lParam;
  Notify(dialog, event);
  return dialog->procedure(dialog->handle, message, wParam, lParam);
}

void Command(Dialog* dialog, int32_t id, uint16_t code, Window control) {
  if (dialog->ended || dialog->closing) return;
  Send(dialog, WM_COMMAND, MakeWParam(static_cast<uint16_t>(id), code), static_cast<intptr_t>(control));
}

// A command the platform makes itself (Esc, Enter, the close box) carries the handle of the
// control with that id, if there is one.
void CommandFor(Dialog* dialog, int32_t id) {
  Window control{};
  for (const auto& c : dialog->controls) {
    if (c->layout.id == id) {
      control = c->handle;
      break;
    }
  }
  Command(dialog, id, BN_CLICKED, control);
}

void OnClicked(GtkButton*, gpointer data) {
  auto* control = static_cast<Control*>(data);
  if (control->quiet == 0) Command(control->dialog, control->layout.id, BN_CLICKED, control->handle);
}

void OnToggled(GtkToggleButton* button, gpointer data) {
  auto* control = static_cast<Control*>(data);
  if (control->quiet > 0 || control->dialog->closing) return;
  ++control->quiet;
  gtk_toggle_button_set_inconsistent(button, FALSE);
  // A plain check box keeps its state until the procedure sets it.
  if (control->layout.kind == ControlKind::CheckBox) {
    gtk_toggle_button_set_active(button, !gtk_toggle_button_get_active(button));
  }
  --control->quiet;
  Command(control->dialog, control->layout.id, BN_CLICKED, control->handle);
}

gboolean ReportSelections(gpointer data) {
  auto* dialog = static_cast<Dialog*>(data);
  dialog->selectionSource = 0;
  std::vector<Control*> pending;
  pending.swap(dialog->selections);
  for (Control* control : pending) {
    Command(dialog, control->layout.id, CBN_SELCHANGE, control->handle);
    Command(dialog, control->layout.id, CBN_SELENDOK, control->handle);
  }
  return G_SOURCE_REMOVE;
}

void OnChanged(GtkComboBox* combo, gpointer data) {
  auto* control = static_cast<Control*>(data);
  Dialog* dialog = control->dialog;
  if (control->quiet > 0 || dialog->closing || dialog->ended) return;
  control->items.Select(gtk_combo_box_get_active(combo));
  dialog->selections.push_back(control);
  if (dialog->selectionSource == 0) {
    dialog->selectionSource = g_idle_add_full(G_PRIORITY_HIGH, ReportSelections, dialog, nullptr);
  }
}

gboolean OnKeyPress(GtkWidget* window, GdkEventKey* event, gpointer data) {
  auto* dialog = static_cast<Dialog*>(data);
  if (dialog->ended || dialog->closing) return FALSE;
  const guint modifiers = event->state & gtk_accelerator_get_default_mod_mask();
  if (modifiers & (GDK_CONTROL_MASK | GDK_MOD1_MASK)) return FALSE;
  switch (event->keyval) {
    case GDK_KEY_Escape:
      CommandFor(dialog, IDCANCEL);
      return TRUE;
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
    case GDK_KEY_ISO_Enter: {
      GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(window));
      for (const auto& control : dialog->controls) {
        const bool pushButton = control->layout.kind == ControlKind::PushButton ||
                                control->layout.kind == ControlKind::DefaultPushButton;
        // Enter presses the push button that has the focus, as on the platform.
        if (pushButton && control->widget == focus) return FALSE;
      }
      CommandFor(dialog, dialog->layout.defaultId);
      return TRUE;
    }
    default:
      return FALSE;
  }
}

// Only the dialog in front is cancelled: its owner hears of the request once the nested
// dialog has ended and the owner's own loop runs again.
gboolean PollCancelRequest(gpointer data) {
  auto* dialog = static_cast<Dialog*>(data);
  if (dialog->running->empty() || dialog->running->back() != dialog) return G_SOURCE_CONTINUE;
  if (!dialog->ended && !dialog->closing && (*dialog->cancelRequest)()) CommandFor(dialog, IDCANCEL);
  return G_SOURCE_CONTINUE;
}

// The dialog's X window was destroyed by another program. The widget is kept (GTK would
// destroy it, and the controls with it, while the procedure may still use them), the
// procedure hears a cancel as from the close box, and a dialog it does not end ends
// anyway: nobody could close it any more.
gboolean OnVanished(GtkWidget*, GdkEvent*, gpointer data) {
  auto* dialog = static_cast<Dialog*>(data);
  if (dialog->vanished || dialog->closing) return TRUE;
  dialog->vanished = true;
  CommandFor(dialog, IDCANCEL);
  if (!dialog->ended) {
    dialog->ended = true;
    dialog->result = IDCANCEL;
    g_main_context_wakeup(nullptr);
  }
  return TRUE;
}

gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer data) {
  auto* dialog = static_cast<Dialog*>(data);
  if (!dialog->ended && !dialog->closing) CommandFor(dialog, IDCANCEL);
  return TRUE;  // the procedure decides; the window stays until EndDialog
}

// ---- Building

GtkWidget* MakeWidget(Control* control, System& resources, const std::string& fontClass) {
  const GtkControlLayout& layout = control->layout;
  GtkWidget* widget = nullptr;
  switch (layout.kind) {
    case ControlKind::PushButton:
    case ControlKind::DefaultPushButton:
      widget = gtk_button_new_with_mnemonic(Utf8(MnemonicText(layout.text)).c_str());
      g_signal_connect(widget, "clicked", G_CALLBACK(OnClicked), control);
      break;
    case ControlKind::CheckBox:
    case ControlKind::AutoCheckBox:
      widget = gtk_check_button_new_with_mnemonic(Utf8(MnemonicText(layout.text)).c_str());
      g_signal_connect(widget, "toggled", G_CALLBACK(OnToggled), control);
      break;
    case ControlKind::GroupBox:
      widget = gtk_frame_new(Utf8(PlainText(layout.text)).c_str());
      gtk_frame_set_label_align(GTK_FRAME(widget), 0.04f, 0.5f);
      break;
    case ControlKind::Text: {
      widget = gtk_label_new_with_mnemonic(Utf8(MnemonicText(layout.text)).c_str());
      GtkLabel* label = GTK_LABEL(widget);
      gtk_label_set_xalign(label, layout.xAlign);
      gtk_label_set_yalign(label, 0.0f);
      gtk_label_set_justify(label, layout.xAlign > 0.75f   ? GTK_JUSTIFY_RIGHT
                                   : layout.xAlign > 0.25f ? GTK_JUSTIFY_CENTER
                                                           : GTK_JUSTIFY_LEFT);
      if (layout.wrap) {
        gtk_label_set_line_wrap(label, TRUE);
        gtk_label_set_line_wrap_mode(label, PANGO_WRAP_WORD);
      }
      break;
    }
    case ControlKind::Picture: {
      Picture picture;
      GdkPixbuf* pixbuf = LoadPicture(resources, layout.bitmap, &picture) ? MakePixbuf(picture) : nullptr;
      widget = pixbuf ? gtk_image_new_from_pixbuf(pixbuf) : gtk_image_new();
      if (pixbuf) g_object_unref(pixbuf);
      gtk_widget_set_halign(widget, GTK_ALIGN_START);
      gtk_widget_set_valign(widget, GTK_ALIGN_START);
      break;
    }
    case ControlKind::DropDownList: {
      widget = gtk_combo_box_text_new();
      // An empty list stays usable (focus, Tab, Enter), as the platform's does.
      gtk_combo_box_set_button_sensitivity(GTK_COMBO_BOX(widget), GTK_SENSITIVITY_ON);
      control->items = ComboItems(layout.sorted);
      g_signal_connect(widget, "changed", G_CALLBACK(OnChanged), control);
      // The open list is a window of its own, outside the dialog's style classes.
      if (AtkObject* popup = gtk_combo_box_get_popup_accessible(GTK_COMBO_BOX(widget))) {
        if (GTK_IS_ACCESSIBLE(popup)) {
          if (GtkWidget* menu = gtk_accessible_get_widget(GTK_ACCESSIBLE(popup))) AddClass(menu, fontClass);
        }
      }
      break;
    }
  }
  gtk_widget_set_size_request(widget, layout.width, layout.height);
  gtk_widget_set_sensitive(widget, layout.enabled);
  return widget;
}

}  // namespace

GtkDialogSystem::GtkDialogSystem(System& resources, HandleRange handles)
    : resources_(resources), handles_(handles) {}

GtkDialogSystem::~GtkDialogSystem() = default;

bool GtkDialogSystem::ToolkitAvailable() {
  static int state = 0;  // 0 not tried, 1 ready, -1 no display
  if (state == 0) {
    // The show's numbers are printed and parsed with the C locale; GTK must not change it.
    gtk_disable_setlocale();
    state = gtk_init_check(nullptr, nullptr) ? 1 : -1;
    if (state == 1) AddProvider(compactCss);
  }
  return state == 1;
}

intptr_t GtkDialogSystem::DialogBoxParamA(Instance instance, uint32_t templateId, Window owner, DLGPROC procedure,
                                          intptr_t param) {
  const ResourceData data = resources_.FindResourceData("DIALOG", templateId);
  if (!data.data) {
    std::fprintf(stderr, "nightbloom: dialog resource %u is missing\n", static_cast<unsigned>(templateId));
    return -1;
  }
  DialogTemplate dialogTemplate;
  if (ParseDialogTemplate(data.data, data.size, &dialogTemplate) != S_OK) {
    std::fprintf(stderr, "nightbloom: dialog resource %u is malformed\n", static_cast<unsigned>(templateId));
    return -1;
  }
  return Run(instance, dialogTemplate, owner, procedure, param);
}

intptr_t GtkDialogSystem::DialogBoxIndirectParamA(Instance instance, const uint8_t* dialogTemplate,
                                                  uint32_t templateBytes, Window owner, DLGPROC procedure,
                                                  intptr_t param) {
  DialogTemplate parsed;
  if (ParseDialogTemplate(dialogTemplate, templateBytes, &parsed) != S_OK) {
    std::fprintf(stderr, "nightbloom: a dialog template built in memory is malformed\n");
    return -1;
  }
  return Run(instance, parsed, owner, procedure, param);
}

intptr_t GtkDialogSystem::Run(Instance instance, const DialogTemplate& dialogTemplate, Window owner,
                              DLGPROC procedure, intptr_t param) {
  if (!procedure || !ToolkitAvailable()) return -1;
  if (!toolkitStartedReported_) {
    toolkitStartedReported_ = true;
    if (toolkitStarted_) toolkitStarted_();
  }

  auto dialog = std::make_unique<Dialog>();
  Dialog* d = dialog.get();
  d->observer = &observer_;
  d->instance = instance;
  d->procedure = procedure;
  d->running = &running_;

  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  const bool hasFont = (dialogTemplate.style & DS_SETFONT) != 0;
  const DialogFont font = MapDialogFont(hasFont ? dialogTemplate.fontName : std::string(),
                                        hasFont ? dialogTemplate.pointSize : 0);
  const DialogBaseUnits base = MeasureBaseUnits(window, font);
  const BitmapSizeLookup bitmapSize = [this](uint16_t id, int32_t* width, int32_t* height) {
    Picture picture;
    if (!LoadPicture(resources_, id, &picture)) return false;
    *width = static_cast<int32_t>(picture.width);
    *height = static_cast<int32_t>(picture.height);
    return true;
  };
  std::string error;
  if (LayoutDialog(dialogTemplate, base, bitmapSize, &d->layout, &error) != S_OK) {
    std::fprintf(stderr, "nightbloom: dialog \"%s\" cannot be shown: %s\n", dialogTemplate.title.c_str(),
                 error.c_str());
    gtk_widget_destroy(window);
    return -1;
  }

  d->handle = handles_.Allocate();
  for (const GtkControlLayout& layout : d->layout.controls) {
    auto control = std::make_unique<Control>();
    control->dialog = d;
    control->layout = layout;
    control->handle = handles_.Allocate();
    d->controls.push_back(std::move(control));
  }
  auto releaseHandles = [&] {
    for (const auto& control : d->controls) handles_.Release(control->handle);
    handles_.Release(d->handle);
  };
  if (IsNone(d->handle) ||
      std::any_of(d->controls.begin(), d->controls.end(), [](const auto& c) { return IsNone(c->handle); })) {
    std::fprintf(stderr, "nightbloom: no dialog handle is free\n");
    releaseHandles();
    gtk_widget_destroy(window);
    return -1;
  }

  d->window = window;
  GtkWindow* gtkWindow = GTK_WINDOW(window);
  const std::string fontClass = FontClass(d->layout.font);
  AddClass(window, "nb-dialog");
  AddClass(window, fontClass);
  gtk_window_set_title(gtkWindow, Utf8(d->layout.title).c_str());
  gtk_window_set_resizable(gtkWindow, FALSE);
  gtk_window_set_modal(gtkWindow, TRUE);
  gtk_window_set_deletable(gtkWindow, d->layout.closeBox);
  gtk_window_set_type_hint(gtkWindow, GDK_WINDOW_TYPE_HINT_DIALOG);
  gtk_window_set_skip_taskbar_hint(gtkWindow, (dialogTemplate.exStyle & WS_EX_TOOLWINDOW) != 0);
  Dialog* parent = FindDialog(owner);
  if (parent) {
    gtk_window_set_transient_for(gtkWindow, GTK_WINDOW(parent->window));
    gtk_window_set_destroy_with_parent(gtkWindow, TRUE);
  }
  switch (d->layout.placement) {
    case DialogPlacement::Centered:
      gtk_window_set_position(gtkWindow, GTK_WIN_POS_CENTER);
      break;
    case DialogPlacement::Screen:
      gtk_window_move(gtkWindow, d->layout.x, d->layout.y);
      break;
    case DialogPlacement::OwnerRelative: {
      gint originX = 0, originY = 0;
      if (parent && gtk_widget_get_window(parent->window)) {
        gdk_window_get_origin(gtk_widget_get_window(parent->window), &originX, &originY);
      }
      gtk_window_move(gtkWindow, originX + d->layout.x, originY + d->layout.y);
      break;
    }
  }

  // A GtkLayout rather than a GtkFixed: its size is the dialog's, whatever its children
  // would like, and it clips them to it as the platform's dialog does.
  GtkWidget* client = gtk_layout_new(nullptr, nullptr);
  gtk_layout_set_size(GTK_LAYOUT(client), static_cast<guint>(d->layout.width), static_cast<guint>(d->layout.height));
  gtk_widget_set_size_request(client, d->layout.width, d->layout.height);
  gtk_widget_set_can_focus(client, FALSE);
  gtk_container_add(GTK_CONTAINER(window), client);
  GList* focusChain = nullptr;
  Control* firstTabStop = nullptr;
  // Group boxes go in first, below the controls they surround.
  for (int pass = 0; pass < 2; ++pass) {
    for (const auto& control : d->controls) {
      if ((control->layout.kind == ControlKind::GroupBox) != (pass == 0)) continue;
      control->widget = MakeWidget(control.get(), resources_, fontClass);
      gtk_layout_put(GTK_LAYOUT(client), control->widget, control->layout.x, control->layout.y);
      if (control->layout.visible) gtk_widget_show_all(control->widget);
    }
  }
  for (const auto& control : d->controls) {
    const GtkControlLayout& layout = control->layout;
    if (layout.kind == ControlKind::DefaultPushButton && layout.id == d->layout.defaultId) {
      gtk_widget_set_can_default(control->widget, TRUE);
      gtk_window_set_default(gtkWindow, control->widget);
    }
    if (layout.tabStop) {
      focusChain = g_list_append(focusChain, control->widget);
      if (!firstTabStop && layout.visible && layout.enabled) firstTabStop = control.get();
    }
  }
  // Tab follows the template's order, not the widgets' positions.
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  gtk_container_set_focus_chain(GTK_CONTAINER(client), focusChain);
  G_GNUC_END_IGNORE_DEPRECATIONS
  g_list_free(focusChain);
  gtk_widget_show(client);
  g_signal_connect(window, "key-press-event", G_CALLBACK(OnKeyPress), d);
  g_signal_connect(window, "delete-event", G_CALLBACK(OnDelete), d);
  g_signal_connect(window, "destroy-event", G_CALLBACK(OnVanished), d);

  // A dialog's frame offers moving and closing only: no minimize or maximize box.
  gtk_widget_realize(window);
  gdk_window_set_functions(gtk_widget_get_window(window),
                           static_cast<GdkWMFunction>(GDK_FUNC_MOVE | (d->layout.closeBox ? GDK_FUNC_CLOSE : 0)));

  running_.push_back(d);
  GtkDialogEvent created;
  created.kind = GtkDialogEvent::Kind::Created;
  created.dialog = d->handle;
  created.layout = &d->layout;
  Notify(d, created);

  const Window focusHandle = firstTabStop ? firstTabStop->handle : NoWindow;
  const intptr_t setFocus = Send(d, WM_INITDIALOG, static_cast<uintptr_t>(focusHandle), param);
  if (!d->ended) {
    if (setFocus && firstTabStop) {
      gtk_window_set_focus(gtkWindow, firstTabStop->widget);
      // Tab moves on from the containers' focus children, which a focus set before the
      // window is shown leaves unset.
      gtk_container_set_focus_child(GTK_CONTAINER(client), firstTabStop->widget);
      gtk_container_set_focus_child(GTK_CONTAINER(window), client);
    }
    gtk_window_present(gtkWindow);
    guint cancelSource = 0;
    if (cancelRequest_) {
      d->cancelRequest = &cancelRequest_;
      cancelSource = g_timeout_add(100, PollCancelRequest, d);
    }
    while (!d->ended) g_main_context_iteration(nullptr, TRUE);
    if (cancelSource != 0) g_source_remove(cancelSource);
  }

  d->closing = true;
  if (d->selectionSource != 0) g_source_remove(d->selectionSource);
  gtk_widget_destroy(window);
  running_.erase(std::find(running_.begin(), running_.end(), d));
  releaseHandles();
  GtkDialogEvent ended;
  ended.kind = GtkDialogEvent::Kind::Ended;
  ended.dialog = d->handle;
  ended.result = d->result;
  Notify(d, ended);
  return d->result;
}

GtkDialogSystem::Dialog* GtkDialogSystem::FindDialog(Window handle) const {
  if (IsNone(handle)) return nullptr;
  for (Dialog* dialog : running_) {
    if (dialog->handle == handle) return dialog;
  }
  return nullptr;
}

GtkDialogSystem::Control* GtkDialogSystem::FindControl(Window dialog, int32_t id) const {
  Dialog* found = FindDialog(dialog);
  if (!found) return nullptr;
  for (const auto& control : found->controls) {
    if (control->layout.id == id) return control.get();
  }
  return nullptr;
}

bool GtkDialogSystem::EndDialog(Window dialog, intptr_t result) {
  Dialog* found = FindDialog(dialog);
  if (!found || found->ended) return false;
  found->ended = true;
  found->result = result;
  // The loop may be waiting for an event; this one makes it look at the flag.
  g_main_context_wakeup(nullptr);
  return true;
}

bool GtkDialogSystem::CheckDlgButton(Window dialog, int32_t id, uint32_t check) {
  Control* control = FindControl(dialog, id);
  if (!control || check > 2) return false;
  const ControlKind kind = control->layout.kind;
  if (kind != ControlKind::CheckBox && kind != ControlKind::AutoCheckBox) return true;  // ignored, as BM_SETCHECK
  GtkToggleButton* button = GTK_TOGGLE_BUTTON(control->widget);
  ++control->quiet;
  gtk_toggle_button_set_inconsistent(button, check == 2);
  gtk_toggle_button_set_active(button, check != BST_UNCHECKED);
  --control->quiet;
  return true;
}

uint32_t GtkDialogSystem::IsDlgButtonChecked(Window dialog, int32_t id) {
  Control* control = FindControl(dialog, id);
  if (!control) return BST_UNCHECKED;
  const ControlKind kind = control->layout.kind;
  if (kind != ControlKind::CheckBox && kind != ControlKind::AutoCheckBox) return BST_UNCHECKED;
  GtkToggleButton* button = GTK_TOGGLE_BUTTON(control->widget);
  if (gtk_toggle_button_get_inconsistent(button)) return 2;
  return gtk_toggle_button_get_active(button) ? BST_CHECKED : BST_UNCHECKED;
}

intptr_t GtkDialogSystem::SendDlgItemMessageA(Window dialog, int32_t id, uint32_t message, uintptr_t wParam,
                                              intptr_t lParam) {
  Control* control = FindControl(dialog, id);
  if (!control || control->layout.kind != ControlKind::DropDownList) return 0;
  ComboItems& items = control->items;
  GtkComboBoxText* combo = GTK_COMBO_BOX_TEXT(control->widget);
  const auto index = static_cast<intptr_t>(wParam);
  intptr_t result = 0;
  ++control->quiet;
  switch (message) {
    case CB_ADDSTRING: {
      const char* text = reinterpret_cast<const char*>(lParam);
      result = items.Add(text);
      gtk_combo_box_text_insert_text(combo, static_cast<gint>(result), Utf8(text ? text : "").c_str());
      break;
    }
    case CB_RESETCONTENT:
      items.Reset();
      gtk_combo_box_text_remove_all(combo);
      result = 1;
      break;
    case CB_GETCOUNT: result = items.Count(); break;
    case CB_SETCURSEL:
      result = items.Select(index);
      gtk_combo_box_set_active(GTK_COMBO_BOX(combo), result == CB_ERR ? -1 : static_cast<gint>(result));
      break;
    case CB_GETCURSEL: result = items.Selection(); break;
    case CB_SETITEMDATA: result = items.SetData(index, lParam); break;
    case CB_GETITEMDATA: result = items.Data(index); break;
    case CB_GETLBTEXT: result = items.CopyText(index, reinterpret_cast<char*>(lParam)); break;
    default: break;
  }
  --control->quiet;
  return result;
}

intptr_t GtkDialogSystem::GetWindowLongA(Window window, int32_t index) {
  if (index != GWL_HINSTANCE || IsNone(window)) return 0;
  for (Dialog* dialog : running_) {
    if (dialog->handle == window) return static_cast<intptr_t>(dialog->instance);
    for (const auto& control : dialog->controls) {
      if (control->handle == window) return static_cast<intptr_t>(dialog->instance);
    }
  }
  return 0;
}

void* GtkDialogSystem::NativeWindow(Window dialog) const {
  Dialog* found = FindDialog(dialog);
  return found ? found->window : nullptr;
}

void* GtkDialogSystem::NativeControl(Window dialog, int32_t id) const {
  Control* control = FindControl(dialog, id);
  return control ? control->widget : nullptr;
}

}  // namespace nb
