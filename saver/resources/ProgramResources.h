#pragma once
#include "engine/platform/Module.h"

// The resources both saver programs carry: the string table and the about box.
namespace resources {

constexpr uint32_t descriptionString = 1007;
constexpr uint32_t iconGroup = 100;

// The program's instance: its string table and its about box.
const platform::Module& programModule();

}  // namespace resources
