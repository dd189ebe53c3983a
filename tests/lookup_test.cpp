// The query button of the toolbox's lookup view, against a stand-in lookup service on loopback.
#include <array>
#include <gtest/gtest.h>
#include <windows.h>

#include "net/Lookup.h"
#include "net/RegexObject.h"
#include "support/StandInServer.h"
#include "ui/Addresses.h"
#include "ui/Forms.h"
#include "ui/Runtime.h"

using namespace testsupport;
using namespace ui::toolbox;

namespace {

constexpr uint32_t Labels[] = {卡号归属地显示框, 卡号类型显示框, 区号显示框, 邮政编码显示框};
using Four = std::array<ui::Text, 4>;

std::string Utf8(std::u8string_view text) {
    return std::string(text.begin(), text.end());
}

// The service's reply: UTF-8 HTML. The home location comes percent-escaped (北京 北京), as the
// service may write it; the rest as raw UTF-8.
std::string ServiceReply(const std::u8string& blanksBeforeType = u8"   ",
                         const char8_t* type = u8"移动", bool capitalTags = false) {
    std::u8string p = capitalTags ? u8"P" : u8"p", em = capitalTags ? u8"EM" : u8"em";
    return Utf8(u8"<html><body><h1>手机号码归属地</h1>\n<" + p + u8">卡号归属地：<" + em +
                u8">%E5%8C%97%E4%BA%AC%20%E5%8C%97%E4%BA%AC</" + em + u8">" + blanksBeforeType +
                u8"类型：<" + em + u8">" + type + u8"</" + em + u8"> 区号：<" + em + u8">010</" +
                em + u8">     邮政编码：<" + em + u8">100000</" + em + u8"></" + p +
                u8">\n</body></html>");
}

const Four Found = {"北京 北京", "移动", "010", "100000"};
const Four Empty = {"", "", "", ""};
const Four Old = {"old 1", "old 2", "old 3", "old 4"};

// One toolbox window serves the whole suite: under Xvfb without a window manager, Wine takes
// about two seconds to take down a window that has a taskbar button.
class Lookup : public testing::Test {
  protected:
    static void TearDownTestSuite() { Close(); }
    void SetUp() override {
        savedHost_ = ui::BuiltInAddresses().lookupHost;
        ASSERT_TRUE(ui::LoadWindow(ui::ToolboxForm));
    }
    void TearDown() override { ui::BuiltInAddresses().lookupHost = savedHost_; }

    static void Close() {
        ui::DestroyWindow(ui::ToolboxForm);
        for (int n = 0; n < 200 && ui::IsLoaded(ui::ToolboxForm); ++n) {
            ui::ProcessEvents();
            Sleep(5);
        }
    }
    static void PointAt(const StandInServer& server) {
        ui::BuiltInAddresses().lookupHost = server.Address();
    }
    static void Type(const ui::Text& number) { ui::SetText({ui::ToolboxForm, 编辑框1}, number); }
    static void Show(const Four& values) {
        for (int j = 0; j < 4; ++j)
            ui::SetText({ui::ToolboxForm, Labels[j]}, values[size_t(j)]);
    }
    static Four Shown() {
        Four values;
        for (int j = 0; j < 4; ++j)
            values[size_t(j)] = ui::GetText({ui::ToolboxForm, Labels[j]});
        return values;
    }

  private:
    ui::Text savedHost_;
};

} // namespace

TEST_F(Lookup, ParagraphFillsTheFourLabelsInGroupOrder) {
    StandInServer service(Ok(ServiceReply(), "Content-Type: text/html; charset=utf-8\r\n"));
    PointAt(service);
    Type("13800138000");
    net::OnQueryClicked();
    EXPECT_EQ(Shown(), Found);
    ASSERT_EQ(service.Requests().size(), 1u);
    EXPECT_EQ(RequestLine(service.Requests()[0]),
              "GET /api/mobile.php?m=13800138000&t=html HTTP/1.1");
    EXPECT_NE(service.Requests()[0].find("\r\nReferer: http://" + service.Address() +
                                         "/api/mobile.php?m=13800138000&t=html\r\n"),
              std::string::npos);
}

// Where Windows lacks "VBScript.RegExp", the lookup runs on the built-in engine.
TEST_F(Lookup, WorksWithoutTheScriptingEngine) {
    StandInServer service(Ok(ServiceReply()));
    PointAt(service);
    Type("13800138000");
    net::ForceRegexFallback(true);
    net::OnQueryClicked();
    net::ForceRegexFallback(false);
    EXPECT_EQ(Shown(), Found);
}

