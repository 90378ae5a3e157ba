#pragma once
#include <memory>
#include <string>

#include "engine/media/mImageBitmap.h"

// The engine decides a file's format by its extension; these ask it.

// The extension key of a path: "FLC", "LOD", "WAV", ...; empty without one.
std::string extensionKey(const std::string& path);
// An unopened reader for the file from the engine's image factory; null when the factory has
// none for its extension (and has reported so).
std::unique_ptr<mImageBitmap> readerFor(const std::string& path);
