// nightbloom-soak: runs the show with both levels at High, and the scene drawing it, for
// a given number of ticks (default 10 million, about two days of show), one frame per
// tick. After every check interval it walks the nine lists, holds them against their
// pools (every record of a pool is in exactly one list; a pool grows only to its busiest
// moment) and against the memory in use (which, the pools' blocks aside, must not grow
// after the first interval); it reports the peak length of every list, the pools, the
// peak memory in use and the time taken. Exit 0 when every check held, 1 otherwise,
// 2 for a bad option.
//   nightbloom-soak [--ticks N] [--check-every N] [--seed S] [--render-every K]
#include <sys/resource.h>

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/fake/fake_platform.h"
#include "scene/camera.h"
#include "scene/scene.h"
#include "scene/textures.h"
#include "show/show.h"
#include "soak_device.h"
#include "whole_number.h"

#if defined(__SANITIZE_ADDRESS__)
#define NB_SOAK_SANITIZER_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define NB_SOAK_SANITIZER_HEAP 1
#endif
#endif
#ifdef NB_SOAK_SANITIZER_HEAP
// The sanitizer runtime's own count of the bytes it has handed out (GCC ships the runtime
// without this header).
extern "C" size_t __sanitizer_get_current_allocated_bytes(void);
#else
#include <malloc.h>
#endif

namespace {

using namespace nb;

struct Options {
  uint64_t ticks = 10'000'000;
  uint64_t checkEvery = 1'000'000;
  uint32_t seed = 20261207;
  uint64_t renderEvery = 1;
};

constexpr const char* usage =
    "usage: nightbloom-soak [--ticks N] [--check-every N] [--seed S] [--render-every K]";

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    if (name == "--help" || name == "-h") {
      std::printf("%s\n", usage);
      std::exit(0);
    }
    uint64_t* target = nullptr;
    uint64_t low = 1;
    uint64_t high = UINT64_MAX / 2;
    uint64_t seed = 0;
    if (name == "--ticks") {
      target = &options.ticks;
    } else if (name == "--check-every") {
      target = &options.checkEvery;
    } else if (name == "--render-every") {
      target = &options.renderEvery;
    } else if (name == "--seed") {
      target = &seed;
      low = 0;
      high = UINT32_MAX;
    } else {
      std::fprintf(stderr, "nightbloom-soak: unknown option '%s'\n%s\n", argv[i], usage);
      return false;
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "nightbloom-soak: %s needs a value\n", name.c_str());
      return false;
    }
    uint64_t value = 0;
    if (!ParseWholeNumber(argv[++i], high, &value) || value < low) {
      std::fprintf(stderr, "nightbloom-soak: %s needs a whole number from %" PRIu64 " to %" PRIu64 "\n",
                   name.c_str(), low, high);
      return false;
    }
    *target = value;
    if (target == &seed) options.seed = static_cast<uint32_t>(seed);
  }
  return true;
}

// Bytes the program holds on the heap now.
uint64_t HeapInUse() {
#ifdef NB_SOAK_SANITIZER_HEAP
  return __sanitizer_get_current_allocated_bytes();
#else
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
#endif
}

uint64_t PeakResidentKiB() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<uint64_t>(usage.ru_maxrss);
}

struct ListView {
  const char* name;
  const int32_t* count;
  int32_t peak = 0;
};

template <class Record>
int64_t Walk(const RecordList<Record>& list, size_t limit) {
  int64_t walked = 0;
  for (const Record* record = list.head; record != nullptr; record = record->next) {
    if (static_cast<size_t>(++walked) > limit) return -1;  // a cycle, or records from nowhere
  }
  return walked;
}

template <class Record>
struct PoolView {
  const char* name;
  const RecordPool<Record>* pool;
  size_t peakInUse = 0;  // at the end of a tick
  size_t busiest = 0;    // at any moment, as the pool saw it
  size_t peakCapacity = 0;
};

// Sound ids the show raises (0..5), counted instead of played.
constexpr int soundKinds = 6;

