#pragma once
#include <cstddef>
#include <cstdint>

// The fuzz bodies: each reads one input as its target's format, drives its reader through the
// calls the input chooses and checks the reader's contract after each (fuzz/FuzzCheck.h).
// They return 0, as libFuzzer expects.
int fuzzFlic(const uint8_t* data, std::size_t size);
int fuzzRiff(const uint8_t* data, std::size_t size);
int fuzzKeyword(const uint8_t* data, std::size_t size);
int fuzzPalette(const uint8_t* data, std::size_t size);
int fuzzPcx(const uint8_t* data, std::size_t size);
int fuzzDcx(const uint8_t* data, std::size_t size);
int fuzzBmp(const uint8_t* data, std::size_t size);
int fuzzScript(const uint8_t* data, std::size_t size);
int fuzzDefinition(const uint8_t* data, std::size_t size);
int fuzzWave(const uint8_t* data, std::size_t size);
int fuzzAvi(const uint8_t* data, std::size_t size);
int fuzzRle8(const uint8_t* data, std::size_t size);
int fuzzVideo1(const uint8_t* data, std::size_t size);
int fuzzDib8(const uint8_t* data, std::size_t size);
