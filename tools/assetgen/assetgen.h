// The asset generator's pieces: the three pictures and the song, each made
// from nothing but code, and the writers that put them into files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace assetgen {

// Picture sizes. The king is deliberately not 640 x 480, so the demo's
// resampler has real work; the overlay matches the page and is copied as is.
inline constexpr int kKingWidth = 800;
inline constexpr int kKingHeight = 600;
inline constexpr int kOverlayWidth = 640;
inline constexpr int kOverlayHeight = 480;

// An 8-bit picture, top-down rows of width * components bytes
// (components 3: R, G, B; components 4: R, G, B, alpha; components 1: grey).
struct Picture {
    int width = 0;
    int height = 0;
    int components = 0;
    std::vector<uint8_t> bytes;
};

// The crowned chess king on a checkered floor under a sunburst sky.
Picture draw_king();

// The frame laid over every frame of the demo: its colours and its alpha
// mask (255 opaque frame and title, 0 in the open middle, soft edges).
void draw_overlay(Picture* colour, Picture* mask);

// The whole tune as the bytes of a Scream Tracker 3 module.
std::vector<uint8_t> compose_song();

// The program's icon at size x size pixels (RGBA, components 4), cut from
// the king's picture; the sizes the desktop's icon theme and Windows use.
Picture draw_icon(const Picture& king, int size);
inline constexpr int kIconSizes[] = {16, 24, 32, 48, 64, 128, 256};

// A picture as the bytes of a PNG file (RGB or RGBA), and pictures as the
// bytes of a Windows .ico file holding each as a PNG.
std::vector<uint8_t> encode_png(const Picture& picture);
std::vector<uint8_t> icon_file(const std::vector<Picture>& icons);

// Writers. Each returns an empty string on success, otherwise one line that
// says what went wrong (the caller prints it). JPEGs are baseline at a fixed
// quality, so the bytes depend only on the pixels.
std::string write_jpeg(const std::string& path, const Picture& picture, int quality);
std::string write_bytes(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace assetgen
