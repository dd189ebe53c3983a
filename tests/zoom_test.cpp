#include <gtest/gtest.h>

#include <algorithm>
#include <vector>
#include <windows.h>

#include "ui/Runtime.h"

namespace {

constexpr ui::ControlRef Window = ui::WindowRef(ui::ToolboxForm);

// One property write to the toolbox window, with what the window looked like just before it.
struct Write {
    int number, value;
    int left, top, width, height;
    bool visible;
    bool paintPending; // part of the window still waits to be painted
};

struct Expected {
    int number, value;
};

std::vector<Expected> ExpectedWrites() {
    using namespace ui::prop;
    std::vector<Expected> writes{{Width, 0}, {Height, 0}};
    for (int n = 1; n <= 381; n += 6)
        writes.insert(
            writes.end(),
            {{StartPosition, 1}, {AlwaysOnTop, 1}, {Width, n}, {Visible, 1}, {Height, n - 151}});
    writes.push_back({AlwaysOnTop, 0});
    return writes;
}

// One load for the whole suite: the tests only read what it recorded and where it left the window.
class OpeningZoom : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        writes.clear();
        ui::RuntimeObservers().propertyWrite = [](ui::ControlRef ref, int number, int value) {
            if (ref != Window) return;
            HWND h = ui::WindowHandle(Window);
            RECT r{};
            GetWindowRect(h, &r);
            writes.push_back({number, value, r.left, r.top, r.right - r.left, r.bottom - r.top,
                              IsWindowVisible(h) != FALSE,
                              GetUpdateRect(h, nullptr, FALSE) != FALSE});
        };
        loaded = ui::LoadWindow(ui::ToolboxForm);
        ui::RuntimeObservers().propertyWrite = nullptr;
    }

    static void TearDownTestSuite() {
        ui::DestroyWindow(ui::ToolboxForm);
        for (int i = 0; i < 100 && ui::IsLoaded(ui::ToolboxForm); ++i)
            ui::ProcessEvents();
    }

    void SetUp() override { ASSERT_TRUE(loaded); }

    static inline std::vector<Write> writes;
    static inline bool loaded = false;
};

// Passes are 5 writes each after the two that flatten the window.
const Write& PassStart(const std::vector<Write>& writes, int pass) {
    return writes[size_t(2 + (pass - 1) * 5)];
}

} // namespace

TEST_F(OpeningZoom, WritesThePropertiesInOrder) {
    std::vector<Expected> expected = ExpectedWrites();
    EXPECT_EQ(writes.size(), expected.size());
    for (size_t i = 0; i < std::min(writes.size(), expected.size()); ++i) {
        EXPECT_EQ(writes[i].number, expected[i].number) << "write " << i;
        EXPECT_EQ(writes[i].value, expected[i].value) << "write " << i;
    }
}

TEST_F(OpeningZoom, EndsCentredAt379By228AndNotOnTop) {
    EXPECT_EQ(ui::GetProperty(Window, ui::prop::Left), 325);
    EXPECT_EQ(ui::GetProperty(Window, ui::prop::Top), 273);
    EXPECT_EQ(ui::GetProperty(Window, ui::prop::Width), 379);
    EXPECT_EQ(ui::GetProperty(Window, ui::prop::Height), 228);
    EXPECT_EQ(ui::GetProperty(Window, ui::prop::Visible), 1);
    EXPECT_EQ(ui::GetProperty(Window, ui::prop::AlwaysOnTop), 0);
    EXPECT_FALSE(GetWindowLongW(ui::WindowHandle(Window), GWL_EXSTYLE) & WS_EX_TOPMOST);
}

TEST_F(OpeningZoom, GrowsAsALineFirstAndNeverPastTheTarget) {
    ASSERT_EQ(writes.size(), 2u + 64 * 5 + 1);
    // The state at the start of pass p + 1 (or at the last write) is what pass p left.
    auto after = [&](int pass) { return pass < 64 ? PassStart(writes, pass + 1) : writes.back(); };
    for (int pass = 1; pass <= 26; ++pass)
        EXPECT_EQ(after(pass).height, 0) << "pass " << pass;
    for (int pass = 27; pass <= 64; ++pass)
        EXPECT_EQ(after(pass).height, 6 * (pass - 26)) << "pass " << pass;
    for (const Write& w : writes)
        EXPECT_LE(w.width, 381);

    // Hidden at the first centring, so pass 1 shows it where it was created for 380 x 230.
    EXPECT_FALSE(PassStart(writes, 1).visible);
    EXPECT_EQ(after(1).left, (1024 - 380) / 2);
    EXPECT_EQ(after(1).top, (768 - 230) / 2);
    EXPECT_TRUE(after(1).visible);
    EXPECT_EQ(after(1).width, 1);
}

TEST_F(OpeningZoom, RepaintsEachPassBeforeTheHeightGrows) {
    ASSERT_EQ(writes.size(), 2u + 64 * 5 + 1);
    // From pass 28 on the widening exposes a visible strip; it must be painted before the
    // height write of the same pass.
    for (int pass = 28; pass <= 64; ++pass) {
        size_t start = size_t(2 + (pass - 1) * 5);
        EXPECT_TRUE(writes[start + 3].paintPending) << "visible write, pass " << pass;
        EXPECT_FALSE(writes[start + 4].paintPending) << "height write, pass " << pass;
    }
}
