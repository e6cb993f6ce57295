#pragma once

#include <string>
#include <string_view>

#include "project/CAppSettings.h"

// The rules of the option dialogs: what they refuse, and saving the application settings after
// the user confirmed a change. Called on the front end's thread.

namespace torvex {

class IPrompter;

constexpr std::string_view kSelectDialEntryText = "Please select an entry of the dial-up network!";

// The refusal of the dial-up page: dial-up switched on without an entry. Empty when it may be
// confirmed.
std::string DialUpPageRefusal(bool dialup, std::string_view entry);

// The refusal of a default directory for new projects (empty when it is good): it must be
// given, absolute, one line, and fit its capacity.
std::string DefaultDirRefusal(std::string_view directory);

// "<work>/Config/Torvex.conf".
std::string AppSettingsFilePath(const std::string &workDir);

// Writes the application settings into the working directory's Config folder (made when
// missing); a failure is told through `prompter` and gives false.
bool SaveAppSettingsTold(CAppSettings &settings, const std::string &workDir, IPrompter &prompter);

} // namespace torvex
