#pragma once

#include <string>
#include <vector>

// Whether the arguments (without the program's own name) are the removal switch: exactly one
// argument that reads "--UNINSTALL" once its ASCII letters are upper-cased.
bool IsUninstallSwitch(const std::vector<std::wstring>& arguments);
