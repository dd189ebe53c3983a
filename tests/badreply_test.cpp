// Bad input against the running program: lookup replies that are empty, binary, not UTF-8, huge,
// endless or cut off; a flood of pasted text; fast repeated clicks on 查询, the launchers and the
// tray menu; Esc and close while a lookup waits. The real start-up runs once (the main window with
// its tray handler and 1 ms trail timer), the service is a stand-in on loopback, and what would
// reach outside the program goes to recorders.
#include <gtest/gtest.h>

#include "support/Fixtures.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <random>
#include <string>
#include <thread>
#include <vector>
#include <windows.h>

#include <psapi.h>
#include <shellapi.h>

#include "app/Tray.h"
#include "net/Lookup.h"
#include "net/WebAccess.h"
#include "support/StandInServer.h"
#include "toolbox/Toolbox.h"
#include "trail/Trail.h"
#include "ui/Addresses.h"
#include "ui/Forms.h"
#include "ui/Runtime.h"
#include "ui/Text.h"
#include "ui/win32/Internal.h"

using namespace testsupport;
using namespace ui::toolbox;

namespace {

constexpr ui::ControlRef Box{ui::ToolboxForm, 编辑框1};
constexpr ui::ControlRef TrailTimer{ui::MainForm, ui::mainform::时钟1};
constexpr uint32_t Labels[] = {卡号归属地显示框, 卡号类型显示框, 区号显示框, 邮政编码显示框};
using Four = std::array<ui::Text, 4>;
const Four Found = {"北京 北京", "移动", "010", "100000"};
const Four Empty = {"", "", "", ""};

// Milliseconds from a fine clock; GetTickCount64 steps in 10 to 16 ms on Windows.
double Now() {
    static const double perMs = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return double(f.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) / perMs;
}

std::string Utf8(std::u8string_view text) {
    return std::string(text.begin(), text.end());
}

// The service's paragraph in UTF-8, its home location and postcode as given; Page puts it in a
// page.
std::string Paragraph(const std::string& home = Utf8(u8"北京 北京"),
                      const std::string& post = "100000") {
    return Utf8(u8"<p>卡号归属地：<em>") + home + Utf8(u8"</em>   类型：<em>移动</em> 区号：<em>") +
           "010" + Utf8(u8"</em>     邮政编码：<em>") + post + "</em></p>";
}
std::string Page(const std::string& paragraph = Paragraph()) {
    return Utf8(u8"<html><body><h1>手机号码归属地</h1>\n") + paragraph + "\n</body></html>";
}

Reply Raw(const std::string& bytes) {
    Reply reply;
    reply.bytes = bytes;
    return reply;
}
Reply Slowly(Reply reply, size_t chunk, unsigned delayMs) {
    reply.chunkBytes = chunk;
    reply.delayBetweenMs = delayMs;
    return reply;
}

Four Shown() {
    Four values;
    for (size_t j = 0; j < 4; ++j)
        values[j] = ui::GetText({ui::ToolboxForm, Labels[j]});
    return values;
}

HWND Handle(ui::ControlRef ref) {
    return ui::WindowHandle(ref);
}
HWND Main() {
    return Handle(ui::WindowRef(ui::MainForm));
}

// A press and release on a picture button, through the queue as a user's click arrives.
void PostClick(uint32_t control) {
    HWND h = Handle({ui::ToolboxForm, control});
    PostMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageW(h, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
}

void Settle(int rounds = 5) {
    for (int i = 0; i < rounds; ++i) {
        ui::ProcessEvents();
        Sleep(2);
    }
}

bool Answers(HWND hwnd) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &result) != 0;
}

// ---- The tray menu, watched on the main window ------------------------------------------------

// Every pop-up of the tray menu is seen as it opens. It is then closed at once, or the item
// `choose` (0-based) is chosen with the keys a user would press.
struct MenuWatch {
    int choose = -1;
    int opened = 0;
    // Right clicks posted from another thread: 0 none waiting, 1 posted, 2 menu open.
    std::atomic<int> state{0};
    std::atomic<double> postedAt{0}, closedAt{0};
} menus;

void CALLBACK CloseMenu(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    EndMenu();
    menus.closedAt = Now();
    menus.state = 0;
}

