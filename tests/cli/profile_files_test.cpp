#include "cli/profile_files.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

namespace lumra::cli {
namespace {

namespace fs = std::filesystem;

class ProfileFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "lumra-profiles-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    previous_ = fs::current_path();
    fs::current_path(dir_);
  }
  void TearDown() override {
    fs::current_path(previous_);
    fs::remove_all(dir_);
  }
  fs::path dir_;
  fs::path previous_;
};

TEST_F(ProfileFiles, BareWordsNameFilesOfTheFolder) {
  std::ofstream("here") << "{}";
  const std::string folder = ProfileFolder("/home/u");
  EXPECT_EQ(folder, "/home/u/Library/Application Support/lumra/profiles");
  const struct {
    const char* word;
    std::string path;
  } cases[] = {
      {"night", folder + "/night.json"},
      {"night.json", folder + "/night.json"},
      {"here", "here"},
      {"./night", "./night"},
      {"/tmp/day.json", "/tmp/day.json"},
      {"-", "-"},
  };
  for (const auto& c : cases) {
    const auto path = ProfilePath(c.word, folder);
    ASSERT_FALSE(path.Err) << c.word;
    EXPECT_EQ(path.Value, c.path) << c.word;
  }
  EXPECT_TRUE(ProfilePath("night", ProfileFolder("")).Err);
  EXPECT_FALSE(ProfilePath("here", ProfileFolder("")).Err);
}

TEST_F(ProfileFiles, WritingCreatesTheFolderAndKeepsPermissions) {
  const std::string folder = (dir_ / "profiles").string();
  const std::string path = folder + "/day.json";
  ASSERT_FALSE(WriteProfileText(path, "one\n", folder));
  ::chmod(path.c_str(), 0600);
  ASSERT_FALSE(WriteProfileText(path, "two\n", folder));
  const auto read = ReadProfileText(path);
  ASSERT_FALSE(read.Err);
  EXPECT_EQ(read.Value, "two\n");
  EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read | fs::perms::owner_write);
  // Outside the folder nothing is created on the way.
  EXPECT_TRUE(WriteProfileText((dir_ / "missing/x.json").string(), "x", folder));
  EXPECT_TRUE(ReadProfileText((dir_ / "missing.json").string()).Err);
}

}  // namespace
}  // namespace lumra::cli
