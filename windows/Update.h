#pragma once

namespace windows {
void OnUpdateCreated();
void OnCheckUpdateClicked();
void OnConfirmUpdateClicked();
void OnUpdateCloseClicked();
} // namespace windows
