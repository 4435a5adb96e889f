// read_config against real files in a temporary current directory (CTest runs
// each case in its own process, so changing the current directory is safe).
#include "shell/config.h"

#include <gtest/gtest.h>
#include <filesystem>

#include <string>

#include "platform/files.h"
#include "support/temp_folder.h"

namespace tessaril::shell {
namespace {

using test::ScopedCurrentFolder;
using test::TempFolder;

constexpr uint32_t ini_file_missing = 0x10800001;

void expect_defaults(const AppConfig& c) {
  EXPECT_EQ(c.sio_port, 1);
  EXPECT_EQ(c.bit_rate, 38400);
  EXPECT_EQ(c.bit_len, 8);
  EXPECT_EQ(c.stop_len, 1);
  EXPECT_STREQ(c.parity, "none");
  EXPECT_STREQ(c.flow_ctl, "none");
  EXPECT_STREQ(c.bpn_text, "0000000000000");
  EXPECT_STREQ(c.mid_text, "000") << "the 4-byte capacity cuts the six-character default";
  EXPECT_STREQ(c.bsn_text, "000000000");
  EXPECT_STREQ(c.fid_text, "000000");
  EXPECT_EQ(c.rty_tmr, 2500);
#ifdef _WIN32
  EXPECT_STREQ(c.cfg_folder, "C:\\buc_sim\\buc_cfg\\");
  EXPECT_STREQ(c.cmd_log_folder, "C:\\buc_sim\\cmd_log\\");
#else
  EXPECT_STREQ(c.cfg_folder, "buc_cfg/");
  EXPECT_STREQ(c.cmd_log_folder, "cmd_log/");
#endif
  EXPECT_EQ(c.logfile_max, 7);
  EXPECT_EQ(c.logline_max, 1000);
}

// A configuration read earlier must not show through.
void spoil() {
  app_config.sio_port = -99;
  app_config.logline_max = -99;
  app_config.mid_text[0] = 'Z';
  app_config.cmd_log_folder[0] = 'Z';
}

TEST(ConfigRead, NoFileGivesEveryDefaultAndTheMissingFileStatus) {
  TempFolder dir;
  ScopedCurrentFolder here(dir.path());
  spoil();
  EXPECT_EQ(read_config(), ini_file_missing);
  expect_defaults(app_config);
}

TEST(ConfigRead, EmptyFileGivesTheDefaultsAndStatusZero) {
  TempFolder dir;
  dir.write("buc_setup.ini", "");
  ScopedCurrentFolder here(dir.path());
  spoil();
  EXPECT_EQ(read_config(), 0u);
  expect_defaults(app_config);
}

TEST(ConfigRead, AFolderOfTheNameIsNoFile) {
  TempFolder dir;
  ASSERT_TRUE(std::filesystem::create_directory(dir.file("buc_setup.ini")));
  ScopedCurrentFolder here(dir.path());
  EXPECT_EQ(read_config(), ini_file_missing);
  expect_defaults(app_config);
}

TEST(ConfigRead, EveryKeyIsRead) {
  TempFolder dir;
  dir.write("buc_setup.ini",
            "[section1]\n"
            "sio_port=4\n"
            "bit_rate=115200\n"
            "bit_len=7\n"
            "stop_len=2\n"
            "parity=even\n"
            "flow_ctl=rtscts\n"
            "bpn=ABCDEFGHIJKLM\n"
            "MID=XYZ\n"
            "bsn=123456789\n"
            "fid=F00001\n"
            "rty_tmr=100\n"
            "cfg_folder=/opt/buc/cfg/\n"
            "cmd_log_folder=/var/log/buc/\n"
            "logfile_max=30\n"
            "logline_max=20000\n");
  ScopedCurrentFolder here(dir.path());
  ASSERT_EQ(read_config(), 0u);
  const AppConfig& c = app_config;
  EXPECT_EQ(c.sio_port, 4);
  EXPECT_EQ(c.bit_rate, 115200);
  EXPECT_EQ(c.bit_len, 7);
  EXPECT_EQ(c.stop_len, 2);
  EXPECT_STREQ(c.parity, "even");
  EXPECT_STREQ(c.flow_ctl, "rtscts");
  EXPECT_STREQ(c.bpn_text, "ABCDEFGHIJKLM");
  EXPECT_STREQ(c.mid_text, "XYZ");
  EXPECT_STREQ(c.bsn_text, "123456789");
  EXPECT_STREQ(c.fid_text, "F00001");
  EXPECT_EQ(c.rty_tmr, 100);
  EXPECT_STREQ(c.cfg_folder, "/opt/buc/cfg/");
  EXPECT_STREQ(c.cmd_log_folder, "/var/log/buc/");
  EXPECT_EQ(c.logfile_max, 30);
  EXPECT_EQ(c.logline_max, 20000);
}

TEST(ConfigRead, OverlongTextsAreCutToTheirCapacity) {
  TempFolder dir;
  std::string folder(400, 'f');
  dir.write("buc_setup.ini",
            "[section1]\r\n"
            "bpn=ABCDEFGHIJKLMNOPQRST\r\n"  // 20 characters
            "MID=123456\r\n"
            "bsn=0123456789ABCDEF\r\n"
            "fid=0123456789\r\n"
            "parity=0123456789ABC\r\n"
            "flow_ctl=0123456789ABC\r\n"
            "cfg_folder=" + folder + "\r\n"
            "cmd_log_folder=" + folder + "\r\n");
  ScopedCurrentFolder here(dir.path());
  ASSERT_EQ(read_config(), 0u);
  const AppConfig& c = app_config;
  EXPECT_STREQ(c.bpn_text, "ABCDEFGHIJKLMN");
  EXPECT_STREQ(c.mid_text, "123");
  EXPECT_STREQ(c.bsn_text, "0123456789");
  EXPECT_STREQ(c.fid_text, "0123456");
  EXPECT_STREQ(c.parity, "012345678");
  EXPECT_STREQ(c.flow_ctl, "012345678");
  EXPECT_EQ(std::string(c.cfg_folder), std::string(259, 'f'));
  EXPECT_EQ(std::string(c.cmd_log_folder), std::string(259, 'f'));
}

TEST(ConfigRead, GarbageAndAMissingSectionGiveDefaultsOrWhatWindowsReads) {
  TempFolder dir;
  dir.write("buc_setup.ini",
            "\xEF\xBB\xBF"
            "garbage without section\n"
            "\x01\x02\xff\xfe[[[\n"
            "[other]\n"
            "sio_port=9\n"
            "[SECTION1]\n"
            "Sio_Port=  4 \n"
            "bit_rate=fast\n"
            "bit_len=8bits\n"
            "logfile_max=-3\n"
            "logline_max=\n"
            "MID\n"
            "bpn=\n");
  ScopedCurrentFolder here(dir.path());
  ASSERT_EQ(read_config(), 0u);
  const AppConfig& c = app_config;
  EXPECT_EQ(c.sio_port, 4) << "names without case, the other section's key ignored";
  EXPECT_EQ(c.bit_rate, 0) << "a text without leading digits reads as 0";
  EXPECT_EQ(c.bit_len, 8);
  EXPECT_EQ(c.logfile_max, -3);
  EXPECT_EQ(c.logline_max, 1000) << "an empty number is the default";
  EXPECT_STREQ(c.mid_text, "000") << "a key without '=' is the default";
  EXPECT_STREQ(c.bpn_text, "") << "an empty text stays empty";
  EXPECT_EQ(c.rty_tmr, 2500);
}

TEST(ConfigRead, OnlyTheSectionSection1Counts) {
  TempFolder dir;
  dir.write("buc_setup.ini", "[section2]\nsio_port=4\nbpn=X\n");
  ScopedCurrentFolder here(dir.path());
  EXPECT_EQ(read_config(), 0u);
  expect_defaults(app_config);
}

TEST(ConfigRead, TheFileIsLookedForInTheCurrentFolderOnly) {
  TempFolder dir;
  dir.write("buc_setup.ini", "[section1]\nsio_port=4\n");
  ASSERT_TRUE(std::filesystem::create_directory(dir.file("work")));
  ScopedCurrentFolder here(dir.file("work"));
  EXPECT_EQ(read_config(), ini_file_missing);
  EXPECT_EQ(app_config.sio_port, 1);
  EXPECT_EQ(config_path(), platform::native_path("./buc_setup.ini"));
}

}  // namespace
}  // namespace tessaril::shell
