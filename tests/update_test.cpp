// The update window's handlers against a stand-in vendor site on loopback.
#include <gtest/gtest.h>
#include <windows.h>

#include "support/Child.h"
#include "support/StandInServer.h"
#include "ui/Addresses.h"
#include "ui/Forms.h"
#include "ui/Runtime.h"
#include "windows/Update.h"

using namespace testsupport;
using namespace ui::updateform;

namespace {

bool Shown(uint32_t control) {
    return ui::GetProperty({ui::UpdateForm, control}, ui::prop::Visible) != 0;
}

// What the window shows besides its background and close button.
struct Outcome {
    bool check, update, confirm, upToDate;
    bool operator==(const Outcome&) const = default;
};
Outcome Now() {
    return {Shown(图形按钮2), Shown(透明标签2), Shown(图形按钮1), Shown(透明标签1)};
}

std::ostream& operator<<(std::ostream& out, const Outcome& o) {
    return out << "check " << o.check << ", update " << o.update << ", confirm " << o.confirm
               << ", up to date " << o.upToDate;
}

const Outcome Loaded = {true, false, false, false};
const Outcome Offered = {false, true, true, false};
const Outcome UpToDate = {false, false, false, true};
const Outcome Nothing = {false, false, false, false};

void Destroy() {
    ui::DestroyWindow(ui::UpdateForm);
    for (int n = 0; n < 200 && ui::IsLoaded(ui::UpdateForm); ++n) {
        ui::ProcessEvents();
        Sleep(5);
    }
}

// Under Xvfb without a window manager, Wine takes about two seconds to take down a window with a
// taskbar button. So one window serves many checks: Fresh() puts it back as a load leaves it (the
// created handler shows the check button; the rest is hidden), and one test goes through a real
// close and reload.
class Update : public testing::Test {
  protected:
    static void TearDownTestSuite() { Destroy(); }
    void SetUp() override {
        savedSite_ = ui::BuiltInAddresses().vendorSite;
        ui::ReplaceableEffects().messageBox = [this](const ui::Text&, int, const ui::Text&) {
            ++messages_;
            return 0;
        };
        ui::RuntimeObservers().propertyWrite = [this](ui::ControlRef ref, int number, int value) {
            if (ref.window == ui::UpdateForm && number == ui::prop::Visible && value)
                shownInOrder_.push_back(ref.control);
        };
        Fresh();
    }
    void TearDown() override {
        ui::RuntimeObservers().propertyWrite = nullptr;
        ui::RestoreEffects();
        ui::BuiltInAddresses().vendorSite = savedSite_;
    }
    void Fresh() {
        ASSERT_TRUE(ui::LoadWindow(ui::UpdateForm));
        for (uint32_t c : {透明标签2, 图形按钮1, 透明标签1})
            ui::SetProperty({ui::UpdateForm, c}, ui::prop::Visible, 0);
        windows::OnUpdateCreated();
        shownInOrder_.clear();
    }
    void PointAt(const StandInServer& site) {
        ui::BuiltInAddresses().vendorSite = "http://" + site.Address();
    }

    int messages_ = 0;
    std::vector<uint32_t> shownInOrder_;

  private:
    ui::Text savedSite_;
};

} // namespace

