// The file services the system uses for log rotation, transfers and the
// configuration: wildcard search, case-insensitive look-up, folder creation.
#include "platform/files.h"

#include <gtest/gtest.h>
#include <filesystem>

#include <algorithm>
#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace tessaril::platform {
namespace {

using test::ScopedCurrentFolder;
using test::TempFolder;

std::vector<std::string> sorted(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  return names;
}

TEST(PlatformFiles, WildcardSearchMatchesPlainFilesOnly) {
  TempFolder dir;
  for (const char* name : {"Clog20261206.txt", "Clog20261205.txt", "Clog2026120.txt", "Clog202612066.txt",
                           "clog20261204.txt", "Clog20261203.TXT", "xClog20261202.txt", "Clog2026120A.txt"})
    dir.write(name, "x");
  ASSERT_TRUE(std::filesystem::create_directory(dir.file("Clog20261201.txt")));

#ifdef _WIN32
  // Windows's search matches without regard to case.
  EXPECT_EQ(sorted(find_files(dir.path(), "Clog????????.txt")),
            (std::vector<std::string>{"Clog20261203.TXT", "Clog20261205.txt", "Clog20261206.txt", "Clog2026120A.txt",
                                      "clog20261204.txt"}))
      << "'?' is exactly one character, folders are left out";
  EXPECT_EQ(find_files(dir.path(), "*.TXT").size(), 8u);
#else
  EXPECT_EQ(sorted(find_files(dir.path(), "Clog????????.txt")),
            (std::vector<std::string>{"Clog20261205.txt", "Clog20261206.txt", "Clog2026120A.txt"}))
      << "'?' is exactly one character, case counts, folders are left out";
  EXPECT_EQ(sorted(find_files(dir.path(), "*.TXT")), std::vector<std::string>{"Clog20261203.TXT"});
#endif
  EXPECT_EQ(find_files(dir.path(), "*").size(), 8u);
  EXPECT_EQ(find_files(dir.path(), "*Clog*2?.txt"), std::vector<std::string>{"Clog2026120.txt"});
  EXPECT_EQ(find_files(dir.path(), "x*"), std::vector<std::string>{"xClog20261202.txt"});
  EXPECT_TRUE(find_files(dir.file("missing"), "*").empty());
}

TEST(PlatformFiles, WildcardSearchAcceptsBackslashFoldersAndTheCurrentFolder) {
  TempFolder dir;
  dir.write("a.PGM", "x");
  EXPECT_EQ(find_files(dir.path() + "\\", "*.PGM"), std::vector<std::string>{"a.PGM"});
  ScopedCurrentFolder here(dir.path());
  EXPECT_EQ(find_files("", "?.PGM"), std::vector<std::string>{"a.PGM"});
}

TEST(PlatformFiles, CaseInsensitiveLookUpPrefersTheExactName) {
  TempFolder dir;
  dir.write("cal.xml", "lower");
  EXPECT_EQ(find_file_nocase(dir.path(), "CAL.XML"), "cal.xml");
  EXPECT_EQ(find_file_nocase(dir.path(), "Cal.Xml"), "cal.xml");
#ifndef _WIN32
  // Only a case-sensitive file system holds both names.
  dir.write("CAL.XML", "upper");
  EXPECT_EQ(find_file_nocase(dir.path(), "CAL.XML"), "CAL.XML");
  EXPECT_EQ(find_file_nocase(dir.path(), "cal.xml"), "cal.xml");
#endif
  EXPECT_EQ(find_file_nocase(dir.path(), "CAL.XM"), "");
  EXPECT_EQ(find_file_nocase(dir.path(), ""), "");
  ASSERT_TRUE(std::filesystem::create_directory(dir.file("SUB")));
  EXPECT_EQ(find_file_nocase(dir.path(), "sub"), "") << "a folder is no file";
}

TEST(PlatformFiles, MakeFoldersCreatesParentsAndRefusesFiles) {
  TempFolder dir;
  std::string deep = dir.path() + "/a/b\\c/";
  EXPECT_TRUE(make_folders(deep));
  struct stat st {};
  ASSERT_EQ(::stat((dir.path() + "/a/b/c").c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_TRUE(make_folders(deep)) << "an existing folder is fine";

  dir.write("plain", "x");
  EXPECT_FALSE(make_folders(dir.file("plain")));
  EXPECT_FALSE(make_folders(dir.file("plain") + "/below"));

  ScopedCurrentFolder here(dir.path());
  EXPECT_TRUE(make_folders("rel/sub/"));
  EXPECT_EQ(::stat((dir.path() + "/rel/sub").c_str(), &st), 0);
}

TEST(PlatformFiles, SizesNamesAndSeparators) {
  TempFolder dir;
  std::string p = dir.write("f.bin", std::string(1234, 'z'));
  EXPECT_EQ(file_size(p), 1234);
  EXPECT_EQ(file_size(dir.path()), -1);
  EXPECT_EQ(file_size(dir.file("none")), -1);
  EXPECT_EQ(base_name("C:\\buc_sim\\cmd_log\\Clog20261206.txt"), "Clog20261206.txt");
  EXPECT_EQ(base_name("/a/b/c.XML"), "c.XML");
  EXPECT_EQ(base_name("plain"), "plain");
  const std::string sep(1, path_separator());
  EXPECT_EQ(native_path("a\\b/c\\"), "a" + sep + "b" + sep + "c" + sep);
  EXPECT_TRUE(is_path_separator('\\'));
  EXPECT_FALSE(is_path_separator(':'));

  std::string moved = dir.file("g.bin");
  EXPECT_TRUE(rename_file(p, moved));
  EXPECT_EQ(file_size(moved), 1234);
  EXPECT_TRUE(remove_file(moved));
  EXPECT_FALSE(remove_file(moved));
}

}  // namespace
}  // namespace tessaril::platform
