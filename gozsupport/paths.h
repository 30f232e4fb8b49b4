// The GoZ public folder tree and the lookup of an application's executable.
#pragma once

#include <cstdint>

// Absolute, without a closing separator.
extern const char GoZPublicRoot[];
// Relative to GoZPublicRoot.
extern const char GoZDefaultProjectFolder[];
extern const char GoZPathSeparator[];

// "PATH" of GoZApps/<appName>/GoZ_Config.txt. False when the file or the
// variable is missing, or when the name does not fit the path buffer.
bool GetGoZAppPath(const char* appName, char* dest, int32_t destSize);
// The path of that GoZ_Config.txt; false when it does not fit.
bool GetGoZAppConfigPath(const char* appName, char* dest, int32_t destSize);
// "PATH" of GoZBrush/GoZ_Config.txt.
bool GetGoZBrushPath(char* dest, int32_t destSize);
