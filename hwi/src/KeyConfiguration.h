// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The key-configuration integer array that programs hand to the library, to and from key
// definitions. Element 0 is the kind:
//   0: n, code 1 .. code n
//   1: delay, n, code 1 .. code n
//   2: play mode 0..2, cycles, hasStepDelays, delay, n, then n codes, or with step delays
//      code, pause, code, pause, ..., last code.

#include <memory>

#include "KeyDefine.h"

namespace oskel::hid {

// The definition an array describes for `level` (1..2) and `key`, or null when the kind or the
// macro play mode is unknown. Lists longer than a record carries are cut to what it carries.
std::unique_ptr<CKeyDefine> keyDefineFromConfiguration(int level, int key, const int* config);

// Writes `definition` into `config` in the layout above, never more than `capacity` ints; a
// null definition is written as 0, 0. Answers the number of ints written.
int configurationFromKeyDefine(const CKeyDefine* definition, int* config, int capacity);

}  // namespace oskel::hid
