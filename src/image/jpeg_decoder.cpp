// The JPEG file decoder: a thin adapter over libjpeg's decompression interface
// in the library's own step order, rows read straight into a bottom-up buffer.
// Every way out releases the library, the file and the buffer before it
// fails, so nothing is left behind whoever ends the process.
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

#include "image/image.h"

namespace image {

namespace {

const char* colour_space_name(J_COLOR_SPACE space) {
    switch (space) {
        case JCS_GRAYSCALE: return "greyscale";
        case JCS_RGB: return "RGB";
        case JCS_YCbCr: return "YCbCr";
        case JCS_CMYK: return "CMYK";
        case JCS_YCCK: return "YCCK";
        default: return "unknown";
    }
}

// The library's error manager with the file it reads and the buffer it fills:
// its fatal errors release all three and leave through fail() with the
// library's own line.
struct ErrorManager {
    jpeg_error_mgr library;  // first, so the library's pointer is this one's
    FILE* file;
    uint8_t* buffer;  // null until allocated
};

// Our own refusals release the library and the file first; the line and the
// exit code are those of the library's fatal errors.
void release(jpeg_decompress_struct* cinfo, FILE* file) {
    jpeg_destroy_decompress(cinfo);
    std::fclose(file);
}

void library_error_exit(j_common_ptr common) {
    char message[JMSG_LENGTH_MAX];
    (*common->err->format_message)(common, message);
    const ErrorManager* errors = reinterpret_cast<ErrorManager*>(common->err);
    std::free(errors->buffer);
    release(reinterpret_cast<jpeg_decompress_struct*>(common), errors->file);
    fail("%s\n", message);
}

[[noreturn]] void refuse_size(jpeg_decompress_struct* cinfo, FILE* file, const char* path) {
    const unsigned long w = cinfo->image_width;
    const unsigned long h = cinfo->image_height;
    release(cinfo, file);
    fail("can't use \"%s\": %lu x %lu pixels is too large (at most %d a side and %d pixels)\n", path, w, h,
         kMaxPictureSide, INT32_MAX / 4);
}

[[noreturn]] void refuse_components(jpeg_decompress_struct* cinfo, FILE* file, const char* path, int components) {
    const char* space = colour_space_name(cinfo->jpeg_color_space);
    release(cinfo, file);
    fail("can't use \"%s\": %s picture with %d components; only greyscale (1) and colour (3) are supported\n", path,
         space, components);
}

}  // namespace

uint8_t* decode_jpeg_file(const char* path, DecodeAs as, int32_t* width, int32_t* height, int* components) {
    // 1. The file. Nothing else exists yet if it can't be opened.
    FILE* file = std::fopen(path, "rb");
    if (file == nullptr) fail("can't open \"%s\" for reading\n", path);

    // 2-3. A fresh standard error manager per file, so that the library's
    // warning count starts at zero and the first warning of each file shows:
    // its emit_message prints warning number 0 and only counts the rest. Its
    // error_exit is ours, which releases the file too.
    jpeg_decompress_struct cinfo;
    ErrorManager errors;
    cinfo.err = jpeg_std_error(&errors.library);
    errors.library.error_exit = library_error_exit;
    errors.file = file;
    errors.buffer = nullptr;
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, file);

    // 4. The header; TRUE makes a tables-only datastream a fatal error. Its
    // return value can only be JPEG_HEADER_OK then (stdio never suspends).
    jpeg_read_header(&cinfo, TRUE);

    // Refusals come before the library or we allocate anything sized by the
    // picture, so a small file declaring a huge one costs nothing.
    const uint64_t w = cinfo.image_width;
    const uint64_t h = cinfo.image_height;
    if (w > kMaxPictureSide || h > kMaxPictureSide || w * h > INT32_MAX / 4) {
        refuse_size(&cinfo, file, path);
    }
    if (cinfo.num_components != 1 && cinfo.num_components != 3) {
        refuse_components(&cinfo, file, path, cinfo.num_components);
    }
    // The library converts either kind to luminance itself (the Y channel of
    // a YCbCr file), which is what a mask made from a colour picture means.
    if (as == kLuminance) cinfo.out_color_space = JCS_GRAYSCALE;

    // 5. Default parameters otherwise: full size, no quantisation.
    jpeg_start_decompress(&cinfo);
    if (cinfo.output_components != 1 && cinfo.output_components != 3) {
        refuse_components(&cinfo, file, path, cinfo.output_components);
    }

    // 6. Always three bytes per pixel, whatever the file holds; the size
    // checks above keep this product within a signed 32-bit int.
    const int32_t stride = static_cast<int32_t>(w) * 3;
    const int32_t bytes = static_cast<int32_t>(h) * stride;
    uint8_t* buffer = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(bytes)));
    if (buffer == nullptr) {
        release(&cinfo, file);
        fail("Couldn't allocate %d bytes for image data\n", bytes);
    }
    errors.buffer = buffer;

    // 7. One row per call, each straight into its bottom-up place.
    JSAMPROW row[1];
    for (JDIMENSION i = 0; i < cinfo.image_height; ++i) {
        row[0] = buffer + static_cast<size_t>(h - 1 - i) * static_cast<size_t>(stride);
        if (jpeg_read_scanlines(&cinfo, row, 1) != 1) {
            std::free(buffer);
            release(&cinfo, file);
            fail("Failed reading row %d\n", static_cast<int>(i));
        }
    }

    // 8. finish's result only matters to a suspending data source.
    jpeg_finish_decompress(&cinfo);
    *components = cinfo.output_components;
    jpeg_destroy_decompress(&cinfo);
    std::fclose(file);

    *width = static_cast<int32_t>(w);
    *height = static_cast<int32_t>(h);
    return buffer;
}

}  // namespace image