void CALLBACK ChooseItem(HWND, UINT, UINT_PTR id, DWORD) {
    HWND menu = FindWindowW(L"#32768", nullptr);
    if (!menu || !IsWindowVisible(menu)) return;
    KillTimer(nullptr, id);
    for (int n = 0; n <= menus.choose; ++n)
        PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
}

// What the probe below reads while a lookup runs.
struct Responsiveness {
    bool inLookup = false;
    std::vector<double> latencies; // right click posted until its menu opened, answered inside
    double lastTick = 0, longestTickGap = 0;
} seen;

WNDPROC mainProc = nullptr;

// Put before the main window's own procedure.
LRESULT CALLBACK WatchMenus(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITMENUPOPUP) {
        ++menus.opened;
        if (menus.state == 1 && seen.inLookup) seen.latencies.push_back(Now() - menus.postedAt);
        menus.state = 2;
        SetTimer(nullptr, 0, menus.choose < 0 ? 1 : 5, menus.choose < 0 ? CloseMenu : ChooseItem);
    }
    return CallWindowProcW(mainProc, hwnd, message, wParam, lParam);
}

// While it lives, another thread posts a tray right click to the main window whenever the last
// one's menu has closed (after a short pause), as a user would keep clicking.
class RightClicker {
  public:
    RightClicker() {
        thread_ = std::thread([this] {
            while (!stop_) {
                if (menus.state == 0 && Now() - menus.closedAt >= 100) {
                    menus.postedAt = Now();
                    menus.state = 1;
                    PostMessageW(Main(), ui::win32::WM_APP_TRAY, 1, WM_RBUTTONUP);
                }
                Sleep(5);
            }
        });
    }
    ~RightClicker() {
        stop_ = true;
        thread_.join();
        // A click posted at the very end still opens its menu; let it close.
        for (int n = 0; n < 500 && menus.state != 0; ++n) {
            ui::ProcessEvents();
            Sleep(2);
        }
    }
    RightClicker(const RightClicker&) = delete;
    RightClicker& operator=(const RightClicker&) = delete;

  private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// ---- Memory ---------------------------------------------------------------------------------

size_t WorkingSet() {
    PROCESS_MEMORY_COUNTERS counters{sizeof counters};
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.WorkingSetSize;
}

// The largest working set seen by another thread while it lives.
class PeakMemory {
  public:
    PeakMemory() : peak_(WorkingSet()) {
        thread_ = std::thread([this] {
            while (!stop_) {
                peak_ = std::max<size_t>(peak_, WorkingSet());
                Sleep(10);
            }
        });
    }
    ~PeakMemory() { Stop(); }
    size_t Stop() {
        if (thread_.joinable()) {
            stop_ = true;
            thread_.join();
        }
        return peak_;
    }
    PeakMemory(const PeakMemory&) = delete;
    PeakMemory& operator=(const PeakMemory&) = delete;

