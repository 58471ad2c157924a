// Pictures that must end the process with one line on stderr and exit code
// 1: missing, not JPEG, no image, unsupported components, declared sizes
// beyond the arithmetic, mismatched masks, failed allocation, random damage.
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/resource.h>
#endif

#include <cstdio>
#include <random>
#include <regex>
#include <string>

#include "image/image.h"
#include "support/test_pictures.h"

namespace {

using test_pictures::TempDir;

// The whole of stderr must be this one line (the sanitizer's leak report
// would be a second one, and change the exit code).
#if defined(_WIN32)
// GoogleTest's regular expressions on Windows know no bracket expressions or
// groups; these patterns read the same as ECMAScript ones.
class OnlyLine : public testing::MatcherInterface<const std::string&> {
public:
    explicit OnlyLine(const std::string& pattern) : pattern_(pattern), re_("^" + pattern + "\n$") {}
    bool MatchAndExplain(const std::string& text, testing::MatchResultListener*) const override {
        return std::regex_search(text, re_);
    }
    void DescribeTo(std::ostream* os) const override { *os << "is the one line " << pattern_; }

private:
    std::string pattern_;
    std::regex re_;
};
testing::Matcher<const std::string&> only_line(const std::string& pattern) {
    return testing::MakeMatcher(new OnlyLine(pattern));
}
#else
std::string only_line(const std::string& pattern) { return "^" + pattern + "\n$"; }
#endif

void load(const std::string& path) { image::load_colour_image(path.c_str(), 30); }

TEST(HostilePicturesDeathTest, LibraryAndOpenFailures) {
    TempDir dir;
    EXPECT_EXIT(load(dir / "missing.jpg"), testing::ExitedWithCode(1),
                only_line("can't open \"" + (dir / "missing.jpg") + "\" for reading"));

    test_pictures::write_file(dir / "text.jpg", std::string("this is a text file, not a picture\n"));
    EXPECT_EXIT(load(dir / "text.jpg"), testing::ExitedWithCode(1), only_line("Not a JPEG file: [^\n]*"));

    test_pictures::write_file(dir / "tables.jpg", test_pictures::encode_tables_only());
    EXPECT_EXIT(load(dir / "tables.jpg"), testing::ExitedWithCode(1), only_line("JPEG datastream contains no image"));

    test_pictures::write_file(dir / "empty.jpg", std::string());
    EXPECT_EXIT(load(dir / "empty.jpg"), testing::ExitedWithCode(1), only_line("[^\n]+"));
}

TEST(HostilePicturesDeathTest, OnlyOneAndThreeComponentPicturesAreUsed) {
    TempDir dir;
    const std::vector<uint8_t> four(16 * 16 * 4, 100);
    test_pictures::write_file(dir / "cmyk.jpg", test_pictures::encode_jpeg(16, 16, 4, JCS_CMYK, four.data()));
    test_pictures::write_file(dir / "ycck.jpg",
                              test_pictures::encode_jpeg(16, 16, 4, JCS_CMYK, four.data(), 90, JCS_YCCK));
    const std::vector<uint8_t> two(16 * 16 * 2, 100);
    test_pictures::write_file(dir / "two.jpg", test_pictures::encode_jpeg(16, 16, 2, JCS_UNKNOWN, two.data()));
    const char* tail = " picture with ([0-9]) components; only greyscale \\(1\\) and colour \\(3\\) are supported";

    EXPECT_EXIT(load(dir / "cmyk.jpg"), testing::ExitedWithCode(1),
                only_line("can't use \"" + (dir / "cmyk.jpg") + "\": CMYK picture with 4 components; .*"));
    EXPECT_EXIT(load(dir / "ycck.jpg"), testing::ExitedWithCode(1),
                only_line("can't use \"" + (dir / "ycck.jpg") + "\": YCCK" + tail));
    EXPECT_EXIT(load(dir / "two.jpg"), testing::ExitedWithCode(1),
                only_line("can't use \"" + (dir / "two.jpg") + "\": unknown picture with 2 components; .*"));
    // The mask path asks for luminance, which must not let CMYK through.
    test_pictures::write_file(dir / "c.jpg", test_pictures::encode_rgb(16, 16, test_pictures::pattern_rgb(16, 16, 1)));
    EXPECT_EXIT(image::load_colour_image_with_alpha_mask((dir / "c.jpg").c_str(), (dir / "cmyk.jpg").c_str(), 30),
                testing::ExitedWithCode(1), only_line("can't use \"" + (dir / "cmyk.jpg") + "\": CMYK" + tail));
}

// A file of a few hundred bytes may declare a picture of gigabytes; it is
// refused from its header, before the library or we allocate for it.
TEST(HostilePicturesDeathTest, DeclaredSizesBeyondTheArithmeticAreRefused) {
    TempDir dir;
    const test_pictures::Bytes small = test_pictures::encode_rgb(16, 16, test_pictures::pattern_rgb(16, 16, 2));
    const struct {
        uint16_t w, h;
        const char* shown;
    } cases[] = {{64000, 64000, "64000 x 64000"},
                 {32768, 16, "32768 x 16"},
                 {16, 32768, "16 x 32768"},
                 {30000, 30000, "30000 x 30000"},
                 {23171, 23171, "23171 x 23171"}};
    for (const auto& c : cases) {
        test_pictures::Bytes jpeg = small;
        test_pictures::declare_size(jpeg, c.w, c.h);
        test_pictures::write_file(dir / "big.jpg", jpeg);
        EXPECT_LT(jpeg.size(), 2000u);
        EXPECT_EXIT(load(dir / "big.jpg"), testing::ExitedWithCode(1),
                    only_line("can't use \"" + (dir / "big.jpg") + "\": " + c.shown +
                              " pixels is too large \\(at most 32767 a side and 536870911 pixels\\)"));
    }
}

TEST(HostilePictures, LargestAcceptedSidesLoadAndResample) {
    TempDir dir;
    test_pictures::Bytes jpeg = test_pictures::encode_rgb(16, 16, test_pictures::pattern_rgb(16, 16, 2));
    for (const auto& size : {std::pair<uint16_t, uint16_t>{32767, 2}, {2, 32767}}) {
        test_pictures::declare_size(jpeg, size.first, size.second);
        test_pictures::write_file(dir / "wide.jpg", jpeg);
        testing::internal::CaptureStderr();  // the data ends early: one warning
        load(dir / "wide.jpg");
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(frame_store::slot(30).width, size.first);
        EXPECT_EQ(frame_store::slot(30).height, size.second);
        image::resample_slot_into_page(30, 2);
    }
}

TEST(HostilePicturesDeathTest, MaskOfAnotherSizeNamesBothSizes) {
    TempDir dir;
    test_pictures::write_file(dir / "c.jpg", test_pictures::encode_rgb(3, 2, test_pictures::pattern_rgb(3, 2, 1)));
    test_pictures::write_file(dir / "m.jpg", test_pictures::encode_grey(3, 3, std::vector<uint8_t>(9, 255)));
    EXPECT_EXIT(image::load_colour_image_with_alpha_mask((dir / "c.jpg").c_str(), (dir / "m.jpg").c_str(), 31),
                testing::ExitedWithCode(1),
                only_line("can't use \"" + (dir / "m.jpg") + "\" as the mask of \"" + (dir / "c.jpg") +
                          "\": the mask is 3 x 3 pixels, the picture 3 x 2"));
}

// The slot's own allocation failing: room for the decoded buffer (12 MB) but
// not for the slot's array (16 MB) as well. Address-space limits and the
// sanitizers' allocators don't mix, so this runs in the plain build only.
TEST(HostilePicturesDeathTest, SlotAllocationFailureUsesTheDecoderMessage) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "address-space limit not usable under the address sanitizer";
#elif defined(_WIN32)
    GTEST_SKIP() << "no address-space limit on Windows";
#else
    TempDir dir;
    const std::vector<uint8_t> flat(2000 * 2000 * 3, 90);
    test_pictures::write_file(dir / "c.jpg", test_pictures::encode_rgb(2000, 2000, flat));
    const auto limited_load = [&] {
        long pages = 0;
        FILE* statm = std::fopen("/proc/self/statm", "r");
        if (statm == nullptr || std::fscanf(statm, "%ld", &pages) != 1) std::exit(3);
        std::fclose(statm);
        const rlim_t limit = static_cast<rlim_t>(pages) * 4096 + 20 * 1024 * 1024;
        const rlimit r{limit, limit};
        if (setrlimit(RLIMIT_AS, &r) != 0) std::exit(4);
        load(dir / "c.jpg");
    };
    EXPECT_EXIT(limited_load(), testing::ExitedWithCode(1),
                only_line("Couldn't allocate 16000000 bytes for image data"));
#endif
}

