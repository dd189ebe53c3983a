// Endurance: the built program used over and over, as a person would, while its memory, open
// files and windows are sampled. LUMENO_SOAK_SECONDS sets the length (the test suite runs a short
// soak; scripts/soak runs ten minutes and prints the samples).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <numeric>

#include "e2e/Driver.h"
#include "support/StandInServer.h"

namespace {

using namespace e2e;
using testsupport::StandInServer;

constexpr int LookupTile = 5, NumberBox = 13, QueryButton = 14, ToolboxClose = 2;
constexpr int CheckButton = 1, ConfirmButton = 4, UpdateClose = 2, AboutClose = 1;

int Port(const char* address) { return std::atoi(strrchr(address, ':') + 1); }
std::string Utf8(std::u8string_view text) { return std::string(text.begin(), text.end()); }

void ClickControl(HWND window, int id) {
    RECT r = Rect(GetDlgItem(window, id));
    Click((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

struct Sample {
    double seconds, rssMb;
    double files, windows;
};

class Soak {
  public:
    explicit Soak(Program& p) : p_(p) {}

    bool Menu(int item) {
        POINT icon = FirstTrayIcon();
        Click(icon.x, icon.y, true);
        e2e::Menu menu;
        if (!WaitFor([&] { return (menu = OpenMenu()).window != nullptr; }, 5000)) return false;
        ChooseMenuItem(menu, item, 7);
        return true;
    }
    HWND Wait(const std::wstring& title, int w, int h) {
        HWND found = nullptr;
        WaitFor([&] {
            found = WindowOf(p_.id, L"LumenoForm", title, w, h);
            return found && IsWindowVisible(found);
        }, 8000);
        return found;
    }
    void Sweep(int ms) {
        for (int t = 0; t < ms; t += 8) {
            double a = (sweep_ += 0.07);
            SetCursorPos(520 + int(300 * std::cos(a)), 400 + int(250 * std::sin(a)));
            Sleep(8);
        }
    }
    // One round: a lookup in the toolbox, an update check, the about window; each closed again.
    // Returns what failed, or nullptr.
    const char* Round(StandInServer& lookup, size_t& lookups) {
        if (!Menu(0)) return "menu 打开工具箱";
        HWND toolbox = Wait(Wide("Lumeno助手"), 379, 228);
        if (!toolbox) return "toolbox";
        Sleep(150);
        ClickControl(toolbox, LookupTile);
        ClickControl(toolbox, NumberBox);
        TypeText(L"13800138000");
        ClickControl(toolbox, QueryButton);
        if (!lookup.WaitForRequests(++lookups, 8000)) return "lookup request";
        Sweep(300);
        ClickControl(toolbox, ToolboxClose);
        if (!WaitFor([&] { return !IsWindow(toolbox); }, 5000)) return "toolbox closed";

        if (!Menu(4)) return "menu 软件更新";
        HWND update = Wait(L"", 415, 250);
        if (!update) return "update window";
        Sleep(150);
        ClickControl(update, CheckButton);
        if (!WaitFor([&] { return IsWindowVisible(GetDlgItem(update, ConfirmButton)) != 0; }, 8000)) return "update offered";
        ClickControl(update, UpdateClose);
        if (!WaitFor([&] { return !IsWindow(update); }, 5000)) return "update closed";

        if (!Menu(5)) return "menu 关于";
        HWND about = Wait(Wide("Lumeno   一个全新的开始"), 483, 247);
        if (!about) return "about window";
        Sweep(200);
        if (round_++ % 2) {
            PressKey(VK_ESCAPE);
        } else {
            ClickControl(about, AboutClose);
        }
        if (!WaitFor([&] { return !IsWindow(about); }, 5000)) return "about closed";
        Sweep(1000);
        return nullptr;
    }

  private:
    Program& p_;
    double sweep_ = 0;
    int round_ = 0;
};

double Mean(const std::vector<Sample>& s, size_t from, size_t to, double Sample::*field) {
    double sum = 0;
    for (size_t i = from; i < to; ++i) sum += s[i].*field;
    return sum / double(std::max<size_t>(1, to - from));
}

TEST(SoakEndToEnd, StaysUpAndFlatUnderRepeatedUse) {
    int seconds = 40;
    if (const char* s = std::getenv("LUMENO_SOAK_SECONDS")) seconds = std::max(10, std::atoi(s));
    StandInServer lookup(testsupport::Ok(Utf8(u8"<p>卡号归属地：<em>北京</em>   类型：<em>移动</em> 区号："
                                              u8"<em>010</em>     邮政编码：<em>100000</em></p>")),
                         uint16_t(Port(LUMENO_STANDIN_LOOKUP)));
    StandInServer vendor(testsupport::Ok("1.5"), uint16_t(Port(LUMENO_STANDIN_VENDOR)));
    Program p = Start();
    ASSERT_TRUE(p.process);
    HWND welcome = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (welcome = WindowOf(p.id, L"LumenoForm", L"", 300, 130)) != nullptr; }));
    Sleep(300);
    RECT w = Rect(welcome);
    Click(w.left + 264 + 17, w.top + 17); // the prompt's close button: it is answered once a run
    std::wstring proc = LinuxProcess("LumenoStandIn.exe");
    ASSERT_FALSE(proc.empty());

    Soak soak(p);
    size_t lookups = 0;
    std::vector<Sample> samples;
    DWORD start = GetTickCount();
    int rounds = 0;
    while (GetTickCount() - start < DWORD(seconds) * 1000) {
        const char* failed = soak.Round(lookup, lookups);
        if (failed) Screenshot(L"soak-failed");
        ASSERT_EQ(failed, nullptr) << failed << " in round " << rounds;
        ASSERT_TRUE(Running(p));
        ++rounds;
        samples.push_back({(GetTickCount() - start) / 1000.0, WorkingSetMb(proc), double(OpenFiles(proc)),
                           double(WindowsOf(p.id).size())});
        std::printf("sample %6.1f s  rss %7.2f MB  files %3.0f  windows %3.0f\n", samples.back().seconds,
                    samples.back().rssMb, samples.back().files, samples.back().windows);
    }
    ASSERT_GE(samples.size(), 3u);
    // The first round warms caches (pictures, fonts, COM, WinINet); compare the first and the
    // last fifth of what follows (a minute each in the ten-minute soak).
    size_t n = samples.size() - 1, fifth = std::max<size_t>(1, n / 5);
    auto first = [&](double Sample::*f) { return Mean(samples, 1, 1 + fifth, f); };
    auto last = [&](double Sample::*f) { return Mean(samples, samples.size() - fifth, samples.size(), f); };
    std::printf("rounds %d, lookups %zu\n", rounds, lookups);
    std::printf("first %.2f MB %.1f files %.1f windows; last %.2f MB %.1f files %.1f windows\n",
                first(&Sample::rssMb), first(&Sample::files), first(&Sample::windows), last(&Sample::rssMb),
                last(&Sample::files), last(&Sample::windows));
    EXPECT_LE(last(&Sample::rssMb), first(&Sample::rssMb) * 1.05);
    EXPECT_LE(last(&Sample::files), first(&Sample::files) * 1.05);
    EXPECT_LE(last(&Sample::windows), first(&Sample::windows) * 1.05);
    Stop(p);
}

} // namespace
