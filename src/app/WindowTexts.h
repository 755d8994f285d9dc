#pragma once

// The texts the update window shows in its label.
inline constexpr const char* kStartText = "正在下载更新，请候！";
inline constexpr const char* kDoneText = "下载完成，请点击更新！";
// Shown instead of the completion text when the transfer failed after its
// end had already been announced.
inline constexpr const char* kDownloadFailedLabel = "下载更新包失败！";
