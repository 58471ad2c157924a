// Frame store: the pages are static storage, zero at program start.
#include "core/frame_store.h"

#include <cstdlib>
#include <cstring>

namespace frame_store {
namespace {

struct Store {
    alignas(64) Pixel pages[kPageCount * kPagePixels];
    Pixel* screen;
    ImageSlot slots[kSlotCount];
};

Store state;  // zero-initialised: every page is black before anything runs

}  // namespace

Pixel* page(int n) { return state.pages + n * kPagePixels; }

Pixel* screen() { return state.screen; }

void point_screen_at_page0() { state.screen = page(kScreenPage); }

void clear_page(Pixel* target) { std::memset(target, 0, sizeof(Pixel) * kPagePixels); }

ImageSlot& slot(int index) { return state.slots[index]; }

void clear_slots() {
    for (ImageSlot& s : state.slots) s.pixels = nullptr;
}

void free_slots() {
    for (ImageSlot& s : state.slots) {
        if (s.pixels != nullptr) std::free(s.pixels);
    }
}

}  // namespace frame_store
