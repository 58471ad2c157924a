// File writers: baseline JPEG through libjpeg's compressor, raw bytes for the
// song. Errors come back as one line of text instead of ending the process.
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

#include "assetgen.h"

namespace assetgen {
namespace {

// libjpeg reports fatal errors through error_exit, which must not return:
// jump back to write_jpeg with the library's message kept.
struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf back;
    char message[JMSG_LENGTH_MAX];
};

void jpeg_error_exit(j_common_ptr info) {
    JpegError* error = reinterpret_cast<JpegError*>(info->err);
    (*info->err->format_message)(info, error->message);
    std::longjmp(error->back, 1);
}

std::string cannot_write(const std::string& path, const char* reason) {
    return "can't write \"" + path + "\": " + reason;
}

}  // namespace

std::string write_jpeg(const std::string& path, const Picture& picture, int quality) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return cannot_write(path, std::strerror(errno));

    // Step 1: compressor with our error handler. Everything the jump can skip
    // is plain data, so the longjmp leaks nothing but what we destroy below.
    jpeg_compress_struct info;
    JpegError error;
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = jpeg_error_exit;
    if (setjmp(error.back)) {
        jpeg_destroy_compress(&info);
        std::fclose(file);
        return cannot_write(path, error.message);
    }
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);

    // Step 2: fixed parameters, so the same pixels give the same bytes.
    info.image_width = static_cast<JDIMENSION>(picture.width);
    info.image_height = static_cast<JDIMENSION>(picture.height);
    info.input_components = picture.components;
    info.in_color_space = picture.components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    info.dct_method = JDCT_ISLOW;

    // Step 3: rows top to bottom.
    jpeg_start_compress(&info, TRUE);
    const size_t stride = static_cast<size_t>(picture.width) * static_cast<size_t>(picture.components);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(picture.bytes.data() + info.next_scanline * stride);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);

    // The library writes through stdio: a full disk shows up only here.
    const bool failed = std::ferror(file) != 0;
    if (std::fclose(file) != 0 || failed) return cannot_write(path, std::strerror(errno));
    return {};
}

std::string write_bytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return cannot_write(path, std::strerror(errno));
    const size_t written = std::fwrite(bytes.data(), 1, bytes.size(), file);
    const bool failed = written != bytes.size() || std::ferror(file) != 0;
    if (std::fclose(file) != 0 || failed) return cannot_write(path, std::strerror(errno));
    return {};
}

}  // namespace assetgen
