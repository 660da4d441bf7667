// Collects the generated files and writes or checks a resource folder.
// Plain stdio so the tool builds for every target the project has.
#include "assets.h"

#include <cstdio>

#include "generators.h"

namespace nb::assets {
namespace {

bool ReadFile(const std::string& path, std::vector<uint8_t>* out) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    out->clear();
    uint8_t buffer[4096];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out->insert(out->end(), buffer, buffer + n);
    const bool ok = std::ferror(f) == 0;
    std::fclose(f);
    return ok;
}

std::string Join(const std::string& dir, const std::string& name) {
    if (dir.empty()) return name;
    const char last = dir.back();
    return (last == '/' || last == '\\') ? dir + name : dir + "/" + name;
}

}  // namespace

std::vector<AssetFile> GenerateAssets() {
    std::vector<AssetFile> files;
    files.push_back({"tex401.bmp", EncodeBmp24(MakeTexture401())});
    files.push_back({"tex402.bmp", EncodeBmp24(MakeTexture402())});
    files.push_back({"tex404.bmp", EncodeBmp24(MakeTexture404())});
    files.push_back({"tex405.bmp", EncodeBmp24(MakeTexture405())});
    files.push_back({"tex406.bmp", EncodeBmp24(MakeTexture406())});
    files.push_back({"tex407.bmp", EncodeBmp24(MakeTexture407())});
    files.push_back({"picture400.bmp", EncodeBmp24(MakePicture400())});
    files.push_back({"icon101.ico", EncodeIco(MakeIcon101())});
    // The same icon for Linux desktops.
    files.push_back({"nightbloom-32.png", EncodePng(MakeIconImage(32))});
    files.push_back({"nightbloom-128.png", EncodePng(MakeIconImage(128))});
    for (int id = 200; id <= 205; ++id) {
        files.push_back({"wave" + std::to_string(id) + ".wav", EncodeWav(MakeWave(id), 22050)});
    }
    const std::string script = ResourceScript();
    files.push_back({"nightbloom.rc", std::vector<uint8_t>(script.begin(), script.end())});
    files.push_back({"dialog151.dlg", Dialog151Template()});
    return files;
}

int WriteAssets(const std::string& dir, std::string* error) {
    for (const AssetFile& file : GenerateAssets()) {
        const std::string path = Join(dir, file.name);
        std::FILE* f = std::fopen(path.c_str(), "wb");
        bool ok = f != nullptr;
        if (ok) ok = std::fwrite(file.bytes.data(), 1, file.bytes.size(), f) == file.bytes.size();
        if (f && std::fclose(f) != 0) ok = false;
        if (!ok) {
            if (error) *error = "cannot write " + path;
            return -1;
        }
    }
    return 0;
}

int CheckAssets(const std::string& dir, std::vector<std::string>* differences) {
    int count = 0;
    for (const AssetFile& file : GenerateAssets()) {
        std::vector<uint8_t> onDisk;
        std::string problem;
        if (!ReadFile(Join(dir, file.name), &onDisk)) {
            problem = file.name + ": missing or unreadable";
        } else if (onDisk.size() != file.bytes.size()) {
            problem = file.name + ": " + std::to_string(onDisk.size()) + " bytes, expected " +
                      std::to_string(file.bytes.size());
        } else {
            for (size_t i = 0; i < onDisk.size(); ++i) {
                if (onDisk[i] != file.bytes[i]) {
                    problem = file.name + ": first difference at byte " + std::to_string(i);
                    break;
                }
            }
        }
        if (!problem.empty()) {
            ++count;
            if (differences) differences->push_back(problem);
        }
    }
    return count;
}

}  // namespace nb::assets
