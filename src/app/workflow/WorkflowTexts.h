#pragma once

// Every text the updater shows a person, spelled once. A view of another
// toolkit takes its window caption and start text from here as well.

// The window's caption.
inline constexpr const char* kWindowCaption = "zuvo更新";

// The window's label.
inline constexpr const char* kStartText = "正在下载更新，请候！";
inline constexpr const char* kDoneText = "下载完成，请点击更新！";
// Shown when the download failed, whatever the label said before.
inline constexpr const char* kDownloadFailedLabel = "下载更新包失败！";

// Message boxes. The no-server box says "zuvo" while the download-failure
// and installation-failure boxes say "Vesk": the released program's captions,
// kept as they are on purpose.
inline constexpr const char* kNoServerCaption = "zuvo";
inline constexpr const char* kFailureCaption = "Vesk";
inline constexpr const char* kNoServerText = "没有可用的服务器地址，请登录网站查看有效的地址！";
inline constexpr const char* kDownloadFailedText = "下载更新包失败，网络不正常或服务器忙！";
// The installation-failure text names the download site between these two.
inline constexpr const char* kInstallFailedPrefix = "更新失败，如果系统不能正常启动请到";
inline constexpr const char* kInstallFailedSuffix = "重新下载，谢谢！";

// Raised (and shown by the exception display) when config.ini is missing.
inline constexpr const char* kConfigMissingText = "配置文件不存在！";
