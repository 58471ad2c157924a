// orvo-assetgen: writes Orvo's own pictures and song into one folder, or the
// program's icons.
//   orvo-assetgen OUTPUT_DIR           02.jpg, 02a.jpg, king.jpg, s.s3m
//   orvo-assetgen --icons OUTPUT_DIR   orvo-SIZE.png for each icon size, orvo.ico
// Exit codes: 0 written, 1 a file could not be written, 2 bad command line.
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "assetgen.h"

namespace {

std::string write_icons(const std::string& folder) {
    const assetgen::Picture king = assetgen::draw_king();
    std::vector<assetgen::Picture> icons;
    std::string failure;
    for (int size : assetgen::kIconSizes) {
        icons.push_back(assetgen::draw_icon(king, size));
        const std::string name = folder + "/orvo-" + std::to_string(size) + ".png";
        if (failure.empty()) failure = assetgen::write_bytes(name, assetgen::encode_png(icons.back()));
    }
    if (failure.empty()) failure = assetgen::write_bytes(folder + "/orvo.ico", assetgen::icon_file(icons));
    return failure;
}

std::string write_assets(const std::string& folder) {
    assetgen::Picture overlay, mask;
    assetgen::draw_overlay(&overlay, &mask);
    const assetgen::Picture king = assetgen::draw_king();

    // Quality 92 keeps the king's fine texture; the mask gets more, as its
    // soft edges become the overlay's alpha directly.
    std::string failure = assetgen::write_jpeg(folder + "/02.jpg", overlay, 92);
    if (failure.empty()) failure = assetgen::write_jpeg(folder + "/02a.jpg", mask, 96);
    if (failure.empty()) failure = assetgen::write_jpeg(folder + "/king.jpg", king, 92);
    if (failure.empty()) failure = assetgen::write_bytes(folder + "/s.s3m", assetgen::compose_song());
    return failure;
}

}  // namespace

int main(int argc, char** argv) {
    const bool icons = argc == 3 && std::string(argv[1]) == "--icons";
    if ((argc != 2 && !icons) || argv[argc - 1][0] == '\0') {
        std::fprintf(stderr, "usage: orvo-assetgen [--icons] OUTPUT_DIR\n");
        return 2;
    }
    const std::string folder = argv[argc - 1];
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        std::fprintf(stderr, "orvo-assetgen: can't create folder \"%s\": %s\n", folder.c_str(),
                     error.message().c_str());
        return 1;
    }
    const std::string failure = icons ? write_icons(folder) : write_assets(folder);
    if (!failure.empty()) {
        std::fprintf(stderr, "orvo-assetgen: %s\n", failure.c_str());
        return 1;
    }
    return 0;
}