TEST_F(Update, PublishedVersionsTable) {
    std::string published;
    StandInServer site([&published](const std::string&) { return Ok(published); });
    PointAt(site);
    struct Case {
        std::string published;
        Outcome expected;
        std::vector<uint32_t> shownInOrder;
    } cases[] = {
        {"1.5", Offered, {透明标签2, 图形按钮1}},
        {"1.4", UpToDate, {透明标签1}},
        {"1.40000001", UpToDate, {透明标签1}},
        {"1.3", Nothing, {}},
        {"1.5\r\n", Offered, {透明标签2, 图形按钮1}},
        {"  1.4  \n", UpToDate, {透明标签1}},
        {std::string("1.5\0garbage", 11), Offered, {透明标签2, 图形按钮1}},
        {"<html>Not Found</html>", Nothing, {}},
        {"", Nothing, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("published \"" + c.published + "\"");
        published = c.published;
        Fresh();
        EXPECT_EQ(Now(), Loaded);
        windows::OnCheckUpdateClicked();
        EXPECT_EQ(Now(), c.expected);
        EXPECT_EQ(shownInOrder_, c.shownInOrder);
    }
    EXPECT_EQ(messages_, 0);
}

// The check runs once per life of the window: nothing shows the check button again until the
// window is closed and loaded anew.
TEST_F(Update, CheckButtonStaysHiddenForTheWindowsLife) {
    StandInServer site(Ok("1.4"));
    PointAt(site);
    windows::OnCheckUpdateClicked();
    for (int n = 0; n < 20; ++n)
        ui::ProcessEvents(), Sleep(5);
    EXPECT_EQ(Now(), UpToDate);
    windows::OnUpdateCloseClicked();
    EXPECT_TRUE(ui::IsLoaded(ui::UpdateForm)) << "destroyed after the running handler returns";
    for (int n = 0; n < 200 && ui::IsLoaded(ui::UpdateForm); ++n)
        ui::ProcessEvents(), Sleep(5);
    ASSERT_FALSE(ui::IsLoaded(ui::UpdateForm));
    ASSERT_TRUE(ui::LoadWindow(ui::UpdateForm));
    EXPECT_EQ(Now(), Loaded);
}

// The fetch is an HTTP/1.0 GET with the listed headers, and every check reaches the server even
// when the reply invites caching.
TEST_F(Update, FetchAlwaysReachesTheServer) {
    int served = 0;
    StandInServer site([&served](const std::string&) {
        return Ok(++served == 1 ? "1.5" : "1.3", "Cache-Control: max-age=86400\r\n");
    });
    PointAt(site);
    windows::OnCheckUpdateClicked();
    EXPECT_EQ(Now(), Offered);
    Fresh();
    windows::OnCheckUpdateClicked();
    EXPECT_EQ(Now(), Nothing) << "the second answer, not a cached first";

    auto requests = site.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(RequestLine(requests[0]), "GET /gx/bbgx.txt HTTP/1.0");
    std::string headers = HeaderBlock(requests[0]);
    EXPECT_NE(headers.find("User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\r\n"),
              std::string::npos)
        << headers;
    EXPECT_NE(headers.find("Accept: */*\r\n"), std::string::npos) << headers;
}

TEST_F(Update, NoServerShowsNothingAndNoMessage) {
    ui::BuiltInAddresses().vendorSite = "http://127.0.0.1:" + std::to_string(UnusedPort());
    windows::OnCheckUpdateClicked();
    EXPECT_EQ(Now(), Nothing);
    EXPECT_EQ(messages_, 0);
    EXPECT_TRUE(ui::IsLoaded(ui::UpdateForm));
}

TEST_F(Update, ConfirmOpensTheDownloadPageThenExitsWithZero) {
    std::vector<std::string> events;
    ui::ReplaceableEffects().shellExecute = [&events](const ui::Text& target) {
        events.push_back("open " + target);
    };
    ui::ReplaceableEffects().exit = [&events](int code) {
        events.push_back("exit " + std::to_string(code));
    };
    ui::BuiltInAddresses().vendorSite = "http://www.lumeno.example";
    windows::OnConfirmUpdateClicked();
    EXPECT_EQ(events,
              (std::vector<std::string>{"open http://www.lumeno.example/gx/index.html", "exit 0"}));
}

LUMENO_CHILD_SCENARIO(confirm_update_ends_the_process) {
    ui::ReplaceableEffects().shellExecute = [](const ui::Text&) {}; // no browser in a test
    ui::LoadWindow(ui::UpdateForm);
    windows::OnConfirmUpdateClicked();
    return 99; // reached only when the process did not end
}

TEST(UpdateExit, ConfirmEndsTheProcessWithCodeZero) {
    EXPECT_EQ(RunChild("confirm_update_ends_the_process"), 0);
}