  private:
    std::atomic<bool> stop_{false};
    std::atomic<size_t> peak_;
    std::thread thread_;
};

constexpr double MiB = 1024.0 * 1024.0;

// ---- The fixture ----------------------------------------------------------------------------

std::vector<std::string> effects;
std::vector<int> exits;

class BadInput : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        SetCursorPos(1000, 700);
        trail::CreateParticlePool();
        ui::RegisterReleaseRoutine(trail::ReleaseParticlePool);
        ui::LoadWindow(ui::MainForm); // the real start-up: tray icon, welcome, particles, trail
        mainProc = (WNDPROC)SetWindowLongPtrW(Main(), GWLP_WNDPROC, (LONG_PTR)WatchMenus);
        ui::RuntimeObservers().tick = [](ui::ControlRef ref) {
            if (ref != TrailTimer || !seen.inLookup) return;
            double now = Now();
            seen.longestTickGap = std::max(seen.longestTickGap, now - seen.lastTick);
            seen.lastTick = now;
        };
    }
    static void TearDownTestSuite() {
        SetWindowLongPtrW(Main(), GWLP_WNDPROC, (LONG_PTR)mainProc);
        ui::RuntimeObservers().tick = nullptr;
    }

    void SetUp() override {
        savedHost_ = ui::BuiltInAddresses().lookupHost;
        effects.clear();
        exits.clear();
        ui::Effects& e = ui::ReplaceableEffects();
        e.runProgram = [](const ui::Text& line, bool) {
            effects.push_back("run " + line);
            return true;
        };
        e.openUrl = [](const ui::Text& url) { effects.push_back("open " + url); };
        e.shellExecute = [](const ui::Text& target) { effects.push_back("shell " + target); };
        e.messageBox = [](const ui::Text& text, int, const ui::Text&) {
            effects.push_back("message " + text);
            return 0;
        };
        e.exit = [](int code) { exits.push_back(code); };
        menus.choose = -1;
        if (!ui::IsLoaded(ui::ToolboxForm)) {
            ASSERT_TRUE(ui::LoadWindow(ui::ToolboxForm));
        }
        toolbox::OnLookupViewClicked();
        ui::SetText(Box, "13800138000");
    }
    void TearDown() override {
        ui::RuntimeObservers().clicked = nullptr;
        ui::DestroyWindow(ui::AboutForm);
        ui::DestroyWindow(ui::UpdateForm);
        Settle();
        ui::RestoreEffects();
        ui::BuiltInAddresses().lookupHost = savedHost_;
    }

    static void PointAt(const StandInServer& service) {
        ui::BuiltInAddresses().lookupHost = service.Address();
    }

    // What one lookup (the 查询 handler) leaves, and how the program answered meanwhile.
    struct Outcome {
        Four labels;
        double elapsed = 0;
        std::vector<double> latencies;
        double longestTickGap = 0;
    };

    static Outcome Query() {
        Outcome out;
        seen = {};
        {
            RightClicker user;
            double start = Now();
            seen.lastTick = start;
            seen.inLookup = true;
            net::OnQueryClicked();
            seen.inLookup = false;
            out.elapsed = Now() - start;
        }
        out.labels = Shown();
        out.latencies = seen.latencies;
        out.longestTickGap = seen.longestTickGap;
        return out;
    }

  private:
    ui::Text savedHost_;
};

double Longest(const std::vector<double>& values) {
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

// A label that shows something readable: whole GBK characters, nothing of the markup around it.
bool Readable(const ui::Text& label) {
    return !label.empty() && ui::Narrow(ui::Widen(label)) == label &&
           label.find_first_of("<>") == ui::Text::npos;
}

std::string RandomBytes(size_t size, bool withZeroAndPercent) {
    std::mt19937 random(99);
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        do
            c = char(random());
        while (!withZeroAndPercent && (c == '\0' || c == '%'));
    }
    return bytes;
}

} // namespace

// ---- Replies ----------------------------------------------------------------------------------

