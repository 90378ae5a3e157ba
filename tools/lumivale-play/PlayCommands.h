#pragma once
#include <cstdint>
#include <string>

// The things lumivale-play does with one file. Each returns the process exit status.
int printInfo(const std::string& path);
int dumpFrames(const std::string& folder, const std::string& path);
int benchmarkDecoding(const std::string& path, int32_t loops);
// Pictures show from page `page` (0-based) on; animations play from their first frame.
int playInWindow(const std::string& path, int32_t page = 0);
