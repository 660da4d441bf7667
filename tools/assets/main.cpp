// nightbloom-assets: writes the saver's resource files (--out DIR) or verifies
// that a folder holds exactly what this generator produces (--check DIR).
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "assets.h"

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[1], "--out") != 0 && std::strcmp(argv[1], "--check") != 0)) {
        std::fprintf(stderr, "usage: nightbloom-assets --out DIR | --check DIR\n");
        return 2;
    }
    const std::string dir = argv[2];
    if (std::strcmp(argv[1], "--out") == 0) {
        std::string error;
        if (nb::assets::WriteAssets(dir, &error) != 0) {
            std::fprintf(stderr, "nightbloom-assets: %s\n", error.c_str());
            return 1;
        }
        return 0;
    }
    std::vector<std::string> differences;
    const int count = nb::assets::CheckAssets(dir, &differences);
    for (const std::string& line : differences) std::fprintf(stderr, "%s\n", line.c_str());
    if (count != 0) {
        std::fprintf(stderr, "nightbloom-assets: %d file(s) differ from the generator\n", count);
        return 1;
    }
    return 0;
}
