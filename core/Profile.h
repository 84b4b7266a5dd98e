#pragma once
// Profile files: the whole editable configuration as an XML file ("pro"). The work is done by
// KeyboardConfig::saveProfile / loadProfile and StepList::writeXml / readXml; these helpers are
// the same with the reason as a plain out-parameter, for front ends that always want it.

#include <string>

#include "KeyboardConfig.h"

// The first line of every profile written.
inline constexpr char16_t kProfileDeclaration[] = u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";

bool saveProfileFile(const KeyboardConfig& config, const std::string& path, std::string& why);
bool loadProfileFile(KeyboardConfig& config, const std::string& path, std::string& why);
