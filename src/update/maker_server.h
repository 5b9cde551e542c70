#pragma once

#include "update/http_request.h"

#include <string>

// The maker's web server, from the build setting LAGVANE_SERVER ("host" or "host:port").
const ServerAddress& MakerServer();
// The maker's homepage on that server, as the program names it to the user.
std::wstring MakerHomepage();

// What the program fetches from the maker's server.
inline constexpr char kManifestPath[] = "/version.dat";
inline constexpr char kInstallerPath[] = "/lagvanesetup.exe";
inline constexpr char kStartReportPath[] = "/log_db_update.html?SECTION=R&COMPANY=A";
