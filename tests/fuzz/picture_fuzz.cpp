// Fuzz target: the picture loaders as the demo calls them (the JPEG adapter,
// its size and component checks, the slot packing, the mask check) and the
// resampler on each size they load. A refusal comes back here through this
// program's own image::fail() instead of ending the process.
//
// Input: a mode byte, then the file(s).
//   mode % 3 == 0: the rest is a colour picture;
//   mode % 3 == 1: the rest is both the colour picture and its mask;
//   mode % 3 == 2: three bytes of little-endian length n, then n bytes of
//                  colour picture, then the mask.
#include <dlfcn.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <utility>
#include <vector>

#include <jpeglib.h>

#include "core/frame_store.h"
#include "fuzz/fuzz_support.h"
#include "image/image.h"

namespace {

constexpr int kSlot = 0;
std::jmp_buf refused;

// Reads the header alone, marking what it declares (fuzz_support::saw).
// A small damaged file may declare a picture the loaders accept but whose
// decoding, all inside the library, takes seconds; those are left out. Sizes
// the loaders refuse stay in, as their check is what is being tried.
constexpr uint64_t kLargestPixels = 1u << 20;

struct QuietErrors {
    jpeg_error_mgr library;  // first, so the library's pointer is this one's
    std::jmp_buf out;
};

bool slow_to_decode(const uint8_t* data, size_t size) {
    jpeg_decompress_struct cinfo;
    QuietErrors errors;
    cinfo.err = jpeg_std_error(&errors.library);
    errors.library.error_exit = [](j_common_ptr common) {
        std::longjmp(reinterpret_cast<QuietErrors*>(common->err)->out, 1);
    };
    errors.library.emit_message = [](j_common_ptr, int) {};
    jpeg_create_decompress(&cinfo);
    volatile bool slow = false;
    if (setjmp(errors.out) == 0) {
        jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
        jpeg_read_header(&cinfo, TRUE);
        const uint64_t w = cinfo.image_width, h = cinfo.image_height;
        const bool accepted = w <= image::kMaxPictureSide && h <= image::kMaxPictureSide && w * h <= INT32_MAX / 4;
        slow = accepted && w * h > kLargestPixels;
        fuzz_support::saw(0, cinfo.jpeg_color_space);
        fuzz_support::saw(1, static_cast<uint64_t>(cinfo.num_components));
        fuzz_support::saw(2, static_cast<uint64_t>(cinfo.progressive_mode * 2 + cinfo.arith_code));
        fuzz_support::saw(
            3, static_cast<uint64_t>(cinfo.comp_info[0].h_samp_factor * 4 + cinfo.comp_info[0].v_samp_factor));
        fuzz_support::saw(4, static_cast<uint64_t>(cinfo.data_precision));
    }
    jpeg_destroy_decompress(&cinfo);
    return slow;
}

}  // namespace

// The library is not instrumented, so its own writes into our buffers go
// unchecked. Each call from the decoder comes here instead: the library
// decodes into a scratch buffer, and the rows are copied into the decoder's
// with a checked memcpy, which sees a row that its buffer can't hold.
extern "C" JDIMENSION jpeg_read_scanlines(j_decompress_ptr cinfo, JSAMPARRAY rows, JDIMENSION max_lines) {
    using Read = JDIMENSION (*)(j_decompress_ptr, JSAMPARRAY, JDIMENSION);
    static const Read library_read = reinterpret_cast<Read>(dlsym(RTLD_NEXT, "jpeg_read_scanlines"));
    static std::vector<uint8_t> scratch;
    static std::vector<JSAMPROW> scratch_rows;
    const size_t row_bytes = size_t{cinfo->output_width} * static_cast<size_t>(cinfo->output_components);
    scratch.resize(row_bytes * max_lines);
    scratch_rows.resize(max_lines);
    for (JDIMENSION i = 0; i < max_lines; ++i) scratch_rows[i] = scratch.data() + i * row_bytes;
    const JDIMENSION read = library_read(cinfo, scratch_rows.data(), max_lines);
    for (JDIMENSION i = 0; i < read; ++i) std::memcpy(rows[i], scratch_rows[i], row_bytes);
    return read;
}

namespace image {

void fail(const char*, ...) { std::longjmp(refused, 1); }

}  // namespace image

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fuzz_support::MemoryFile colour = fuzz_support::make_memory_file("colour.jpg");
    static const fuzz_support::MemoryFile mask = fuzz_support::make_memory_file("mask.jpg");
    if (size < 1) return 0;
    const int mode = data[0] % 3;
    const uint8_t* colour_data = data + 1;
    size_t colour_size = size - 1;
    const uint8_t* mask_data = colour_data;
    size_t mask_size = colour_size;
    if (mode == 2) {
        if (size < 4) return 0;
        const size_t n = data[1] | size_t{data[2]} << 8 | size_t{data[3]} << 16;
        colour_data = data + 4;
        colour_size = n < size - 4 ? n : size - 4;
        mask_data = colour_data + colour_size;
        mask_size = size - 4 - colour_size;
    }
    if (slow_to_decode(colour_data, colour_size) || (mode != 0 && slow_to_decode(mask_data, mask_size))) return 0;
    fuzz_support::fill(colour, colour_data, colour_size);
    fuzz_support::fill(mask, mask_data, mask_size);

    ImageSlot& slot = frame_store::slot(kSlot);
    if (setjmp(refused) == 0) {
        if (mode == 0) {
            image::load_colour_image(colour.path, kSlot);
        } else {
            image::load_colour_image_with_alpha_mask(colour.path, mask.path, kSlot);
        }
        fuzz_support::require(slot.pixels != nullptr && slot.width >= 1 && slot.height >= 1 &&
                                  slot.width <= image::kMaxPictureSide && slot.height <= image::kMaxPictureSide,
                              "a loaded slot holds a picture of 1 to 32767 pixels a side");
        // The resampler's path depends on the size alone and costs a whole
        // page: once per size keeps the fuzzer ten times faster.
        static std::set<std::pair<int32_t, int32_t>> resampled;
        if (resampled.insert({slot.width, slot.height}).second) {
            image::resample_slot_into_page(kSlot, frame_store::kPicturePage);
        }
    }
    std::free(slot.pixels);
    slot = ImageSlot{};
    return 0;
}
