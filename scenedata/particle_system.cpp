#include "scenedata/particle_system.h"

#include <epoxy/gl.h>

#include <cmath>
#include <cstdlib>
#include <ctime>

#include "scenedata/geo_sphere.h"
#include "shell/debug_system.h"
#include "shell/timer.h"

namespace VantorGL {
namespace {
constexpr int32_t kParticles = 500;

// The generator's pattern: (10 x r) mod n in 32-bit arithmetic, as thousandths,
// with r from 0 to 32767. glibc's rand() runs to 2^31 - 1, where 10 x r would
// overflow, so only its low 15 bits are taken.
float RandomThousandths(int32_t modulus) {
  const int32_t r = std::rand() & 0x7FFF;
  return static_cast<float>((r * 10) % modulus) / 1000.0f;
}
}  // namespace

cParticleSystem::cParticleSystem() { std::srand(static_cast<unsigned>(std::time(nullptr))); }

cParticleSystem::~cParticleSystem() = default;

void cParticleSystem::Respawn() {
  if (!current) return;
  Particle& p = *current;
  p.size = 1.0f;
  p.span = 1.0f + RandomThousandths(500);
  p.life = p.span;
  for (int i = 0; i < 3; ++i) {
    p.velocity[i] = emitterVelocity[i];
    p.acceleration[i] = acceleration[i];
    p.rotationAxis[i] = rotationAxis[i];
  }
  p.speedFactor = speedFactor;
  for (int i = 0; i < 3; ++i) p.position[i] = emitterPosition[i];
  p.angle = RandomThousandths(360000);
}

void cParticleSystem::Init() {
  particleCount = kParticles;
  particles.assign(kParticles, Particle{});
  for (int32_t i = 0; i < particleCount; ++i) {
    currentIndex = i;
    current = &particles[static_cast<size_t>(i)];
    current->index = i;
    Respawn();
    current->life = -0.1f;
  }
  InitHook();
}

void cParticleSystem::Update() {
  const int32_t dt = cTimer::Instance().deltaMs;
  const int32_t last = particleCount - 1;
  for (currentIndex = 0; currentIndex < particleCount; ++currentIndex) {
    const int32_t i = currentIndex;
    const int32_t before = i == 0 ? last : (i == last ? 0 : i - 1);
    predecessor = &particles[static_cast<size_t>(before)];
    current = &particles[static_cast<size_t>(i)];
    current->life -= current->span / static_cast<float>(lifeDivisor) * static_cast<float>(dt);
    if (current->life < 0.0f) {
      Respawn();
      if (++respawnCounter >= 4) {
        respawnCounter = 0;
        return;
      }
    }
    MoveParticle();
    EmitIfActive();
  }
}

void cParticleSystem::MoveParticle() {
  if (!current || !predecessor) return;
  Particle& p = *current;
  const int32_t dt = cTimer::Instance().deltaMs;
  p.angle += static_cast<float>(dt) / 10.0f;
  // A frame of 0 ms (or a speed factor of 0) would divide by zero: the velocity
  // is then left as it is.
  const float divisor = p.speedFactor * static_cast<float>(dt);
  for (int i = 0; i < 3; ++i) {
    if (divisor != 0.0f) p.velocity[i] /= divisor;
    p.velocity[i] += p.acceleration[i];
    p.position[i] += predecessor->velocity[i];
  }
}

void cParticleSystem::EmitIfActive() {
  if (active) Emit();
}

void cParticleSystem::Emit() {
  if (!current) return;
  Particle& p = *current;
  const float a = static_cast<float>(cTimer::Instance().sinceStartMs) / 500.0f;
  const float k = static_cast<float>(p.index);
  const float s1 = static_cast<float>(std::sin(static_cast<double>(k + a)));
  const float c1 = static_cast<float>(std::cos(static_cast<double>(k + a)));
  const float s2 = static_cast<float>(std::sin(static_cast<double>(a - k)));
  cDebugSystem::Instance().Log("cParticleSystem", s1);
  p.size = 1.0f + RandomThousandths(3000);
  for (int i = 0; i < 3; ++i) p.velocity[i] = -emitterPosition[i] / 100.0f;
  p.position[0] = 100.0f * s1 + emitterPosition[0];
  p.position[1] = 100.0f * c1 + emitterPosition[1];
  p.position[2] = 100.0f * s2 + emitterPosition[2];
}

void cParticleSystem::DrawParticle() {
  if (!current) return;
  const Particle& p = *current;
  glPushMatrix();
  glTranslatef(p.position[0], p.position[1], p.position[2]);
  glRotatef(p.angle, p.rotationAxis[0], p.rotationAxis[1], p.rotationAxis[2]);
  glScalef(p.size, p.size, p.size);
  DrawCube();
  glPopMatrix();
}

void cParticleSystem::DrawAllParticles() {
  for (currentIndex = 0; currentIndex < particleCount; ++currentIndex) {
    current = &particles[static_cast<size_t>(currentIndex)];
    DrawParticle();
  }
  if (particleCount > 0) currentIndex = particleCount - 1;
}

}  // namespace VantorGL
