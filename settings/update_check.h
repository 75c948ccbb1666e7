#pragma once
// The update check: asks the update service named in "Updates.ini" (program folder) whether a
// newer version exists ("<address>?prd=erase&ver=<our version>&osver=<Windows version>"). The
// service answers "UPTODATE..." or the address of the new installer. On the user's Yes the
// installer is downloaded into the user's download folder, next to whatever is there, never over
// it, and its folder is shown; it is never started: an unauthenticated download must not run,
// and a Windows installer is not the program a Linux user would start anyway.

#include <optional>
#include <string>
#include <string_view>

#include "platform/host_window.h"
#include "platform/net/internet_download.h"

namespace corvane {

inline constexpr char kUpdatesFileName[] = "Updates.ini";
inline constexpr char kInstallerDefaultName[] = "erasesetup.exe";

struct UpdateCheckSettings {
  DownloadLimits query{64 * 1024, std::chrono::seconds(60), 5};
  DownloadLimits installer{512 * 1024 * 1024, std::chrono::minutes(30), 5};
  // Where the installer goes; empty: the user's download folder.
  std::string downloadFolder;
};

// Runs the check with its message boxes over `owner`. True when an answer arrived and was
// handled (whatever the user chose), false on the error paths.
bool CheckForUpdate(Host& host, HostWindow* owner, const std::string& languageFolder,
                    const UpdateCheckSettings& settings = {});

// The service's address from "Updates.ini": the file without its line ends, when that is an
// address downloads may use and the file is small; empty otherwise.
[[nodiscard]] std::string ReadUpdateServiceAddress();

// The query, its values percent-encoded.
[[nodiscard]] std::string UpdateQuery(std::string_view base, std::string_view version,
                                      std::string_view osVersion);

// What the service's answer means: nullopt for no usable answer, "" for up to date, else the
// installer's address (one allowed absolute address, a trailing line end dropped).
[[nodiscard]] std::optional<std::string> ReadUpdateAnswer(const DownloadAnswer& answer);

// The user's download folder (XDG_DOWNLOAD_DIR of user-dirs.dirs, else ~/Downloads, else ~).
[[nodiscard]] std::string UserDownloadFolder();

// Writes `bytes` to a new file in `folder` named after `name` (or "name (2).ext" and so on when
// that exists); never replaces or follows anything. Answers the file's path, or nullopt.
[[nodiscard]] std::optional<std::string> SaveNewFile(const std::string& folder,
                                                     std::string_view name, std::string_view bytes);

}  // namespace corvane
