// A stand-in Game.exe for a version that keeps its skills in one file: a
// small valid PE image (one .rsrc section holding a version resource) padded
// with the demo's background bytes. It runs nothing; it only says what it is.
#ifndef ORVANEL_DEMO_DEMO_EXE_H_
#define ORVANEL_DEMO_DEMO_EXE_H_

#include <cstdint>
#include <vector>

// The headers and the resource section; no range may start inside them.
constexpr uint32_t kDemoExeHeaderSize = 0x400;
constexpr uint32_t kDemoExeSize = 1u << 20;
constexpr uint16_t kDemoExeVersion[4] = {1, 14, 3, 71};
constexpr uint32_t kDemoExeBuildTime = 1458259200;  // 2016-03-18

// size is raised to kDemoExeHeaderSize when smaller.
std::vector<uint8_t> StandInExe(const uint16_t fileVersion[4], uint32_t buildTime, uint32_t size);

#endif  // ORVANEL_DEMO_DEMO_EXE_H_
