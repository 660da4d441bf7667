#include "trace/trace_printer.h"

#include <cinttypes>
#include <initializer_list>

namespace nb {

void TracePrinter::PrintHeader(uint32_t seed, int32_t particles, int32_t smoke) {
  std::fprintf(out_, "trace 1 seed=%" PRIu32 " particles=%d smoke=%d\n", seed, particles, smoke);
}

void TracePrinter::PrintInit() {
  std::fprintf(out_, "init draws=%" PRIu64 " wind=%.9g,%.9g clocks=%d,%d\n", show.random.draws,
               static_cast<double>(show.windX), static_cast<double>(show.windY),
               show.launchPatterns[show.patternTracks[0]].clock,
               show.launchPatterns[show.patternTracks[1]].clock);
}

void TracePrinter::PrintTick(int64_t tick) {
  std::fprintf(out_,
               "tick %" PRId64 " draws=%" PRIu64 " shells=%d puffs=%d clouds=%d trails=%d burst=%d "
               "ring=%d sparks=%d glitter=%d\n",
               tick, show.random.draws, show.shells.count, show.smokePuffs.count,
               show.smokeClouds.count, show.smokeTrails.count, show.burstStars.count,
               show.ringStars.count, show.sparks.count, show.glitter.count);
}

void TracePrinter::PrintSound(int32_t id) { std::fprintf(out_, "sound %d\n", id); }

void TracePrinter::PrintLaunch(int32_t type, const Shell& shell) {
  std::fprintf(out_, "launch %d %.9g %.9g\n", type, static_cast<double>(shell.x),
               static_cast<double>(shell.y));
}

void TracePrinter::SoundHook(void* printer, int32_t id) {
  static_cast<TracePrinter*>(printer)->PrintSound(id);
}

void TracePrinter::LaunchHook(void* printer, int32_t type, const Shell& shell) {
  static_cast<TracePrinter*>(printer)->PrintLaunch(type, shell);
}

void TracePrinter::F(float value) { std::fprintf(out_, " %.9g", static_cast<double>(value)); }

void TracePrinter::PrintShell(const Shell& s) {
  std::fprintf(out_, "S %d %d", s.type, s.age);
  for (float value : {s.r, s.g, s.b, s.alpha, s.vx, s.vy, s.x, s.y, s.angle, s.size, s.paramA,
                      s.paramB}) {
    F(value);
  }
  std::fprintf(out_, " %d\n", s.trail != nullptr ? 1 : 0);
}

void TracePrinter::PrintTrail(const SmokeTrail& t) {
  std::fprintf(out_, "T %d %d", t.kind, t.age);
  F(t.alpha);
  for (const Point2& p : {t.mid, t.head, t.tail}) {
    F(p.x);
    F(p.y);
  }
  for (const Colour& c : {t.midColour, t.headColour, t.tailColour}) {
    F(c.r);
    F(c.g);
    F(c.b);
  }
  F(t.width);
  std::fprintf(out_, " %d\n", t.attached);
}

void TracePrinter::PrintParticle(const Particle& p) {
  std::fprintf(out_, "P");
  for (float value : {p.r, p.g, p.b, p.alpha, p.vx, p.vy, p.x, p.y}) F(value);
  std::fprintf(out_, " %d\n", p.trail != nullptr ? 1 : 0);
}

void TracePrinter::PrintShells(const char* name, const RecordList<Shell>& list) {
  std::fprintf(out_, "list %s %d\n", name, list.count);
  for (const Shell* s = list.head; s != nullptr; s = s->next) PrintShell(*s);
}

void TracePrinter::PrintParticles(const char* name, const RecordList<Particle>& list) {
  std::fprintf(out_, "list %s %d\n", name, list.count);
  for (const Particle* p = list.head; p != nullptr; p = p->next) PrintParticle(*p);
}

void TracePrinter::PrintFullDump() {
  const LaunchPattern& p0 = show.launchPatterns[show.patternTracks[0]];
  const LaunchPattern& p1 = show.launchPatterns[show.patternTracks[1]];
  std::fprintf(out_,
               "director interval=%.9g limit=%.9g since=%d twinkle=%.9g tracks=%d,%d clocks=%d,%d "
               "cursors=%d,%d\n",
               static_cast<double>(show.launchInterval), static_cast<double>(show.launchIntervalLimit),
               show.ticksSinceLaunch, static_cast<double>(show.twinkleAngle), show.patternTracks[0],
               show.patternTracks[1], p0.clock, p1.clock, p0.cursor, p1.cursor);
  PrintShells("shells", show.shells);
  PrintShells("smokePuffs", show.smokePuffs);
  PrintShells("smokeClouds", show.smokeClouds);
  std::fprintf(out_, "list smokeTrails %d\n", show.smokeTrails.count);
  for (const SmokeTrail* t = show.smokeTrails.head; t != nullptr; t = t->next) PrintTrail(*t);
  PrintParticles("burstStars", show.burstStars);
  PrintParticles("ringStars", show.ringStars);
  PrintParticles("sparks", show.sparks);
  PrintParticles("glitter", show.glitter);
  PrintParticles("skyStars", show.skyStars);
}

}  // namespace nb