TEST_F(Lookup, RepliesThatDoNotMatchEmptyEveryLabel) {
    std::string reply;
    StandInServer service([&reply](const std::string&) { return Ok(reply); });
    PointAt(service);
    Type("13800138000");
    struct Case {
        const char* name;
        std::string reply;
        Four expected;
    } cases[] = {
        {"three blanks", ServiceReply(), Found},
        {"two blanks before the type", ServiceReply(u8"  "), Empty},
        {"tags in capitals", ServiceReply(u8"   ", u8"移动", true), Found},
        {"an error page", "<html>404</html>", Empty},
        {"empty reply", "", Empty},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reply = c.reply;
        Show(Old);
        net::OnQueryClicked();
        EXPECT_EQ(Shown(), c.expected);
    }
}

TEST_F(Lookup, EmptyBoxStillSendsTheRequest) {
    StandInServer service(Ok(ServiceReply()));
    PointAt(service);
    Type("");
    net::OnQueryClicked();
    ASSERT_EQ(service.Requests().size(), 1u);
    EXPECT_EQ(RequestLine(service.Requests()[0]), "GET /api/mobile.php?m=&t=html HTTP/1.1");
}

TEST_F(Lookup, NoServiceEmptiesAllFourLabels) {
    ui::BuiltInAddresses().lookupHost = "127.0.0.1:" + std::to_string(UnusedPort());
    Type("13800138000");
    Show(Old);
    net::OnQueryClicked();
    EXPECT_EQ(Shown(), Empty);
}

namespace {

// What a click made from inside the first click's read loop saw.
struct Inner {
    bool outerRunning = false;
    bool ranInsideOuter = false;
    Four labelsAfter;
    bool closed = false;
} inner;

void CALLBACK ClickAgain(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    inner.ranInsideOuter = inner.outerRunning;
    ui::SetText({ui::ToolboxForm, 编辑框1}, "13900000002");
    net::OnQueryClicked();
    for (int j = 0; j < 4; ++j)
        inner.labelsAfter[size_t(j)] = ui::GetText({ui::ToolboxForm, Labels[j]});
}

void CALLBACK CloseToolbox(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    inner.ranInsideOuter = inner.outerRunning;
    ui::DestroyWindow(ui::ToolboxForm);
}

Reply Slowly(Reply reply) {
    reply.chunkBytes = 64;
    reply.delayBetweenMs = 80;
    return reply;
}

} // namespace

TEST_F(Lookup, SecondClickDuringASlowReplyCompletesFirstAndTheFirstWritesLast) {
    const std::string second =
        Utf8(u8"<p>卡号归属地：<em>上海</em>   类型：<em>联通</em> 区号：<em>021"
             u8"</em>     邮政编码：<em>200000</em></p>");
    StandInServer service([&](const std::string& request) {
        return request.find("m=13800000001&") != std::string::npos ? Slowly(Ok(ServiceReply()))
                                                                   : Ok(second);
    });
    PointAt(service);
    inner = {};
    Type("13800000001");
    SetTimer(nullptr, 0, 50, ClickAgain);
    inner.outerRunning = true;
    net::OnQueryClicked();
    inner.outerRunning = false;

    EXPECT_TRUE(inner.ranInsideOuter);
    EXPECT_EQ(inner.labelsAfter, (Four{"上海", "联通", "021", "200000"}));
    EXPECT_EQ(Shown(), Found) << "the first click writes its own results last";
    ASSERT_EQ(service.Requests().size(), 2u);
    EXPECT_NE(service.Requests()[0].find("m=13800000001&"), std::string::npos);
    EXPECT_NE(service.Requests()[1].find("m=13900000002&"), std::string::npos);
}

TEST_F(Lookup, ToolboxClosedWhileAReplyIsSlowIgnoresTheWrites) {
    StandInServer service(Slowly(Ok(ServiceReply())));
    PointAt(service);
    inner = {};
    Type("13800138000");
    SetTimer(nullptr, 0, 50, CloseToolbox);
    inner.outerRunning = true;
    net::OnQueryClicked();
    inner.outerRunning = false;

    EXPECT_TRUE(inner.ranInsideOuter);
    EXPECT_FALSE(ui::IsLoaded(ui::ToolboxForm));
    EXPECT_EQ(service.Requests().size(), 1u);
    // Nothing of the late writes survives into the next life of the window.
    ASSERT_TRUE(ui::LoadWindow(ui::ToolboxForm));
    EXPECT_EQ(Shown(), Empty);
}