class Soak {
 public:
  explicit Soak(const Options& options) : options_(options) {}

  int Run();

 private:
  bool Check(uint64_t tick);
  void Fail(uint64_t tick, const std::string& what) {
    std::printf("FAILED at tick %" PRIu64 ": %s\n", tick, what.c_str());
    std::fflush(stdout);
    ++failures_;
  }
  void TrackPeaks() {
    for (ListView& list : lists_) list.peak = std::max(list.peak, *list.count);
    particles_.peakInUse = std::max(particles_.peakInUse, show.particlePool.InUse());
    shells_.peakInUse = std::max(shells_.peakInUse, show.shellPool.InUse());
    trails_.peakInUse = std::max(trails_.peakInUse, show.trailPool.InUse());
  }
  template <class Record>
  void CheckPool(uint64_t tick, PoolView<Record>& view, int64_t listed) {
    const RecordPool<Record>& pool = *view.pool;
    view.peakCapacity = std::max(view.peakCapacity, pool.Capacity());
    if (listed < 0 || static_cast<size_t>(listed) != pool.InUse()) {
      Fail(tick, std::string(view.name) + ": " + std::to_string(listed) + " records in lists, " +
                     std::to_string(pool.InUse()) + " taken from the pool");
    }
    if (pool.InUse() > pool.Capacity()) Fail(tick, std::string(view.name) + ": more records in use than the pool holds");
    // The pool grows a block at a time, only when its busiest moment (also inside a tick,
    // where records are taken before others are given back) needs it.
    const size_t block = RecordPool<Record>::blockSize;
    const size_t needed = (pool.PeakInUse() + block - 1) / block * block;
    view.busiest = pool.PeakInUse();
    if (pool.Capacity() != needed || pool.PeakInUse() < view.peakInUse) {
      Fail(tick, std::string(view.name) + ": pool of " + std::to_string(pool.Capacity()) +
                     " records for a busiest moment of " + std::to_string(pool.PeakInUse()));
    }
  }
  uint64_t PoolBlocks() const {
    return show.particlePool.Capacity() / RecordPool<Particle>::blockSize +
           show.shellPool.Capacity() / RecordPool<Shell>::blockSize +
           show.trailPool.Capacity() / RecordPool<SmokeTrail>::blockSize;
  }
  static constexpr uint64_t blockOverheadBytes = 64;
  uint64_t PoolBytes() const {
    return show.particlePool.Capacity() * sizeof(Particle) + show.shellPool.Capacity() * sizeof(Shell) +
           show.trailPool.Capacity() * sizeof(SmokeTrail);
  }

  const Options& options_;
  ListView lists_[9] = {{"shells", &show.shells.count},         {"smokePuffs", &show.smokePuffs.count},
                        {"smokeClouds", &show.smokeClouds.count}, {"smokeTrails", &show.smokeTrails.count},
                        {"burstStars", &show.burstStars.count}, {"ringStars", &show.ringStars.count},
                        {"sparks", &show.sparks.count},         {"glitter", &show.glitter.count},
                        {"skyStars", &show.skyStars.count}};
  PoolView<Particle> particles_{"particles", &show.particlePool};
  PoolView<Shell> shells_{"shells, puffs and clouds", &show.shellPool};
  PoolView<SmokeTrail> trails_{"smoke trails", &show.trailPool};
  uint64_t baseline_ = 0;  // heap outside the pools after the first interval
  uint64_t baselineBlocks_ = 0;
  bool haveBaseline_ = false;
  uint64_t peakHeap_ = 0;
  uint64_t sounds_[soundKinds] = {};
  int failures_ = 0;

 public:
  static void CountSound(void* context, int32_t id) {
    auto* soak = static_cast<Soak*>(context);
    if (id >= 0 && id < soundKinds) ++soak->sounds_[id];
  }
};

