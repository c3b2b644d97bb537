// The particle set with a driven clock and a seeded generator.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "platform/clock.h"
#include "scenedata/particle_system.h"
#include "shell/debug_system.h"
#include "shell/timer.h"

using namespace VantorGL;
namespace fs = std::filesystem;

namespace {

// Drives the process-wide clock: a 1 MHz counter that the test moves by hand.
class DrivenTimer {
 public:
  DrivenTimer() {
    platform::SetClockSource([this] { return ticks_; }, 1'000'000);
    cTimer::Instance() = cTimer();  // re-read the frequency from the driven source
  }
  ~DrivenTimer() {
    platform::ResetClockSource();
    cTimer::Instance() = cTimer();
  }
  // One frame of `ms` milliseconds.
  void Frame(int32_t ms) {
    ticks_ += int64_t{ms} * 1000;
    cTimer::Instance().Tick();
  }

 private:
  int64_t ticks_ = 0;
};

// The registry's set-up.
void RegistrySetUp(cParticleSystem& ps) {
  ps.speedFactor = 0.06f;
  ps.lifeDivisor = 950;
  std::srand(1234);
  ps.Init();
}

}  // namespace

TEST(Particles, InitGivesEveryParticleABirthAtTheEmitterAndLifeBelowZero) {
  cParticleSystem ps;
  ps.Update();  // before Init there is nothing to visit
  ps.DrawParticle();

  ps.emitterPosition[1] = 5.0f;
  ps.emitterVelocity[0] = 0.5f;
  ps.acceleration[2] = 0.25f;
  RegistrySetUp(ps);
  ASSERT_EQ(ps.particleCount, 500);
  ASSERT_EQ(ps.particles.size(), 500u);
  EXPECT_EQ(ps.current, &ps.particles[499]);
  for (int i = 0; i < 500; ++i) {
    const Particle& p = ps.particles[static_cast<size_t>(i)];
    EXPECT_EQ(p.index, i);
    EXPECT_EQ(p.life, -0.1f);
    EXPECT_GE(p.span, 1.0f);
    EXPECT_LE(p.span, 1.499f);
    EXPECT_GE(p.angle, 0.0f);
    EXPECT_LE(p.angle, 327.67f);
    EXPECT_EQ(p.size, 1.0f);
    EXPECT_EQ(p.speedFactor, 0.06f);
    EXPECT_EQ(p.position[1], 5.0f);
    EXPECT_EQ(p.velocity[0], 0.5f);
    EXPECT_EQ(p.acceleration[2], 0.25f);
  }
}

TEST(Particles, FirstUpdateRebirthsFourAndMovesThreeThenNeverMoreThanFour) {
  DrivenTimer clock;
  cParticleSystem ps;
  RegistrySetUp(ps);
  // The angles the first four rebirths give, from the same generator state.
  cParticleSystem replay;
  replay.particles.resize(4);
  std::srand(77);
  for (auto& p : replay.particles) {
    replay.current = &p;
    replay.Respawn();
  }
  std::srand(77);
  clock.Frame(16);
  ps.Update();
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(ps.particles[i].span, replay.particles[i].span) << i;
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_FLOAT_EQ(ps.particles[i].angle, replay.particles[i].angle + 1.6f) << i;  // moved
    EXPECT_NEAR(ps.particles[i].life, ps.particles[i].span, 1e-6f) << i;
  }
  EXPECT_EQ(ps.particles[3].angle, replay.particles[3].angle);  // reborn, not moved
  for (size_t i = 4; i < 500; ++i) EXPECT_EQ(ps.particles[i].life, -0.1f) << i;
  EXPECT_EQ(ps.respawnCounter, 0);
  EXPECT_EQ(ps.currentIndex, 3);

  // The next frame ages 0..3, then rebirths 4..7 and stops at 7.
  clock.Frame(16);
  ps.Update();
  for (size_t i = 4; i < 8; ++i) EXPECT_GT(ps.particles[i].life, 0.0f) << i;
  EXPECT_EQ(ps.particles[8].life, -0.1f);
  EXPECT_EQ(ps.currentIndex, 7);

  // The counter is not cleared between frames: two rebirths now, two more end
  // the next pass at once.
  for (size_t i = 8; i < 500; ++i) ps.particles[i].life = 1.0f;
  ps.particles[100].life = -1.0f;
  ps.particles[200].life = -1.0f;
  clock.Frame(16);
  ps.Update();
  EXPECT_EQ(ps.respawnCounter, 2);
  EXPECT_EQ(ps.currentIndex, 500);
  ps.particles[10].life = -1.0f;
  ps.particles[20].life = -1.0f;
  clock.Frame(16);
  ps.Update();
  EXPECT_EQ(ps.respawnCounter, 0);
  EXPECT_EQ(ps.currentIndex, 20);
}

