// The asset generator's public face: every resource file of the saver, built in
// memory from code, and the writing and checking of a resource folder.
// Depends on the standard library only. Output must never depend on the clock,
// the machine or the platform's rand().
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nb::assets {

struct AssetFile {
    std::string name;  // file name inside the resource folder, e.g. "tex401.bmp"
    std::vector<uint8_t> bytes;
};

// All files, in a fixed order: textures, picture, icon, waves, resource script,
// dialog 151's binary template.
std::vector<AssetFile> GenerateAssets();

// Writes every file into dir (which must exist). Returns 0, or -1 with a message
// in *error naming the file that could not be written.
int WriteAssets(const std::string& dir, std::string* error);

// Regenerates in memory and compares byte for byte with the files in dir.
// Returns the number of files that are missing or differ; each gets one line in
// *differences.
int CheckAssets(const std::string& dir, std::vector<std::string>* differences);

}  // namespace nb::assets