TEST_F(BadInput, RepliesLeaveTheLabelsEmptyOrFilled) {
    enum class Shows { Empty, Found, Readable }; // Readable: the first label, the rest as Found
    const std::string page = Page();
    const size_t paragraphEnd = page.find("</p>") + 4;
    const std::string padding(2048, ' ');
    struct Case {
        const char* what;
        Reply reply;
        Shows shows;
        bool streams = false; // long enough to probe the program while it reads
    } cases[] = {
        {"no bytes at all", Raw(""), Shows::Empty},
        {"binary", Ok(RandomBytes(4096, true)), Shows::Empty},
        // A lead byte directly before "<p>" must not swallow the "<".
        {"binary before the paragraph", Ok(RandomBytes(4096, false) + "\xE4" + Paragraph()),
         Shows::Found},
        {"invalid UTF-8 around the paragraph",
         Ok("\x80\xBF\xC0\xAF\xED\xA0\x80\xF8\x88\x80\x80\x80\xFE\xFF" + Page() + "\xE5\x8C"),
         Shows::Found},
        {"invalid UTF-8 in a field", Ok(Page(Paragraph("\xE5\x8Cx\xFF"))), Shows::Readable},
        {"escapes to invalid UTF-8 in a field", Ok(Page(Paragraph("%E5%8C%FFx"))), Shows::Readable},
        // The "%" takes the "<" and "/" of "</em>" as its digits: the paragraph no longer matches.
        {"a per cent sign ending a field", Ok(Page(Paragraph(Utf8(u8"北京") + "%"))), Shows::Empty},
        {"cut off in the head", Raw("HTTP/1.1 200 OK\r\nContent-Le"), Shows::Empty},
        {"cut off in the paragraph", Truncated(page.substr(0, page.find("010")), page.size()),
         Shows::Empty},
        {"cut off inside a character",
         Truncated(page.substr(0, page.find("\xE5\x8C\x97") + 1), page.size()), Shows::Empty},
        {"cut off after the paragraph", Truncated(page.substr(0, paragraphEnd + 3), page.size()),
         Shows::Found},
        // Less than a read block at a time: the reads must not wait for a whole block.
        {"trickling in, a few bytes at a time", Slowly(Ok(page), 24, 150), Shows::Found, true},
        {"cut off mid-way while it streams slowly",
         Slowly(Truncated(padding + page.substr(0, page.find("010")), padding.size() + page.size()),
                128, 60),
         Shows::Empty, true},
    };
    Reply reply;
    StandInServer service([&reply](const std::string&) { return reply; });
    PointAt(service);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        reply = c.reply;
        ui::SetText({ui::ToolboxForm, Labels[0]}, "old");
        Outcome out = Query();
        switch (c.shows) {
        case Shows::Empty:
            EXPECT_EQ(out.labels, Empty);
            break;
        case Shows::Found:
            EXPECT_EQ(out.labels, Found);
            break;
        case Shows::Readable:
            EXPECT_TRUE(Readable(out.labels[0])) << out.labels[0];
            for (size_t j = 1; j < 4; ++j)
                EXPECT_EQ(out.labels[j], Found[j]);
            break;
        }
        if (c.streams) {
            EXPECT_GE(out.latencies.size(), 3u) << "too few right clicks to judge";
        }
        EXPECT_LT(Longest(out.latencies), 1000.0);
        EXPECT_LT(out.longestTickGap, 1000.0);
    }
    EXPECT_TRUE(exits.empty());
}

