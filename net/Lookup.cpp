#include "net/Lookup.h"

#include "net/Decode.h"
#include "net/RegexObject.h"
#include "net/WebAccess.h"
#include "ui/Addresses.h"
#include "ui/Forms.h"
#include "ui/Runtime.h"

namespace net {
namespace {

// The service's paragraph. The blanks before the captions (three, one, five) are as the service
// writes them; the colons are full-width.
constexpr char ReplyPattern[] =
    "<p>卡号归属地：<em>(.*?)</em>   类型：<em>(.*?)</em> 区号：<em>(.*?)"
    "</em>     邮政编码：<em>(.*?)</em></p>";

} // namespace

void OnQueryClicked() {
    using namespace ui::toolbox;
    RegexObject regex;
    ui::Text number = ui::GetText({ui::ToolboxForm, 编辑框1});
    ui::Text url =
        "http://" + ui::BuiltInAddresses().lookupHost + "/api/mobile.php?m=" + number + "&t=html";
    ui::Text reply = UrlDecodeUtf8(WebAccess(url));
    regex.Create(ReplyPattern);
    regex.Execute(reply);
    // Every label is written, so a failed query leaves none of the previous results behind.
    const uint32_t labels[] = {卡号归属地显示框, 卡号类型显示框, 区号显示框, 邮政编码显示框};
    for (int j = 1; j <= 4; ++j)
        ui::SetText({ui::ToolboxForm, labels[j - 1]}, regex.SubMatchText(1, j));
}

} // namespace net
