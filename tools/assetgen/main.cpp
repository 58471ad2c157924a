// orvo-assetgen: writes Orvo's own pictures and song into one folder.
//   orvo-assetgen OUTPUT_DIR
// Exit codes: 0 written, 1 a file could not be written, 2 bad command line.
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "assetgen.h"

int main(int argc, char** argv) {
    if (argc != 2 || argv[1][0] == '\0') {
        std::fprintf(stderr, "usage: orvo-assetgen OUTPUT_DIR\n");
        return 2;
    }
    const std::string folder = argv[1];
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        std::fprintf(stderr, "orvo-assetgen: can't create folder \"%s\": %s\n", folder.c_str(),
                     error.message().c_str());
        return 1;
    }

    assetgen::Picture overlay, mask;
    assetgen::draw_overlay(&overlay, &mask);
    const assetgen::Picture king = assetgen::draw_king();

    // Quality 92 keeps the king's fine texture; the mask gets more, as its
    // soft edges become the overlay's alpha directly.
    std::string failure = assetgen::write_jpeg(folder + "/02.jpg", overlay, 92);
    if (failure.empty()) failure = assetgen::write_jpeg(folder + "/02a.jpg", mask, 96);
    if (failure.empty()) failure = assetgen::write_jpeg(folder + "/king.jpg", king, 92);
    if (failure.empty()) failure = assetgen::write_bytes(folder + "/s.s3m", assetgen::compose_song());
    if (!failure.empty()) {
        std::fprintf(stderr, "orvo-assetgen: %s\n", failure.c_str());
        return 1;
    }
    return 0;
}