TEST(Particles, MoveDividesByFactorTimesDeltaAndFollowsThePredecessor) {
  DrivenTimer clock;
  cParticleSystem ps;
  RegistrySetUp(ps);
  for (auto& p : ps.particles) p.life = 1.0f;  // no rebirths
  ps.particles[499].velocity[0] = 2.0f;        // particle 0 follows the last one
  ps.particles[0].velocity[0] = 0.96f;         // / (0.06 x 16) = 1
  ps.particles[0].acceleration[0] = 0.5f;      // then + 0.5
  ps.particles[498].velocity[1] = 7.0f;        // the last particle follows particle 0, not 498
  const float angle = ps.particles[0].angle;
  clock.Frame(16);
  ps.Update();
  EXPECT_FLOAT_EQ(ps.particles[0].angle, angle + 1.6f);
  EXPECT_FLOAT_EQ(ps.particles[0].velocity[0], 1.5f);
  EXPECT_FLOAT_EQ(ps.particles[0].position[0], 2.0f);  // the last one's velocity before it moved
  EXPECT_FLOAT_EQ(ps.particles[1].position[0], 1.5f);          // particle 0's new velocity
  EXPECT_FLOAT_EQ(ps.particles[499].position[0], 1.5f);
  EXPECT_FLOAT_EQ(ps.particles[499].position[1], 0.0f);
}

TEST(Particles, LifeSpanFollowsTheDivisorAndExactZeroIsNotReborn) {
  DrivenTimer clock;
  cParticleSystem ps;
  RegistrySetUp(ps);
  for (auto& p : ps.particles) {
    p.span = 1.2f;
    p.life = 1.2f;
  }
  clock.Frame(16);
  ps.Update();
  EXPECT_NEAR(ps.particles[0].life, 1.2f - 1.2f / 950.0f * 16.0f, 1e-6f);
  // Frames until rebirth: about 950 ms whatever the span.
  int ms = 16;
  for (float before = ps.particles[0].life; ms < 5000; ms += 10) {
    clock.Frame(10);
    ps.Update();
    if (ps.particles[0].life > before) break;  // reborn
    before = ps.particles[0].life;
  }
  EXPECT_NEAR(ms, 950, 10);

  // A life that lands exactly on 0 stays.
  for (auto& p : ps.particles) p.life = 1.0f;
  ps.respawnCounter = 0;
  ps.lifeDivisor = 1000;
  ps.particles[5].span = 1.0f;
  ps.particles[5].life = 1.0f / 1000.0f * 16.0f;  // the loss of one 16 ms frame
  const float angle = ps.particles[5].angle;
  clock.Frame(16);
  ps.Update();
  EXPECT_EQ(ps.particles[5].life, 0.0f);
  EXPECT_FLOAT_EQ(ps.particles[5].angle, angle + 1.6f);  // moved, not reborn
}

TEST(Particles, ZeroFrameLeavesVelocityAndEmitPutsParticlesOnTheOrbit) {
  DrivenTimer clock;
  cParticleSystem ps;
  RegistrySetUp(ps);
  for (auto& p : ps.particles) p.life = 1.0f;
  ps.particles[0].velocity[1] = 3.0f;
  clock.Frame(0);
  ps.Update();  // a 0 ms frame: no division by zero
  EXPECT_EQ(ps.particles[0].velocity[1], 3.0f);
  EXPECT_EQ(ps.particles[0].life, 1.0f);

  // Active: each visited particle is emitted onto its orbit and its sine is logged.
  const fs::path log = fs::temp_directory_path() / ("particles_" + std::to_string(::getpid()) + ".log");
  cDebugSystem::Instance().Open(log.c_str());
  ps.active = 1;
  ps.emitterPosition[0] = 10.0f;
  ps.emitterPosition[2] = -20.0f;
  clock.Frame(500);  // sinceStartMs 500: a = 1
  ps.Update();
  cDebugSystem::Instance().file.close();
  for (int i : {0, 7, 499}) {
    const Particle& p = ps.particles[static_cast<size_t>(i)];
    const float k = static_cast<float>(i);
    EXPECT_NEAR(p.position[0], 100.0f * std::sin(k + 1.0f) + 10.0f, 1e-3f) << i;
    EXPECT_NEAR(p.position[1], 100.0f * std::cos(k + 1.0f), 1e-3f) << i;
    EXPECT_NEAR(p.position[2], 100.0f * std::sin(1.0f - k) - 20.0f, 1e-3f) << i;
    EXPECT_FLOAT_EQ(p.velocity[0], -0.1f);
    EXPECT_FLOAT_EQ(p.velocity[2], 0.2f);
    EXPECT_GE(p.size, 1.0f);
    EXPECT_LT(p.size, 4.0f);
  }
  std::ifstream in(log);
  int lines = 0;
  std::string line, first;
  while (std::getline(in, line)) {
    if (line.find("(cParticleSystem) ") == std::string::npos) continue;
    if (lines++ == 0) first = line;
  }
  EXPECT_EQ(lines, 500);
  EXPECT_NE(first.find("(cParticleSystem) 0.841471"), std::string::npos) << first;  // sin(0 + 1)
  fs::remove(log);
}
