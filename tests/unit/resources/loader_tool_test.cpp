// The build-host tool's look at a supplied image: what the configure step prints and warns
// about, and the --version line it embeds.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct ToolRun {
  int exit_code;
  std::string output;
};

ToolRun run_tool(const std::string& arguments) {
  const std::string command = std::string(PELLORA_LOADER_TOOL) + " " + arguments + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return {-1, "cannot start " + command};
  std::string output;
  std::array<char, 256> buffer{};
  while (fgets(buffer.data(), static_cast<int>(buffer.size()), pipe) != nullptr) {
    output += buffer.data();
  }
  const int status = pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

std::vector<char> read_all(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_all(const fs::path& path, const std::vector<char>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

class LoaderTool : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("pellora-loader-tool-" +
            std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    const ToolRun made =
        run_tool("stand-in " + (dir_ / "good.bin").string() + " " + (dir_ / "good.cpp").string());
    ASSERT_EQ(made.exit_code, 0) << made.output;
    good_ = read_all(dir_ / "good.bin");
    ASSERT_EQ(good_.size(), 43044u);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string file(const std::string& name, const std::vector<char>& bytes) {
    write_all(dir_ / name, bytes);
    return (dir_ / name).string();
  }

  fs::path dir_;
  std::vector<char> good_;
};

TEST_F(LoaderTool, CheckTellsAGoodImageFromABadOne) {
  std::vector<char> flipped = good_;
  flipped[1000] ^= 0x01;
  std::vector<char> no_magic = good_;
  no_magic[1] = 'X';

  struct Case {
    std::string name;
    std::vector<char> bytes;
    int exit_code;
    std::string says;
  };
  const std::vector<Case> table = {
      {"good.bin", good_, 0, "43044 bytes, header magic 00 52 50 4F ok, CRC-32 trailer 0x"},
      {"flipped.bin", flipped, 3, "wrong, the bytes before it give 0x"},
      {"magic.bin", no_magic, 3, "no 00 52 50 4F header magic"},
      {"tiny.bin", {0x00, 0x52, 0x50}, 3, "too short for a CRC-32 trailer"},
  };
  for (const Case& c : table) {
    const ToolRun run = run_tool("check " + file(c.name, c.bytes));
    EXPECT_EQ(run.exit_code, c.exit_code) << c.name << ": " << run.output;
    EXPECT_NE(run.output.find(c.says), std::string::npos) << c.name << ": " << run.output;
  }
  EXPECT_NE(run_tool("check " + file("good.bin", good_)).output.find(" ok"), std::string::npos);
}

TEST_F(LoaderTool, CheckOfAMissingFileFails) {
  const ToolRun run = run_tool("check " + (dir_ / "absent.bin").string());
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_NE(run.output.find("cannot read"), std::string::npos) << run.output;
}

TEST_F(LoaderTool, EmbedKeepsTheBytesAndDescribesThem) {
  std::vector<char> supplied = good_;
  supplied[500] = 0x7F;  // the trailer no longer holds
  const std::string image = file("dmboot.bin", supplied);
  const std::string source = (dir_ / "embedded.cpp").string();

  const ToolRun run = run_tool("embed " + image + " " + source);
  ASSERT_EQ(run.exit_code, 0) << run.output;

  const std::vector<char> text = read_all(source);
  const std::string cpp(text.begin(), text.end());
  EXPECT_NE(cpp.find("\"loader image: supplied dmboot.bin (43044 bytes, CRC-32 trailer 0x"),
            std::string::npos);
  EXPECT_NE(cpp.find("wrong, the bytes before it give 0x"), std::string::npos);
  EXPECT_NE(cpp.find("loader_size = 43044;"), std::string::npos);
  // The changed byte, among the zero filler, went in unchanged.
  EXPECT_NE(cpp.find("0x00, 0x00, 0x00, 0x00, 0x7F,"), std::string::npos);
}

}  // namespace
