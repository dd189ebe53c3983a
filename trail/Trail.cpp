// The particle pool, its twenty windows and the trail tick.
#include "trail/Trail.h"

#include "trail/ParticleWindow.h"
#include "ui/Forms.h"
#include "ui/Runtime.h"

namespace trail {
namespace {

ParticlePool* pool = nullptr;
TrailState state;

constexpr ui::ControlRef TrailTimer{ui::MainForm, ui::mainform::时钟1};

float Velocity(int n) { return float((n - 10) / 10.0); }

} // namespace

TrailParticle* Particle(int slot) {
    return pool && slot >= 1 && slot <= ParticleCount ? (*pool)[size_t(slot - 1)] : nullptr;
}

TrailState& State() { return state; }

void CreateParticlePool() {
    pool = new ParticlePool{};
    for (TrailParticle*& p : *pool) p = new TrailParticle{};
}

void ReleaseParticlePool() {
    if (!pool) return;
    for (TrailParticle*& p : *pool) {
        delete p;
        p = nullptr;
    }
    delete pool;
    pool = nullptr;
}

void CreateParticleWindows() {
    for (int slot = 1; slot <= ParticleCount; ++slot) {
        TrailParticle& p = *Particle(slot);
        uint32_t source = ui::RandomNumber(1, 2) == 1 ? ui::mainform::图片框1 : ui::mainform::图片框2;
        p.control = ui::CopyControl({ui::MainForm, source});
        if (HWND h = ui::WindowHandle(p.control)) {
            DetachToDesktop(h);
            MakeTopmost(h);
            SetLayeredAlpha(h, 0xFF000000, 0);
            MakeToolWindow(h);
            MakeClickThrough(h);
        }
        ui::SetProperty(p.control, ui::prop::Visible, 1);
        p.velocityX = Velocity(ui::RandomNumber(0, 20));
        p.velocityY = Velocity(ui::RandomNumber(0, 20));
    }
}

void TrailTick() {
    ui::SetProperty(TrailTimer, ui::prop::Period, 0);
    int32_t x = ui::MouseX();
    int32_t y = ui::MouseY();
    if (x != state.lastMouseX || y != state.lastMouseY) {
        state.lastMouseX = x;
        state.lastMouseY = y;
        if (++state.currentSlot > ParticleCount) state.currentSlot = 1;
        if (TrailParticle* p = Particle(state.currentSlot)) {
            p->alpha = 255;
            p->positionX = float(x);
            p->positionY = float(y);
            ui::SetProperty(p->control, ui::prop::Left, x);
            ui::SetProperty(p->control, ui::prop::Top, y);
        }
    }
    for (int slot = 1; slot <= ParticleCount; ++slot) {
        TrailParticle* p = Particle(slot);
        if (!p || p->alpha <= 0) continue;
        p->alpha -= 5;
        p->positionX += p->velocityX;
        p->positionY += p->velocityY;
        ui::SetProperty(p->control, ui::prop::Left, int32_t(p->positionX));
        ui::SetProperty(p->control, ui::prop::Top, int32_t(p->positionY));
        if (HWND h = ui::WindowHandle(p->control)) SetLayeredAlpha(h, 0x00FFFFFF, p->alpha);
        ui::ProcessEvents();
    }
    ui::SetProperty(TrailTimer, ui::prop::Period, 1);
}

} // namespace trail
