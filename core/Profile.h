// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Profile files: the whole editable configuration as an XML file ("pro"), written and read by
// KeyboardConfig::saveProfile / loadProfile with StepList::writeXml / readXml for each list.

#include <string>

#include "KeyboardConfig.h"

// The first line of every profile written.
inline constexpr char16_t kProfileDeclaration[] = u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
