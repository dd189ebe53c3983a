#include "support/Fixtures.h"

#include <cstring>
#include <gtest/gtest.h>

#include "ui/Runtime.h"

namespace testsupport {

void SilenceEffects() {
    ui::Effects& e = ui::ReplaceableEffects();
    e.openUrl = [](const ui::Text&) {};
    e.runProgram = [](const ui::Text&, bool) { return true; };
    e.shellExecute = [](const ui::Text&) {};
    e.exit = [](int) {};
}

void CloseAllWindows() {
    for (uint32_t w = 1; w <= ui::WindowCount; ++w) ui::DestroyWindow(w);
    for (int i = 0; i < 5; ++i) ui::ProcessEvents();
    ui::RestoreEffects();
}

void SetClipboard(HWND owner, const std::wstring& text) {
    ASSERT_TRUE(OpenClipboard(owner));
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    memcpy(GlobalLock(memory), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(memory);
    SetClipboardData(CF_UNICODETEXT, memory);
    CloseClipboard();
}

} // namespace testsupport
