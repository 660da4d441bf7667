// Frame cost of a busy moment (seed 20261207, tick 20000, particles and smoke at level 2):
//   BM_SceneOwnWork      SceneRender on a device whose calls do nothing: the scene's own
//                        CPU time per frame (walking the lists, matrices, colours).
//   BM_GlFrame/W/H/D     SceneRender on the headless OpenGL device plus waiting for the
//                        rasterizer: whole frames, with draw calls and primitives per
//                        frame and frames per second on this machine's GL (Mesa llvmpipe).
//   BM_GlSubmit/W/H/D    the same without waiting: scene plus driver CPU time.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <memory>
#include <string>

#include "render_support.h"
#include "scene/camera.h"
#include "scene/scene.h"
#include "show/show.h"

namespace nb {
namespace {

constexpr uint32_t busySeed = 20261207;
constexpr int busyTick = 20000;

// A device and viewport that accept every call and only count the primitives, so that
// timing SceneRender on them leaves only the scene's own work.
class CountingDevice final : public Device3D {
 public:
  uint32_t AddRef() override { return ++count_; }
  uint32_t Release() override { return --count_; }
  int32_t QueryInterface(const GUID&, void** out) override {
    if (out) *out = nullptr;
    return E_NOINTERFACE;
  }
  int32_t GetCaps(D3DDEVICEDESC*, D3DDEVICEDESC*) override { return DDERR_INVALIDPARAMS; }
  int32_t EnumTextureFormats(D3DENUMPIXELFORMATSCALLBACK, void*) override { return DD_OK; }
  int32_t GetRenderTarget(DrawSurface** out) override {
    *out = nullptr;
    return DDERR_NOTFOUND;
  }
  int32_t AddViewport(Viewport3D*) override { return DD_OK; }
  int32_t SetCurrentViewport(Viewport3D*) override { return DD_OK; }
  int32_t BeginScene() override { return DD_OK; }
  int32_t EndScene() override { return DD_OK; }
  int32_t SetTransform(uint32_t, const D3DMATRIX& m) override {
    sink_ += m._41;
    return DD_OK;
  }
  int32_t SetRenderState(uint32_t, uint32_t) override { return DD_OK; }
  int32_t SetTextureStageState(uint32_t, uint32_t, uint32_t) override { return DD_OK; }
  int32_t SetTexture(uint32_t, Texture3D*) override { return DD_OK; }
  int32_t DrawPrimitiveStrided(uint32_t, uint32_t, const D3DDRAWPRIMITIVESTRIDEDDATA& data,
                               uint32_t, uint32_t) override {
    sink_ += *static_cast<const float*>(data.position.lpvData);
    ++primitives;
    return DD_OK;
  }
  uint64_t primitives = 0;

 private:
  uint32_t count_ = 1;
  float sink_ = 0.0f;
};

class CountingViewport final : public Viewport3D {
 public:
  uint32_t AddRef() override { return 2; }
  uint32_t Release() override { return 1; }
  int32_t QueryInterface(const GUID&, void** out) override {
    if (out) *out = nullptr;
    return E_NOINTERFACE;
  }
  int32_t SetViewport2(const D3DVIEWPORT2&) override { return DD_OK; }
  int32_t GetViewport2(D3DVIEWPORT2* out) override {
    *out = D3DVIEWPORT2{sizeof(D3DVIEWPORT2), 0, 0, 640, 480, -1.0f, 1.0f, 2.0f, 2.0f, 0.0f, 1.0f};
    return DD_OK;
  }
  int32_t Clear2(uint32_t, const D3DRECT*, uint32_t, D3DCOLOR, float, uint32_t) override {
    return DD_OK;
  }
};

double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void RunShowToBusyTick(SceneStage* stage) {
  settings.particleLevel = 2;
  settings.smokeLevel = 2;
  show.hooks = {};
  SimInit(busySeed);
  for (int t = 0; t < busyTick; ++t) {
    if (stage) {
      stage->Tick();
    } else {
      SimTick();
    }
  }
}

void BM_SceneOwnWork(benchmark::State& state) {
  RunShowToBusyTick(nullptr);
  CountingDevice device;
  CountingViewport viewport;
  const RECT rect{0, 0, 640, 480};
  UpdateCamera(&device);
  for (auto _ : state) {
    SceneRender(&device, &viewport, &rect);
  }
  state.counters["primitives/frame"] =
      static_cast<double>(device.primitives) / static_cast<double>(state.iterations());
  ClearAllLists();
}
BENCHMARK(BM_SceneOwnWork)->Unit(benchmark::kMicrosecond);

void GlFrames(benchmark::State& state, bool wait) {
  std::unique_ptr<SceneStage> stage;
  std::string error;
  if (Failed(SceneStage::Open(static_cast<uint32_t>(state.range(0)),
                              static_cast<uint32_t>(state.range(1)),
                              static_cast<uint32_t>(state.range(2)), &stage, &error))) {
    state.SkipWithError(error.c_str());
    return;
  }
  RunShowToBusyTick(stage.get());
  DirectDraw* directDraw = stage->display().directDraw.Get();
  stage->Render();  // the first frame uploads the textures
  WaitForGlDriver(directDraw);
  ResetGlDriverStats(directDraw);
  const double cpuBefore = ProcessCpuSeconds();
  for (auto _ : state) {
    stage->Render();
    if (wait) WaitForGlDriver(directDraw);
  }
  WaitForGlDriver(directDraw);
  const double cpuSpent = ProcessCpuSeconds() - cpuBefore;
  const GlDriverStats stats = GetGlDriverStats(directDraw);
  const auto frames = static_cast<double>(state.iterations());
  state.counters["drawCalls/frame"] = static_cast<double>(stats.drawCalls) / frames;
  state.counters["primitives/frame"] = static_cast<double>(stats.primitiveCalls) / frames;
  // CPU time of every thread (the rasterizer's too): what a frame costs the machine.
  state.counters["allThreadsCpuMs/frame"] = cpuSpent * 1000.0 / frames;
  state.counters["overdraw"] = stats.coveredPixels / frames /
                              static_cast<double>(state.range(0) * state.range(1));
  state.counters["fps"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
  ClearAllLists();
}

void BM_GlFrame(benchmark::State& state) { GlFrames(state, true); }
void BM_GlSubmit(benchmark::State& state) { GlFrames(state, false); }

BENCHMARK(BM_GlFrame)
    ->Args({640, 480, 16})
    ->Args({1920, 1080, 32})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_GlSubmit)
    ->Args({640, 480, 16})
    ->Args({1920, 1080, 32})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace nb

BENCHMARK_MAIN();
