// Cost of one trail tick with no active particle and with twenty, on real windows under the
// program's own start-up. Prints a table; compare the ratio, not the absolute times.
#include <cstdio>
#include <windows.h>

#include "trail/ParticleWindow.h"
#include "trail/Trail.h"
#include "ui/Forms.h"
#include "ui/Runtime.h"

namespace {

struct Row {
    double microseconds;
    double propertyWrites;
    double layeredUpdates;
};

long propertyWrites = 0;

template <class Step> Row Measure(int ticks, Step step) {
    long writes = propertyWrites;
    uint64_t layered = trail::LayeredAlphaCalls();
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    for (int i = 0; i < ticks; ++i) {
        step(i);
        trail::TrailTick();
    }
    QueryPerformanceCounter(&end);
    double us = double(end.QuadPart - start.QuadPart) * 1e6 / double(frequency.QuadPart);
    return {us / ticks, double(propertyWrites - writes) / ticks,
            double(trail::LayeredAlphaCalls() - layered) / ticks};
}

} // namespace

int main() {
    ui::Initialise();
    trail::CreateParticlePool();
    ui::LoadWindow(ui::MainForm);
    ui::SetProperty({ui::MainForm, ui::mainform::时钟1}, ui::prop::Period, 0);
    ui::RuntimeObservers().propertyWrite = [](ui::ControlRef, int, int) { ++propertyWrites; };

    SetCursorPos(300, 300);
    for (int i = 0; i < 60; ++i) trail::TrailTick(); // everything faded
    Row idle = Measure(2000, [](int) {});

    // Twenty active: the trail state is nudged instead of the cursor, so only the tick is timed.
    for (int i = 0; i < 20; ++i) {
        SetCursorPos(300 + i, 300);
        trail::TrailTick();
    }
    Row busy = Measure(300, [](int i) { trail::State().lastMouseX = 1000 + i; });

    std::printf("| trail tick | time per tick (us) | property writes | layered updates |\n");
    std::printf("|---|---:|---:|---:|\n");
    std::printf("| no active particle | %.1f | %.1f | %.1f |\n", idle.microseconds, idle.propertyWrites,
                idle.layeredUpdates);
    std::printf("| twenty active | %.1f | %.1f | %.1f |\n", busy.microseconds, busy.propertyWrites,
                busy.layeredUpdates);
    std::printf("| ratio twenty / none | %.0f | | |\n", busy.microseconds / idle.microseconds);
    return 0;
}
