// The SDL system port. Depends on sdl_system.h, SDL2, termination.h, the embedded
// resources, and /proc for the message box's helper process.
#include "platform/sdl/sdl_system.h"

#include <SDL2/SDL.h>
#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/gl/embedded_resources.h"
#include "platform/sdl/termination.h"

namespace nb {
namespace {

// The processes whose parent is this one.
std::vector<pid_t> OwnChildren() {
  std::vector<pid_t> children;
  const pid_t self = getpid();
  DIR* proc = opendir("/proc");
  if (!proc) return children;
  while (const dirent* entry = readdir(proc)) {
    char* end = nullptr;
    const long pid = std::strtol(entry->d_name, &end, 10);
    if (pid <= 0 || *end != '\0') continue;
    std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    // "pid (name) state ppid ...": the name may hold anything, parentheses included.
    const size_t close = line.rfind(')');
    if (close == std::string::npos) continue;
    char state = 0;
    long parent = 0;
    if (std::sscanf(line.c_str() + close + 1, " %c %ld", &state, &parent) == 2 && parent == self) {
      children.push_back(static_cast<pid_t>(pid));
    }
  }
  closedir(proc);
  return children;
}

// SDL shows its message box on X in a child process and waits for it, resuming the wait
// after every signal: a box up when the program is asked to end would hold the program
// until someone clicks it. While the box is up, this ends the child that shows it once an
// end is asked for, as closing the box would; the program then ends as it does after any
// box. Children the program had before the box are left alone.
class MessageBoxWatch {
 public:
  MessageBoxWatch() : before_(OwnChildren()), thread_([this] { Watch(); }) {}
  ~MessageBoxWatch() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  MessageBoxWatch(const MessageBoxWatch&) = delete;
  MessageBoxWatch& operator=(const MessageBoxWatch&) = delete;

 private:
  void Watch() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!done_) {
      wake_.wait_for(lock, std::chrono::milliseconds(50));
      if (done_ || !TerminationRequested()) continue;
      for (const pid_t child : OwnChildren()) {
        if (std::find(before_.begin(), before_.end(), child) == before_.end()) kill(child, SIGKILL);
      }
    }
  }

  const std::vector<pid_t> before_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool done_ = false;
  std::thread thread_;
};

}  // namespace

SdlSystem::SdlSystem(bool video, SdlGdi& gdi, SdlSystemOptions options, XLink* link)
    : video_(video), gdi_(gdi), link_(link), options_(options) {}

uint32_t SdlSystem::timeGetTime() { return SDL_GetTicks(); }

uint32_t SdlSystem::GetCalendarTime() { return static_cast<uint32_t>(std::time(nullptr)); }

// SDL's clock counts milliseconds on every system; there is no resolution to ask for.
uint32_t SdlSystem::timeBeginPeriod(uint32_t periodMs) {
  if (periodMs == 0) return TIMERR_NOCANDO;
  ++periods_;
  return TIMERR_NOERROR;
}

uint32_t SdlSystem::timeEndPeriod(uint32_t periodMs) {
  if (periodMs == 0 || periods_ == 0) return TIMERR_NOCANDO;
  --periods_;
  return TIMERR_NOERROR;
}

void SdlSystem::ApplyCursor() {
  if (video_) SDL_ShowCursor(cursorCount_ >= 0 && cursorShape_ ? SDL_ENABLE : SDL_DISABLE);
}

int32_t SdlSystem::ShowCursor(bool show) {
  cursorCount_ += show ? 1 : -1;
  ApplyCursor();
  return cursorCount_;
}

Cursor SdlSystem::SetCursor(Cursor cursor) {
  const Cursor previous = cursorShape_ ? Cursor{1} : NoCursor;
  cursorShape_ = cursor != NoCursor;
  ApplyCursor();
  return previous;
}

bool SdlSystem::GetCursorPos(POINT* out) {
  if (!out || !video_) return false;
  int32_t x = 0;
  int32_t y = 0;
  if (!link_ || !link_->PointerPosition(&x, &y)) SDL_GetGlobalMouseState(&x, &y);
  *out = POINT{x, y};
  return true;
}

int32_t SdlSystem::GetSystemMetrics(int32_t index) {
  SDL_Rect bounds{};
  if (!video_ || SDL_GetDisplayBounds(0, &bounds) != 0) return 0;
  if (index == SM_CXSCREEN) return bounds.w;
  if (index == SM_CYSCREEN) return bounds.h;
  return 0;
}

bool SdlSystem::SystemParametersInfoA(uint32_t action, uint32_t param, void* data, uint32_t) {
  if (action != SPI_SCREENSAVERRUNNING) return false;
  if (data) *static_cast<uint32_t*>(data) = running_ ? 1 : 0;
  running_ = param != 0;
  if (video_ && options_.holdOffScreenSaver) {
    if (running_) {
      SDL_DisableScreenSaver();
    } else {
      SDL_EnableScreenSaver();
    }
  }
  return true;
}

int32_t SdlSystem::MessageBoxA(Window, const char* text, const char* caption, uint32_t type) {
  const std::string body = text ? text : "";
  const std::string title = caption ? caption : "";
  if (options_.messages) {
    std::fprintf(options_.messages, "%s: %s\n", title.c_str(), body.c_str());
    std::fflush(options_.messages);
  }
  if (!video_ || !options_.messageBoxes) return 0;  // nobody could click it
  if (TerminationRequested()) return 0;             // nor would anyone wait for it
  const uint32_t icon = type & 0xF0;
  const Uint32 flags = icon == MB_ICONERROR ? SDL_MESSAGEBOX_ERROR
                       : icon == MB_ICONEXCLAMATION ? SDL_MESSAGEBOX_WARNING
                                                    : SDL_MESSAGEBOX_INFORMATION;
  // The box must be seen: the cursor may have been hidden for the show.
  SDL_ShowCursor(SDL_ENABLE);
  int shown = -1;
  {
    MessageBoxWatch watch;
    shown = SDL_ShowSimpleMessageBox(flags, title.c_str(), body.c_str(), nullptr);
  }
  ApplyCursor();
  return shown == 0 ? IDOK : 0;
}

bool SdlSystem::GetVersionExA(OSVERSIONINFOA* info) {
  if (!info || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) return false;
  std::memset(info, 0, sizeof(*info));
  info->dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
  info->dwMajorVersion = 5;
  info->dwMinorVersion = 0;
  info->dwBuildNumber = 2195;
  // An NT-type system: the saver ends on input without asking for a password.
  info->dwPlatformId = VER_PLATFORM_WIN32_NT;
  return true;
}

ProviderCall SdlSystem::VerifyScreenSavePwd(Window, int32_t*) { return ProviderCall::NoLibrary; }

ProviderCall SdlSystem::PwdChangePasswordA(const char*, Window) { return ProviderCall::NoLibrary; }

ResourceData SdlSystem::FindResourceData(const char* type, uint32_t id) {
  return EmbeddedResourceData(type, id);
}

Bitmap SdlSystem::LoadBitmapA(uint32_t id) { return LoadImageA(id, LR_DEFAULTCOLOR); }

Bitmap SdlSystem::LoadImageA(uint32_t id, uint32_t) { return LoadEmbeddedBitmap(gdi_.memory(), id); }

}  // namespace nb