// Seeded damage anywhere in a valid file: the load either succeeds or ends
// with exit code 1 and a message; never a crash, hang or sanitizer report.
TEST(HostilePicturesDeathTest, RandomDamageEndsCleanly) {
    TempDir dir;
    const test_pictures::Bytes good = test_pictures::encode_rgb(48, 40, test_pictures::pattern_rgb(48, 40, 5));
    std::mt19937 rng(2024);
    const auto clean_end = [](int status) {
#if defined(_WIN32)
        return status == 0 || status == 1;  // the exit code itself
#else
        return WIFEXITED(status) && (WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == 1);
#endif
    };
    for (int round = 0; round < 40; ++round) {
        test_pictures::Bytes jpeg = good;
        const int hits = 1 + static_cast<int>(rng() % 8);
        for (int i = 0; i < hits; ++i) jpeg[rng() % jpeg.size()] = static_cast<uint8_t>(rng());
        if (round % 4 == 0) jpeg.resize(rng() % jpeg.size());
        test_pictures::write_file(dir / "d.jpg", jpeg);
        const auto load_and_use = [&] {
            load(dir / "d.jpg");
            image::resample_slot_into_page(30, 2);
            std::exit(0);
        };
        EXPECT_EXIT(load_and_use(), clean_end, "") << "round " << round;
    }
}

}  // namespace
