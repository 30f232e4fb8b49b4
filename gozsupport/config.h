// Config variable files: one "name = value" a line.
#pragma once

#include <cstdint>

// Three-way comparison that ignores ASCII letter case; null sorts first.
int CompareNoCase(const char* a, const char* b);

// Whether `path` is a plain file that the readers can open, as they need it.
bool ConfigFileReadable(const char* path);

bool ReadConfigVariable(const char* path, const char* name, char* dest, int32_t destSize);
bool ReadConfigString(const char* path, const char* name, char* dest, int32_t destSize);
bool ReadConfigBool(const char* path, const char* name, bool* out);
bool ReadConfigFloat(const char* path, const char* name, float* out);
bool ReadConfigInt(const char* path, const char* name, int32_t* out);

bool WriteConfigVariable(const char* path, const char* name, const char* value);
bool WriteConfigString(const char* path, const char* name, const char* value);
bool WriteConfigBool(const char* path, const char* name, bool value);
bool WriteConfigFloat(const char* path, const char* name, float value);
bool WriteConfigInt(const char* path, const char* name, int32_t value);