bool Soak::Check(uint64_t tick) {
  const int failuresBefore = failures_;
  for (const ListView& list : lists_) {
    if (*list.count < 0) Fail(tick, std::string(list.name) + " has a negative length");
  }
  const size_t particleLimit = show.particlePool.Capacity();
  const int64_t walked[9] = {Walk(show.shells, show.shellPool.Capacity()),
                             Walk(show.smokePuffs, show.shellPool.Capacity()),
                             Walk(show.smokeClouds, show.shellPool.Capacity()),
                             Walk(show.smokeTrails, show.trailPool.Capacity()),
                             Walk(show.burstStars, particleLimit),
                             Walk(show.ringStars, particleLimit),
                             Walk(show.sparks, particleLimit),
                             Walk(show.glitter, particleLimit),
                             Walk(show.skyStars, particleLimit)};
  for (int i = 0; i < 9; ++i) {
    if (walked[i] != *lists_[i].count) {
      Fail(tick, std::string(lists_[i].name) + ": " + std::to_string(walked[i]) + " records linked, length " +
                     std::to_string(*lists_[i].count));
    }
  }
  const auto sum = [&](std::initializer_list<int> indices) {
    int64_t total = 0;
    for (int i : indices) total = walked[i] < 0 || total < 0 ? -1 : total + walked[i];
    return total;
  };
  CheckPool(tick, shells_, sum({0, 1, 2}));
  CheckPool(tick, trails_, sum({3}));
  CheckPool(tick, particles_, sum({4, 5, 6, 7, 8}));

  const uint64_t heap = HeapInUse();
  peakHeap_ = std::max(peakHeap_, heap);
  const uint64_t outsidePools = heap - std::min(heap, PoolBytes());
  // A block the pools add brings its own link and the allocator's header along.
  const uint64_t blocks = PoolBlocks();
  const uint64_t slack = (blocks - std::min(blocks, baselineBlocks_)) * blockOverheadBytes;
  if (!haveBaseline_) {
    baseline_ = outsidePools;
    baselineBlocks_ = blocks;
    haveBaseline_ = true;
  } else if (outsidePools > baseline_ + slack) {
    Fail(tick, "memory in use outside the pools grew from " + std::to_string(baseline_) + " to " +
                   std::to_string(outsidePools) + " bytes");
  }
  std::printf("tick %10" PRIu64 "  heap %9" PRIu64 " bytes (pools %8" PRIu64 ")  particles %6zu/%6zu  shells %5zu/%5zu  trails %5zu/%5zu%s\n",
              tick, heap, PoolBytes(), show.particlePool.InUse(), show.particlePool.Capacity(), show.shellPool.InUse(),
              show.shellPool.Capacity(), show.trailPool.InUse(), show.trailPool.Capacity(),
              failures_ == failuresBefore ? "  ok" : "  FAILED");
  std::fflush(stdout);
  return failures_ == failuresBefore;
}

