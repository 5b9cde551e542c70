#include "update/maker_server.h"

#ifndef LAGVANE_SERVER
#error "LAGVANE_SERVER names the maker's server; the build sets it"
#endif

const ServerAddress& MakerServer() {
  // The build has checked the setting's form, so it always parses.
  static const ServerAddress server = ParseServerAddress(LAGVANE_SERVER).value();
  return server;
}

std::wstring MakerHomepage() {
  const std::string_view setting = LAGVANE_SERVER;
  return L"http://" + std::wstring(setting.begin(), setting.end());
}
