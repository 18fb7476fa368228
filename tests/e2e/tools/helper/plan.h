// The plan file of the drive mode: one step per expected window, each a list of actions
// (the syntax is in main.cpp's usage text).
#pragma once

#include <string>
#include <vector>

namespace helper {

using PlanStep = std::vector<std::wstring>;  // the actions that answer one window, in order
using Plan = std::vector<PlanStep>;

// Reads a UTF-8 plan file, skipping blank lines and lines starting with '#'; false when the file
// cannot be opened.
bool ReadPlan(const wchar_t* path, Plan& plan);

}  // namespace helper