// Fifty megabytes with the paragraph at the very end are read whole; an endless reply stops at
// the cap. Meanwhile a tray right click opens its menu within a second and the trail timer keeps
// ticking. The reply passes through a few whole copies (the read, the decoded bytes, two UTF-16
// buffers, the GBK text, the engine's own string): about seven times its size at the peak here,
// all of it given back afterwards.
TEST_F(BadInput, HugeAndEndlessRepliesKeepTheProgramAnswering) {
    const size_t fifty = size_t(50) << 20;
    struct Case {
        const char* what;
        Reply reply;
        size_t read; // bytes of the reply the program takes in
    } cases[] = {
        {"fifty megabytes, the paragraph last", Ok(std::string(fifty, 'x') + "\n" + Paragraph()),
         fifty},
        {"endless, the paragraph first",
         [] {
             Reply endless =
                 Raw("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + Paragraph() + "\n");
             endless.endless = true;
             return endless;
         }(),
         net::MaxReplyBytes},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        // Handed over, not copied: the server holds the only copy of the big reply.
        StandInServer service([&c](const std::string&) { return std::move(c.reply); });
        PointAt(service);
        ui::SetText({ui::ToolboxForm, Labels[0]}, "old");
        const size_t before = WorkingSet();
        PeakMemory peak;
        Outcome out = Query();
        const double grown = (double(peak.Stop()) - double(before)) / MiB;
        const double left = (double(WorkingSet()) - double(before)) / MiB;
        std::printf("%s: %.1f s, %zu right clicks answered, longest %.0f ms, longest tick gap "
                    "%.0f ms, working set +%.0f MiB at most, +%.0f MiB after\n",
                    c.what, out.elapsed / 1000, out.latencies.size(), Longest(out.latencies),
                    out.longestTickGap, grown, left);
        EXPECT_EQ(out.labels, Found);
        EXPECT_GE(out.latencies.size(), 5u);
        EXPECT_LT(Longest(out.latencies), 1000.0);
        EXPECT_LT(out.longestTickGap, 1000.0);
        EXPECT_LT(grown, 10 * double(c.read) / MiB);
        EXPECT_LT(left, 64.0);
        EXPECT_EQ(service.Requests().size(), 1u);
    }
}

// ---- The number box under a flood of pasted text ----------------------------------------------

namespace {

using testsupport::SetClipboard;

bool Allowed(wchar_t ch) {
    return (ch >= L'0' && ch <= L'9') || ch == L'-' || ch == L'.';
}

// Ten thousand UTF-16 units: letters, Chinese, full-width digits, punctuation, blanks, line
// breaks and a character beyond the BMP (two units); digits, "-" and "." too when `withAllowed`.
std::wstring MixedText(std::mt19937& random, bool withAllowed) {
    const std::pair<wchar_t, unsigned> ranges[] = {{L'a', 26},   {L'A', 26}, {0x4E00, 0x51A6},
                                                   {0xFF10, 10}, {L'0', 10}, {L'-', 2}};
    const std::wstring others = L"，。！？、；：“”（）《》,;:!?'\"()[]{}<>@#$%^&*_+=/\\|~` \t\r\n";
    const size_t kinds = std::size(ranges) - (withAllowed ? 0 : 2);
    std::wstring text;
    while (text.size() < 10000) {
        size_t kind = random() % (kinds + 2);
        if (kind == kinds) {
            text += others[random() % others.size()];
        } else if (kind == kinds + 1) {
            text += L"\xD83D\xDE00";
        } else {
            auto [first, count] = ranges[kind];
            text += wchar_t(first + random() % count);
        }
    }
    text.resize(10000);
    return text;
}

std::wstring FirstAllowed(const std::wstring& text, size_t count) {
    std::wstring kept;
    for (wchar_t ch : text)
        if (Allowed(ch) && kept.size() < count) kept += ch;
    return kept;
}

} // namespace

TEST_F(BadInput, PasteOfTenThousandCharactersKeepsAtMostElevenAllowedOnes) {
    HWND owner = Handle(ui::WindowRef(ui::ToolboxForm));
    HWND edit = Handle(Box);
    std::mt19937 random(31337);
    const std::wstring mixed = MixedText(random, true);
    const std::wstring none = MixedText(random, false);
    const std::wstring digitsLast = none.substr(0, 10000 - 11) + L"13800138000";
    struct Case {
        const char* what;
        const wchar_t* before;
        int caret;
        std::wstring clipboard, after;
    } cases[] = {
        {"mixed into an empty box", L"", 0, mixed, FirstAllowed(mixed, 11)},
        {"mixed into the middle", L"1234", 2, mixed, L"12" + FirstAllowed(mixed, 7) + L"34"},
        {"nothing allowed", L"139", 3, none, L"139"},
        {"the digits last", L"", 0, digitsLast, L"13800138000"},
    };
    ASSERT_EQ(FirstAllowed(mixed, 11).size(), 11u);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ui::SetText(Box, ui::Narrow(c.before));
        SendMessageW(edit, EM_SETSEL, c.caret, c.caret);
        SetClipboard(owner, c.clipboard);
        SendMessageW(edit, WM_PASTE, 0, 0);
        std::wstring shown = ui::Widen(ui::GetText(Box));
        EXPECT_LE(shown.size(), 11u);
        EXPECT_TRUE(std::all_of(shown.begin(), shown.end(), Allowed)) << ui::Narrow(shown);
        EXPECT_EQ(shown, c.after);
    }
}

// ---- Fast repeated clicks ---------------------------------------------------------------------

namespace {
int queryClicks = 0;
void CALLBACK ClickTwentyTimes(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    for (int n = 0; n < 20; ++n)
        PostClick(查询);
}
} // namespace

// Each click runs a lookup inside the one before it; every one completes, the first click writes
// its results last, and the window is usable afterwards.
TEST_F(BadInput, TwentyQueryClicksWhileASlowReplyStreams) {
    std::atomic<int> served{0};
    StandInServer service([&served](const std::string&) {
        int n = ++served; // the first reply streams slowest, so every later click falls inside it
        return Slowly(Ok(Page(Paragraph(Utf8(u8"北京 北京"), std::to_string(100000 + n)))), 64,
                      n == 1 ? 60 : 30);
    });
    PointAt(service);
    queryClicks = 0;
    ui::RuntimeObservers().clicked = [](ui::ControlRef ref) {
        queryClicks += ref == ui::ControlRef{ui::ToolboxForm, 查询};
    };
    PostClick(查询);
    SetTimer(nullptr, 0, 60, ClickTwentyTimes);
    double deadline = Now() + 30000;
    while (queryClicks < 21 && Now() < deadline) {
        ui::ProcessEvents(); // the first click's lookup, and every later one inside it
        Sleep(1);
    }
    EXPECT_EQ(queryClicks, 21);
    EXPECT_TRUE(service.WaitForRequests(21, 1000));
    EXPECT_EQ(service.Requests().size(), 21u);
    EXPECT_EQ(Shown(), (Four{"北京 北京", "移动", "010", "100001"}));
    EXPECT_EQ(ui::GetText(Box), "13800138000");
    ASSERT_TRUE(ui::IsLoaded(ui::ToolboxForm));
    EXPECT_TRUE(Answers(Handle(ui::WindowRef(ui::ToolboxForm))));
}

