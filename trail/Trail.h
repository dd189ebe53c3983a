// The cursor trail: twenty particle windows made once and reused by the 1 ms trail tick.
#pragma once
#include <array>

#include "ui/Types.h"

namespace trail {

struct TrailParticle {
    ui::ControlRef control;
    float velocityX = 0;
    float velocityY = 0;
    float positionX = 0;
    float positionY = 0;
    int32_t alpha = 0; // 0 inactive, else 5..255 in steps of 5
};

constexpr int ParticleCount = 20;
using ParticlePool = std::array<TrailParticle*, ParticleCount>;

struct TrailState {
    int32_t lastMouseX = 0;
    int32_t lastMouseY = 0;
    int32_t currentSlot = 0; // 1..20, 0 before the first spawn
};

void CreateParticlePool();
void ReleaseParticlePool();
void CreateParticleWindows();
void TrailTick();

// The pool's slot s (1..20), or null when no pool exists.
TrailParticle* Particle(int slot);
TrailState& State();

} // namespace trail
