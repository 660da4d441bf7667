// The committed resource files are exactly what the generator writes, the
// embedded copies are those files, and the check mode notices a changed or
// missing file. Native only: the generator runs where the files are produced.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "assets.h"
#include "generators.h"
#include "synth.h"

#include <png.h>
#include "resources/embedded.h"

namespace nb {
namespace {

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string all;
    for (const std::string& line : lines) all += line + "\n";
    return all;
}

TEST(AssetGenerator, CommittedFilesEqualTheGeneratorsOutput) {
    std::vector<std::string> differences;
    EXPECT_EQ(assets::CheckAssets(NB_RESOURCE_DIR, &differences), 0)
        << JoinLines(differences) << "regenerate with: nightbloom-assets --out resources";
}

TEST(AssetGenerator, EmbeddedBytesAreTheGeneratedFiles) {
    const std::vector<assets::AssetFile> files = assets::GenerateAssets();
    for (const EmbeddedResource& res : EmbeddedResources()) {
        const std::string type = res.type;
        std::string name;
        if (type == "ICON") name = "icon" + std::to_string(res.id) + ".ico";
        if (type == "WAV") name = "wave" + std::to_string(res.id) + ".wav";
        if (type == "BITMAP") name = (res.id == 400 ? "picture" : "tex") + std::to_string(res.id) + ".bmp";
        if (type == "DIALOG") name = "dialog" + std::to_string(res.id) + ".dlg";
        const assets::AssetFile* match = nullptr;
        for (const auto& file : files) {
            if (file.name == name) match = &file;
        }
        ASSERT_NE(match, nullptr) << type << " " << res.id;
        ASSERT_EQ(res.size, match->bytes.size()) << name;
        EXPECT_TRUE(std::equal(res.data, res.data + res.size, match->bytes.begin())) << name;
    }
}

TEST(AssetGenerator, CheckModeReportsChangedAndMissingFiles) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("nightbloom-assets-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::filesystem::remove_all(dir);
    ASSERT_TRUE(std::filesystem::create_directories(dir));
    std::string error;
    ASSERT_EQ(assets::WriteAssets(dir.string(), &error), 0) << error;

    std::vector<std::string> differences;
    EXPECT_EQ(assets::CheckAssets(dir.string(), &differences), 0) << JoinLines(differences);

    {
        std::FILE* f = std::fopen((dir / "wave203.wav").string().c_str(), "r+b");
        ASSERT_NE(f, nullptr);
        std::fseek(f, 1000, SEEK_SET);
        const int original = std::fgetc(f);
        std::fseek(f, 1000, SEEK_SET);
        std::fputc(original ^ 1, f);
        std::fclose(f);
    }
    std::filesystem::remove(dir / "tex406.bmp");
    differences.clear();
    EXPECT_EQ(assets::CheckAssets(dir.string(), &differences), 2);
    const std::string report = JoinLines(differences);
    EXPECT_NE(report.find("wave203.wav: first difference at byte 1000"), std::string::npos) << report;
    EXPECT_NE(report.find("tex406.bmp: missing"), std::string::npos) << report;
    std::filesystem::remove_all(dir);
}

// The desktop icons go through a real PNG decoder and come back as the icon drawn at that
// size: every colour where the icon is opaque, and the coverage in alpha.
TEST(AssetGenerator, DesktopIconsDecodeAsTheIconAtTheirSize) {
    for (int size : {32, 128}) {
        const assets::IconImage icon = assets::MakeIconImage(size);
        const std::vector<uint8_t> file = assets::EncodePng(icon);
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        ASSERT_TRUE(png_image_begin_read_from_memory(&image, file.data(), file.size())) << image.message;
        ASSERT_EQ(image.width, static_cast<png_uint_32>(size));
        ASSERT_EQ(image.height, static_cast<png_uint_32>(size));
        image.format = PNG_FORMAT_RGBA;
        std::vector<uint8_t> rgba(PNG_IMAGE_SIZE(image));
        ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) << image.message;
        size_t opaque = 0;
        for (size_t i = 0; i < static_cast<size_t>(size) * size; ++i) {
            ASSERT_EQ(rgba[i * 4 + 3], icon.alpha[i]) << size << " pixel " << i;
            if (icon.alpha[i] == 0) continue;
            ++opaque;
            for (int k = 0; k < 3; ++k) ASSERT_EQ(rgba[i * 4 + k], icon.colour.rgb[i * 3 + k]) << size << " pixel " << i;
        }
        // A round icon: the disc covers about pi/4 of the square, the corners stay clear.
        EXPECT_GT(opaque, static_cast<size_t>(size * size * 0.7));
        EXPECT_LT(opaque, static_cast<size_t>(size * size * 0.85));
        EXPECT_EQ(rgba[3], 0);
    }
}

}  // namespace
}  // namespace nb