TEST_F(BadInput, QuickClicksOnTheLaunchersAreOneCallEach) {
    toolbox::OnBackClicked();
    const ui::Addresses& at = ui::BuiltInAddresses();
    const std::pair<uint32_t, std::string> tiles[] = {
        {打开计算器, "run calc.exe"},
        {画图工具, "run mspaint"},
        {打开记事本, "run notepad"},
        {导航, "open " + at.vendorSite + "/dh"},
        {电脑应用, "open " + at.vendorSite + "/dh/dnyy"},
        {手机应用, "open " + at.vendorSite + "/dh/sjyy"},
        {百度一下, "open " + at.searchHome},
    };
    std::vector<std::string> expected;
    for (int round = 0; round < 20; ++round)
        for (const auto& [tile, effect] : tiles) {
            PostClick(tile);
            expected.push_back(effect);
        }
    Settle();
    EXPECT_EQ(effects, expected);
    HWND window = Handle(ui::WindowRef(ui::ToolboxForm));
    ASSERT_TRUE(ui::IsLoaded(ui::ToolboxForm));
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_TRUE(Answers(window));
    PostClick(手机归属地);
    Settle();
    EXPECT_EQ(ui::GetProperty({ui::ToolboxForm, 查询}, ui::prop::Visible), 1);
}

