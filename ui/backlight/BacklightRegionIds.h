#pragma once
// The regionIds of the two backlight windows: their commands, and the first and last key.

namespace BacklightRegion {
constexpr int Close = 88;
constexpr int SetAll = 90;
constexpr int Write = 91;
constexpr int Cancel = 92;
constexpr int Ok = 94;
constexpr int Default = 95;
constexpr int MultiKey = 97;
constexpr int FirstKey = 100;  // KeyIndex 1
constexpr int LastKey = 207;   // KeyIndex 108
}  // namespace BacklightRegion

namespace MultiKeyRegion {
constexpr int Close = 88;
constexpr int SetColor = 97;
constexpr int FirstKey = 100;
constexpr int LastKey = 207;
}  // namespace MultiKeyRegion
