// The trace of a show, format 1: a header, the start line, every launch and sound event as
// it happens and one line per tick, with full dumps of the lists on request. The trace tool
// prints it to standard output; the saver writes it to a file when asked to, so that a run
// of the real program can be compared line by line with the tool's run of the same seed.
// Every float goes out with %.9g, which round-trips a single-precision value; lines end in
// a bare line feed on every platform (open the stream in binary mode).
// Depends on the show and the C standard library only.
#pragma once

#include <cstdint>
#include <cstdio>

#include "show/show.h"

namespace nb {

class TracePrinter {
 public:
  // out must stay open while the printer is used; the printer does not close it.
  explicit TracePrinter(std::FILE* out) : out_(out) {}

  // "trace 1 seed=S particles=P smoke=M".
  void PrintHeader(uint32_t seed, int32_t particles, int32_t smoke);
  // "init draws=... wind=x,y clocks=a,b", right after SimInit.
  void PrintInit();
  // "tick T draws=... shells=... ...", right after the tick's SimTick.
  void PrintTick(int64_t tick);
  // The director's state and every list, record by record.
  void PrintFullDump();
  void PrintSound(int32_t id);
  void PrintLaunch(int32_t type, const Shell& shell);

  // Hooks for ShowHooks with this printer as the context.
  static void SoundHook(void* printer, int32_t id);
  static void LaunchHook(void* printer, int32_t type, const Shell& shell);

 private:
  void F(float value);
  void PrintShell(const Shell& s);
  void PrintTrail(const SmokeTrail& t);
  void PrintParticle(const Particle& p);
  void PrintShells(const char* name, const RecordList<Shell>& list);
  void PrintParticles(const char* name, const RecordList<Particle>& list);

  std::FILE* out_;
};

}  // namespace nb
