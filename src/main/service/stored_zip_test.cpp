#include "main/service/stored_zip.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace scrivex {
namespace {

std::string Output(const std::string& command) {
  std::string output;
  if (std::FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    pclose(pipe);
  }
  return output;
}

// unzip, a reader we did not write, finds every entry whole and in order.
TEST(StoredZip, UnzipReadsEveryEntryInOrderWithItsBytes) {
  std::string binary;
  for (int i = 0; i < 70000; ++i) binary.push_back(static_cast<char>(i * 7 % 256));
  const std::vector<std::pair<std::string, std::string>> entries = {
      {"page_0002.tif", "second"}, {"page_0001.tif", binary}, {"empty.txt", ""}};
  char path[] = "/tmp/stored_zip_testXXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  std::ofstream(path, std::ios::binary) << StoredZip(entries);

  const std::string listing = Output(std::string("unzip -Z1 ") + path);
  EXPECT_EQ(listing, "page_0002.tif\npage_0001.tif\nempty.txt\n");
  EXPECT_NE(Output(std::string("unzip -tq ") + path + " 2>&1").find("No errors detected"),
            std::string::npos);
  EXPECT_EQ(Output(std::string("unzip -p ") + path + " page_0001.tif"), binary);
  EXPECT_EQ(Output(std::string("unzip -p ") + path + " page_0002.tif"), "second");
  std::remove(path);

  EXPECT_EQ(StoredZip({}).size(), 22u);  // the end record alone
}

}  // namespace
}  // namespace scrivex
