// Set-up and tidying shared by the window tests.
#pragma once
#include <string>
#include <windows.h>

namespace testsupport {

// Opening a URL, running a program, the shell action and exit do nothing (message boxes stay).
void SilenceEffects();
// Every window destroyed, the queued destructions carried out, the real effects back.
void CloseAllWindows();
// Puts text on the real clipboard, as a person's copy would.
void SetClipboard(HWND owner, const std::wstring& text);

} // namespace testsupport