int Soak::Run() {
  std::printf("nightbloom-soak: seed %" PRIu32 ", particles High, smoke High, %" PRIu64 " ticks, a frame every %" PRIu64
              " ticks, checks every %" PRIu64 " ticks\n",
              options_.seed, options_.ticks, options_.renderEvery, options_.checkEvery);
  std::fflush(stdout);
  const auto start = std::chrono::steady_clock::now();

  // The textures are built on a fake device; the frames go to the checking device.
  fake::FakePlatform fake;
  fake.system.LoadProjectResources();
  fake::FakeDriverConfig driver = fake::StandardDriver();
  driver.devices = {fake::SoftwareDevice()};
  fake.graphics.drivers = {driver};
  Ref<Unknown> unknown;
  Ref<DirectDraw> directDraw;
  Ref<DrawSurface> target;
  Ref<Direct3D> direct3D;
  Ref<Device3D> builder;
  DDSURFACEDESC2 desc{};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
  desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE;
  desc.dwWidth = 64;
  desc.dwHeight = 48;
  desc.ddpfPixelFormat = fake::ModeFormat(16);
  if (Failed(fake.graphics.DirectDrawCreate(nullptr, unknown.Put())) ||
      Failed(QueryInterface(*unknown, IID_IDirectDraw4, directDraw)) ||
      Failed(directDraw->SetCooperativeLevel(NoWindow, DDSCL_NORMAL)) ||
      Failed(directDraw->CreateSurface(&desc, target.Put())) ||
      Failed(QueryInterface(*directDraw, IID_IDirect3D3, direct3D)) ||
      Failed(direct3D->CreateDevice(IID_IDirect3DRGBDevice, target.Get(), builder.Put()))) {
    std::printf("FAILED: the fake device for the textures could not be made\n");
    return 1;
  }
  soak::SoakDevice device(*builder, fake.world);
  soak::SoakViewport viewport(640, 480);
  const RECT frame{0, 0, 640, 480};

  settings = Settings{};
  settings.particleLevel = 2;
  settings.smokeLevel = 2;
  show.hooks = ShowHooks{};
  show.hooks.context = this;
  show.hooks.sound = &Soak::CountSound;
  SimInit(options_.seed);
  if (Failed(SceneInit(fake.system, fake.gdi)) || Failed(SceneInitDevice(&device, &viewport))) {
    Fail(0, "the scene could not be set up on the checking device");
  }
  int textures = 0;
  for (uint32_t id : sceneTextureIds) textures += TextureGet(std::to_string(id).c_str()) != nullptr;
  if (textures != 6) Fail(0, "only " + std::to_string(textures) + " of the 6 textures were built");
  fake.world.ClearCalls();

  for (uint64_t tick = 1; tick <= options_.ticks; ++tick) {
    UpdateCamera(&device);
    SimTick();
    TrackPeaks();
    if (tick % options_.renderEvery == 0) SceneRender(&device, &viewport, &frame);
    if (tick % options_.checkEvery == 0 || tick == options_.ticks) Check(tick);
    if (!device.fault().empty()) {
      Fail(tick, "the device refused " + device.fault());
      break;
    }
  }

  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("\npeak list lengths:\n");
  for (const ListView& list : lists_) std::printf("  %-12s %7d\n", list.name, list.peak);
  std::printf("pools (peak in use after a tick / at any moment / records held):\n");
  std::printf("  %-26s %7zu / %7zu / %zu\n", particles_.name, particles_.peakInUse, particles_.busiest,
              particles_.peakCapacity);
  std::printf("  %-26s %7zu / %7zu / %zu\n", shells_.name, shells_.peakInUse, shells_.busiest, shells_.peakCapacity);
  std::printf("  %-26s %7zu / %7zu / %zu\n", trails_.name, trails_.peakInUse, trails_.busiest, trails_.peakCapacity);
  const soak::FrameCounts& counts = device.counts();
  std::printf("frames %" PRIu64 ", draws %" PRIu64 " (at most %" PRIu32 " in a frame), vertices %" PRIu64
              ", texture binds %" PRIu64 ", clears %" PRIu64 "\n",
              counts.frames, counts.draws, counts.peakDrawsPerFrame, counts.vertices, counts.textureBinds,
              viewport.clears());
  std::printf("sounds by id:");
  for (uint64_t played : sounds_) std::printf(" %" PRIu64, played);
  std::printf("\npeak memory in use %" PRIu64 " bytes (heap at the checks), peak resident %" PRIu64 " KiB\n", peakHeap_,
              PeakResidentKiB());
  std::printf("time %.1f s, %.0f ticks per second\n", seconds, static_cast<double>(options_.ticks) / seconds);

  SceneReleaseDevice(&device, &viewport);
  TextureDestroyAll();
  TextureUsePlatform(nullptr, nullptr);
  SimShutdown();
  show.hooks = ShowHooks{};
  builder = nullptr;
  direct3D = nullptr;
  target = nullptr;
  directDraw = nullptr;
  unknown = nullptr;
  if (fake.world.LiveCount() != 0) Fail(options_.ticks, "platform objects still alive at the end");
  std::printf("%s\n", failures_ == 0 ? "soak passed" : "soak FAILED");
  return failures_ == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) return 2;
  Soak soak(options);
  return soak.Run();
}
