// The individual generators behind GenerateAssets. Internal to tools/assets.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "synth.h"

namespace nb::assets {

Pixels MakeTexture401();
Pixels MakeTexture402();
Pixels MakeTexture404();
Pixels MakeTexture405();
Pixels MakeTexture406();
Pixels MakeTexture407();
Pixels MakePicture400();
// The program's icon drawn at size x size pixels (the picture is the same at every size).
IconImage MakeIconImage(int size);
std::vector<IconImage> MakeIcon101();
// id 200..205; 22050 Hz mono samples of the exact length the saver expects.
std::vector<int16_t> MakeWave(int id);
std::string ResourceScript();
// Dialog 151 as a binary DLGTEMPLATE, from the same description as the script's.
std::vector<uint8_t> Dialog151Template();

}  // namespace nb::assets
