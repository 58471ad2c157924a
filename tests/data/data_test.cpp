// The asset lookup in scratch folders: a working directory and an install
// (PREFIX/bin/orvo with its data folder where the build's layout puts it).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "data/data.h"
#include "data/data_internal.h"

namespace fs = std::filesystem;

namespace {

class AssetLookup : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() /
               ("orvo-data-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(root);
        fs::create_directories(root / "work");
        program = (root / "bin" / "orvo").generic_string();
        installed = data::installed_directory(program);
        fs::create_directories(installed);
        previous = fs::current_path();
        fs::current_path(root / "work");
    }
    void TearDown() override {
        fs::current_path(previous);
        fs::remove_all(root);
    }
    static void put(const std::string& path) { std::ofstream(path) << "x"; }

    fs::path root, previous;
    std::string program, installed;
};

}  // namespace

TEST_F(AssetLookup, TheWorkingDirectoryWinsWhenItHoldsAFile) {
    for (const char* name : data::kAssetNames) put(installed + name);
    put("s.s3m");
    EXPECT_EQ(data::asset_directory_for(program), "");
}

TEST_F(AssetLookup, TheInstalledFolderOnlyWhenItHoldsThePictures) {
    EXPECT_EQ(data::asset_directory_for(program), "") << "an empty installed folder was taken";
    put(installed + "02.jpg");
    put(installed + "02a.jpg");
    EXPECT_EQ(data::asset_directory_for(program), "") << "taken without king.jpg";
    put(installed + "king.jpg");
    EXPECT_EQ(data::asset_directory_for(program), installed);
    EXPECT_EQ(data::asset_directory_for("orvo"), "") << "a program path with no folder";
    ASSERT_EQ(installed.back(), '/');
}
