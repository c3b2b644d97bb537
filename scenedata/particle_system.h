#pragma once
// cParticleSystem: a fixed set of 500 particles, each a small spinning cube that
// moves, ages and is reborn at the emitter when its life runs out. Particles are
// visited one at a time through a cursor (`current`); each one moves by the
// velocity of its predecessor in the array, so the set moves as a chain.
//
// Time is the process-wide cTimer (deltaMs, sinceStartMs); random numbers are the
// C library's rand(), seeded once by the constructor with the time in seconds.
// Main thread only; the draw operations need a current GL context and set no
// colour, texture or blend state (that belongs to the calling scene).
#include <cstdint>
#include <vector>

namespace VantorGL {

struct Particle {
  int32_t index = 0;            // place in the array
  float life = 0;               // reborn when it drops below 0
  float span = 0;               // the life given at birth, 1.0 to 1.5
  float size = 0;               // uniform scale of the cube
  float angle = 0;              // spin, degrees
  float speedFactor = 0;        // the velocity is divided by speedFactor x delta each move
  float position[3] = {0, 0, 0};
  float velocity[3] = {0, 0, 0};
  float acceleration[3] = {0, 0, 0};
  float rotationAxis[3] = {0, 0, 0};
};

class cParticleSystem {
 public:
  cParticleSystem();
  // Not virtual: the system is held by value by its owner.
  ~cParticleSystem();
  // The cursors point into the owned array; a copy would share them.
  cParticleSystem(const cParticleSystem&) = delete;
  cParticleSystem& operator=(const cParticleSystem&) = delete;

  // Makes the 500 particles, each born at the emitter and then given life -0.1
  // so that every one is reborn on its first update. Call once, after setting
  // lifeDivisor and speedFactor.
  void Init();

  virtual void InitHook() {}
  // One frame of movement for the current particle.
  virtual void MoveParticle();
  virtual void EmitIfActive();
  // Puts the current particle on its orbit around the emitter (and logs its sine).
  virtual void Emit();
  // Draws the current particle: a cube of edge 2 x size at its position.
  virtual void DrawParticle();
  // Ages and moves every particle by one frame; a pass ends early at every fourth
  // rebirth counted across frames, so the set comes to life over many frames.
  virtual void Update();

  // A new life at the emitter for the current particle.
  void Respawn();
  // Draws the whole set, each particle made current in turn; leaves the cursor on
  // the last one.
  void DrawAllParticles();

  uint8_t active = 0;               // when set, each visited particle is re-emitted
  int32_t particleCount = 0;        // 500 after Init
  int32_t currentIndex = 0;
  int32_t lifeDivisor = 2000;       // life lost per ms is span / lifeDivisor
  int32_t respawnCounter = 0;       // rebirths since it was last cleared
  float speedFactor = 10.0f;        // copied into each particle at birth
  float emitterPosition[3] = {0, 0, 0};
  float emitterVelocity[3] = {0, 0, 0};
  float acceleration[3] = {0, 0, 0};
  float rotationAxis[3] = {0, 0, 0};
  std::vector<Particle> particles;
  Particle* current = nullptr;      // into `particles`
  Particle* predecessor = nullptr;  // whose velocity moves the current one
};

}  // namespace VantorGL