namespace {
// Shown windows of this process with the size of `window`'s definition.
int ShownWindowsLike(uint32_t window) {
    struct Count {
        int width, height, n;
    } count{ui::Definition(window).width, ui::Definition(window).height, 0};
    EnumWindows(
        [](HWND h, LPARAM param) {
            auto& c = *reinterpret_cast<Count*>(param);
            DWORD pid = 0;
            GetWindowThreadProcessId(h, &pid);
            RECT r;
            GetWindowRect(h, &r);
            c.n += pid == GetCurrentProcessId() && IsWindowVisible(h) &&
                   r.right - r.left == c.width && r.bottom - r.top == c.height;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count.n;
}
} // namespace

// 软件更新 and 关于 chosen from the tray menu twenty times each, one right after the other.
TEST_F(BadInput, TrayItemsChosenTwentyTimesGiveOneWindowEach) {
    constexpr int Update = 4, About = 5; // positions in the tray menu
    for (int round = 0; round < 40; ++round) {
        menus.choose = round % 2 ? Update : About;
        int opened = menus.opened;
        PostMessageW(Main(), ui::win32::WM_APP_TRAY, 1, WM_RBUTTONUP);
        for (int n = 0; n < 1000 && menus.opened == opened; ++n) {
            ui::ProcessEvents(); // the menu runs and the chosen item's handler returns in here
            Sleep(1);
        }
        ASSERT_EQ(menus.opened, opened + 1) << "round " << round;
        menus.state = 0;
    }
    Settle();
    EXPECT_TRUE(ui::IsLoaded(ui::AboutForm));
    EXPECT_TRUE(ui::IsLoaded(ui::UpdateForm));
    EXPECT_EQ(ShownWindowsLike(ui::AboutForm), 1);
    EXPECT_EQ(ShownWindowsLike(ui::UpdateForm), 1);
    EXPECT_TRUE(effects.empty());
    EXPECT_TRUE(exits.empty());
}

// ---- Esc and close while a lookup waits --------------------------------------------------------

namespace {

// Steps run from a timer inside whatever loop runs: the toolbox's modal loop, the lookup's reads.
struct Script {
    bool esc = false; // Esc in the number box, else the close button
    double started = 0;
    int step = 0;
    double queriedAt = 0; // 查询 clicked
    bool timedOut = false;
    double goneAt = 0;
} script;

void CALLBACK RunScript(HWND, UINT, UINT_PTR id, DWORD) {
    // A modal toolbox that never goes would hold the test for ever.
    if (Now() - script.started > 15000 && ui::IsLoaded(ui::ToolboxForm)) {
        script.timedOut = true;
        ui::DestroyWindow(ui::ToolboxForm);
    }
    switch (script.step) {
    case 0: // the toolbox is up: to the lookup view, a number, 查询
        if (!ui::IsLoaded(ui::ToolboxForm)) return;
        PostClick(手机归属地);
        ui::SetText(Box, "13800138000");
        PostClick(查询);
        ++script.step;
        return;
    case 1: // the lookup waits for its slow reply
        if (script.queriedAt == 0) return;
        if (script.esc)
            PostMessageW(Handle(Box), WM_KEYDOWN, VK_ESCAPE, 0);
        else
            PostClick(关闭窗口);
        ++script.step;
        return;
    default: // the window is gone
        if (ui::IsLoaded(ui::ToolboxForm)) return;
        script.goneAt = Now();
        KillTimer(nullptr, id);
        return;
    }
}

bool TrayIconExists() {
    NOTIFYICONDATAW d{sizeof d};
    d.hWnd = Main();
    d.uID = 1;
    return Shell_NotifyIconW(NIM_MODIFY, &d);
}

} // namespace

TEST_F(BadInput, EscOrCloseWhileALookupWaits) {
    constexpr unsigned StreamMs = 1500; // the reply's pieces arrive over this time
    const std::string page = Page();
    StandInServer service(Slowly(Ok(page), page.size() / 15, StreamMs / 15));
    PointAt(service);
    struct Case {
        const char* what;
        bool esc, fromTrayMenu; // the menu item opens the toolbox modally
    } cases[] = {
        {"Esc, toolbox from the tray menu", true, true},
        {"close button, toolbox from the tray menu", false, true},
        {"Esc, toolbox opened plainly", true, false},
        {"close button, toolbox opened plainly", false, false},
    };
    ui::RuntimeObservers().clicked = [](ui::ControlRef ref) {
        if (ref == ui::ControlRef{ui::ToolboxForm, 查询}) script.queriedAt = Now();
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ui::DestroyWindow(ui::ToolboxForm);
        for (int n = 0; n < 500 && ui::IsLoaded(ui::ToolboxForm); ++n)
            Settle(1);
        size_t requests = service.Requests().size();
        double start = Now();
        script = {c.esc, start};
        UINT_PTR timer = SetTimer(nullptr, 0, 20, RunScript);
        if (c.fromTrayMenu) {
            app::OnMenuOpenToolbox(); // returns once the toolbox is gone and the lookup is over
        } else {
            ui::LoadWindow(ui::ToolboxForm);
            // The lookup runs inside one of these calls, from the posted click.
            while (script.goneAt == 0 && !script.timedOut)
                Settle(1);
        }
        double returned = Now();
        KillTimer(nullptr, timer);

        ASSERT_FALSE(script.timedOut) << "the toolbox never went";
        EXPECT_FALSE(ui::IsLoaded(ui::ToolboxForm));
        EXPECT_EQ(service.Requests().size(), requests + 1);
        EXPECT_GE(returned - script.queriedAt, StreamMs * 0.8) << "the lookup did not wait";
        EXPECT_GT(returned - script.goneAt, 500) << "the window went only when the lookup ended";
        // The process runs on: no exit, no quit message, the main window and its icon stay.
        EXPECT_TRUE(exits.empty());
        MSG quit;
        EXPECT_FALSE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
        EXPECT_TRUE(ui::IsLoaded(ui::MainForm));
        EXPECT_TRUE(IsWindowEnabled(Main()));
        EXPECT_TRUE(TrayIconExists());
        // The lookup's label writes went nowhere: a reload is fresh.
        ASSERT_TRUE(ui::LoadWindow(ui::ToolboxForm));
        EXPECT_EQ(Shown(), Empty);
        EXPECT_EQ(ui::GetText(Box), "");
        EXPECT_EQ(ui::GetProperty({ui::ToolboxForm, 查询}, ui::prop::Visible), 0);
    }
}
