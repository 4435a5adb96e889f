// The traffic of a session as its command dialog's view and its command log
// show it: real files in a temporary folder, the headless control store for
// the two traffic list boxes, and a replaced clock.
#include "status/command_log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "link/session.h"
#include "platform/files.h"
#include "shell/control_ids.h"
#include "shell/session_view.h"
#include "support/temp_folder.h"
#include "ui/headless/headless_backend.h"

namespace tessaril::status {
namespace {

using link::TrafficDirection;
using link::TrafficForm;
using platform::LocalTime;
using shell::IDC_HEX_LIST;
using shell::IDC_TEXT_LIST;
using test::TempFolder;

// The clock the log reads. Set only while no writer thread runs.
LocalTime fake_now;
LocalTime fake_clock() { return fake_now; }

void set_clock(int year, int month, int day, int hour, int minute, int second, int ms) {
  fake_now = LocalTime{year, month, day, hour, minute, second, ms};
}

// One frame of command 0x01, sequence number 1, no data.
const std::vector<uint8_t> empty_frame = {0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0xA9, 0x78, 0xC0};

const platform::ControlSpec log_controls[] = {
    {IDC_HEX_LIST, platform::ControlKind::ListBox, "", 0, 0, 100, 100,
     platform::LBS_SORT | platform::LBS_NOTIFY | platform::LBS_NOINTEGRALHEIGHT, true, false},
    {IDC_TEXT_LIST, platform::ControlKind::ListBox, "", 0, 100, 100, 100,
     platform::LBS_SORT | platform::LBS_NOTIFY | platform::LBS_NOINTEGRALHEIGHT, true, false},
};
const platform::DialogTemplate log_dialog{103, "log", 0, 0, 200, 200, log_controls, 2};

std::vector<std::string> file_lines(const std::string& path) {
  std::string all = TempFolder::read(path);
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < all.size()) {
    size_t end = all.find('\n', start);
    if (end == std::string::npos) {
      lines.push_back(all.substr(start) + "<no line end>");
      break;
    }
    size_t line_end = end;
#ifdef _WIN32
    // Windows writes its text files with CR LF.
    if (line_end > start && all[line_end - 1] == '\r') --line_end;
#endif
    lines.push_back(all.substr(start, line_end - start));
    start = end + 1;
  }
  return lines;
}

bool exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

std::vector<std::string> list_lines(platform::DialogHandle dialog, int id) {
  std::vector<std::string> lines;
  for (int i = 0; i < platform::list_count(dialog, id); ++i) lines.push_back(platform::list_item(dialog, id, i));
  return lines;
}

// The settings as the port dialog hands them over; every change starts the
// log afresh, as a new start of the program would.
LogSettings test_settings;
link::Session* session = nullptr;
void set_log_folder(const std::string& folder) {
  test_settings.folder = folder;
  session->log.configure(test_settings);
}
void set_file_max(int32_t n) {
  test_settings.file_max = n;
  session->log.configure(test_settings);
}
void set_line_max(int32_t n) {
  test_settings.line_max = n;
  session->log.configure(test_settings);
}
void log_send_hex(const uint8_t* bytes, size_t n) { session->report_traffic(TrafficDirection::Sent, TrafficForm::Hex, bytes, n); }
void log_send_text(const uint8_t* bytes, size_t n) {
  session->report_traffic(TrafficDirection::Sent, TrafficForm::DataField, bytes, n);
}
void log_recv_hex(const uint8_t* bytes, size_t n) {
  session->report_traffic(TrafficDirection::Received, TrafficForm::Hex, bytes, n);
}
void log_recv_text(const uint8_t* bytes, size_t n) {
  session->report_traffic(TrafficDirection::Received, TrafficForm::DataField, bytes, n);
}

class StatusCommandLog : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::install_headless_backend();
    dialog = ui::create_test_dialog(log_dialog);
    own_session = std::make_unique<link::Session>();
    session = own_session.get();
    view = std::make_unique<shell::CommandDialogView>(*session);
    session->subscribe(view.get());
    view->attach(dialog);
    logs = dir.path() + "/logs/";
    test_settings = LogSettings{};
    set_log_folder(logs);
    set_clock(2026, 12, 6, 14, 3, 27, 51);
    platform::set_local_time_source(fake_clock);
  }
  void TearDown() override {
    platform::set_local_time_source(nullptr);
    ui::destroy_test_dialog(dialog);
    session = nullptr;
  }

  // Writes one line through the hex builder, the clock advanced by one ms
  // first so that the lines sort in the order written.
  void write_line(const std::string& text) { session->report_note(text); }

  std::unique_ptr<link::Session> own_session;
  std::unique_ptr<shell::CommandDialogView> view;
  TempFolder dir;
  std::string logs;
  platform::DialogHandle dialog = platform::NO_DIALOG;
};

TEST(StatusLogLines, BuildersGiveTheLinesOfEachKind) {
  EXPECT_EQ(hex_line("Snd:", empty_frame.data(), empty_frame.size()), "Snd: 01 00 00 01 00 00 A9 78 C0");
  EXPECT_EQ(stamped_line(LocalTime{2026, 12, 6, 14, 3, 27, 51}, "Snd: 01"), "14:03:27.051 Snd: 01");
  EXPECT_EQ(stamped_line(LocalTime{2026, 12, 6, 0, 0, 0, 0}, ""), "00:00:00.000 ");
  EXPECT_EQ(hex_line("Rcv:", nullptr, 5), "Rcv:");
  EXPECT_EQ(hex_line("Rcv:", empty_frame.data(), 0), "Rcv:");

  // The data field runs from byte 6 to the fourth byte from the end.
  std::vector<uint8_t> hello = {0x05, 0x00, 0x00, 0x02, 0x00, 0x05, 'H', 'e', 'l', 'l', 'o', 0x12, 0x34, 0xC0};
  EXPECT_EQ(data_field_line("Snd:", hello.data(), hello.size(), 9), "Snd:Hello");
  EXPECT_EQ(data_field_line("Snd:", empty_frame.data(), empty_frame.size(), 9), "Snd:") << "data_len 0";
  std::vector<uint8_t> zero = {0x05, 0x00, 0x00, 0x02, 0x00, 0x04, 'A', 'B', 0x00, 'C', 0x12, 0x34, 0xC0};
  EXPECT_EQ(data_field_line("Snd:", zero.data(), zero.size(), 9), "Snd:AB") << "a zero byte ends the text";
  EXPECT_EQ(data_field_line("Snd:", hello.data(), 8, 9), "Snd:");
  std::vector<uint8_t> one = {0x81, 0x01, 0x00, 0x01, 0x00, 0x01, 'Z', 0x12, 0x34, 0xC0};
  EXPECT_EQ(data_field_line("Rcv:", one.data(), 9, 10), "Rcv:") << "an answer shorter than 10 bytes";
  EXPECT_EQ(data_field_line("Rcv:", one.data(), 10, 10), "Rcv:Z");
  EXPECT_EQ(data_field_line("Rcv:", nullptr, 10, 10), "Rcv:");

  EXPECT_EQ(date_number(LocalTime{2026, 12, 6, 23, 59, 59, 999}), 20261206);
  EXPECT_EQ(log_file_path("C:\\buc_sim\\cmd_log\\", 20261206),
            platform::native_path("C:/buc_sim/cmd_log/Clog20261206.txt"));
}

TEST_F(StatusCommandLog, EachBuilderFillsItsListBoxAndTheDaysFile) {
  std::vector<uint8_t> answer = {0x01, 0x01, 0x00, 0x01, 0x00, 0x01, 'K', 0x5A, 0x3C, 0xC0};
  log_send_hex(empty_frame.data(), empty_frame.size());
  log_send_text(empty_frame.data(), empty_frame.size());
  log_recv_hex(answer.data(), answer.size());
  log_recv_text(answer.data(), answer.size());

  EXPECT_EQ(list_lines(dialog, IDC_HEX_LIST),
            (std::vector<std::string>{"14:03:27.051 Rcv: 01 01 00 01 00 01 4B 5A 3C C0",
                                      "14:03:27.051 Snd: 01 00 00 01 00 00 A9 78 C0"}))
      << "a sorted box places Rcv before Snd of the same millisecond";
  EXPECT_EQ(list_lines(dialog, IDC_TEXT_LIST),
            (std::vector<std::string>{"14:03:27.051 Rcv:K", "14:03:27.051 Snd:"}));

  EXPECT_EQ(session->log.path(), platform::native_path(logs + "Clog20261206.txt"));
  EXPECT_EQ(session->log.date(), 20261206);
  EXPECT_EQ(file_lines(session->log.path()), (std::vector<std::string>{"14:03:27.051 Snd: 01 00 00 01 00 00 A9 78 C0",
                                                            "14:03:27.051 Snd:",
                                                            "14:03:27.051 Rcv: 01 01 00 01 00 01 4B 5A 3C C0",
                                                            "14:03:27.051 Rcv:K"}));
}

TEST_F(StatusCommandLog, LinesEitherSideOfMidnightLandInTwoFiles) {
  set_clock(2026, 12, 6, 23, 59, 59, 999);
  write_line("Snd: late");
  set_clock(2026, 12, 7, 0, 0, 0, 0);
  write_line("Snd: early");
  EXPECT_EQ(file_lines(logs + "Clog20261206.txt"), std::vector<std::string>{"23:59:59.999 Snd: late"});
  EXPECT_EQ(file_lines(logs + "Clog20261207.txt"), std::vector<std::string>{"00:00:00.000 Snd: early"});
  // New lines sort above the previous day's.
  EXPECT_EQ(platform::list_item(dialog, IDC_HEX_LIST, 0), "00:00:00.000 Snd: early");
}

TEST_F(StatusCommandLog, FirstLineCreatesTheFolderAndTodaysFileEvenOnTheStartDate) {
  logs = dir.path() + "/deep/er/cmd_log/";
  set_log_folder(logs);
  set_clock(2012, 1, 1, 9, 0, 0, 0);  // the start value of session->log.date()
  write_line("Snd: first");
  EXPECT_EQ(file_lines(logs + "Clog20120101.txt"), std::vector<std::string>{"09:00:00.000 Snd: first"});
}

TEST_F(StatusCommandLog, TheLongestFrameIsWrittenWhole) {
  std::vector<uint8_t> frame(599);
  for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint8_t>(i * 7);
  log_send_hex(frame.data(), frame.size());
  std::string expected = "14:03:27.051 Snd:";
  char hex[4];
  for (uint8_t b : frame) {
    std::snprintf(hex, sizeof hex, " %02X", b);
    expected += hex;
  }
  EXPECT_EQ(file_lines(logs + "Clog20261206.txt"), std::vector<std::string>{expected});
  EXPECT_EQ(platform::list_item(dialog, IDC_HEX_LIST, 0), expected);
  EXPECT_EQ(expected.size(), 13u + 4u + 599u * 3u);
}

TEST_F(StatusCommandLog, RotationDropsTheOldestDateWhateverTheDirectoryOrder) {
  ASSERT_TRUE(platform::make_folders(logs));
  // Seven daily files, the oldest created neither first nor last, plus files
  // the rotation must not count.
  for (const char* date : {"20261203", "20261205", "20261130", "20261204", "20261201", "20261202", "20261129"})
    dir.write(std::string("logs/Clog") + date + ".txt", "old\n");
  dir.write("logs/Clog2026113.txt", "short name\n");
  dir.write("logs/notes.txt", "mine\n");

  write_line("Snd: a new day");
  std::vector<std::string> left = platform::find_files(logs, "Clog????????.txt");
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"Clog20261130.txt", "Clog20261201.txt", "Clog20261202.txt",
                                            "Clog20261203.txt", "Clog20261204.txt", "Clog20261205.txt",
                                            "Clog20261206.txt"}));
  EXPECT_TRUE(exists(logs + "notes.txt"));
  EXPECT_TRUE(exists(logs + "Clog2026113.txt"));

  write_line("Snd: same day");
  EXPECT_EQ(platform::find_files(logs, "Clog????????.txt").size(), 7u) << "nothing more goes on the same day";
}

TEST_F(StatusCommandLog, OneFileGoesPerLineAndTodaysFileNeverGoes) {
  set_file_max(0);  // taken as 1
  ASSERT_TRUE(platform::make_folders(logs));
  dir.write("logs/Clog20991231.txt", "from a clock set wrong\n");
  dir.write("logs/Clog20261205.txt", "yesterday\n");
  dir.write("logs/Clog20261204.txt", "the day before\n");

  write_line("Snd: 1");
  EXPECT_FALSE(exists(logs + "Clog20261204.txt"));
  EXPECT_TRUE(exists(logs + "Clog20261205.txt")) << "at most one file per line";
  write_line("Snd: 2");
  EXPECT_FALSE(exists(logs + "Clog20261205.txt"));
  write_line("Snd: 3");
  EXPECT_FALSE(exists(logs + "Clog20991231.txt")) << "today's file is older than this one, yet it stays";
  write_line("Snd: 4");
  EXPECT_EQ(platform::find_files(logs, "Clog????????.txt"), std::vector<std::string>{"Clog20261206.txt"});
  EXPECT_EQ(file_lines(logs + "Clog20261206.txt").size(), 4u);
}

TEST_F(StatusCommandLog, ListBoxKeepsLoglineMaxMinusOneLines) {
  set_line_max(1000);
  for (int i = 0; i < 1005; ++i) {
    set_clock(2026, 12, 6, 10, i / 60000, (i / 1000) % 60, i % 1000);
    write_line("Snd: " + std::to_string(i));
  }
  EXPECT_EQ(platform::list_count(dialog, IDC_HEX_LIST), 999);
  EXPECT_EQ(platform::list_item(dialog, IDC_HEX_LIST, 0), "10:00:00.006 Snd: 6") << "the oldest lines went";
  EXPECT_EQ(platform::list_item(dialog, IDC_HEX_LIST, 998), "10:00:01.004 Snd: 1004");
  EXPECT_EQ(file_lines(logs + "Clog20261206.txt").size(), 1005u) << "the box's bound is not the file's";
}

TEST_F(StatusCommandLog, ListBoxNeverHoldsMoreThan9999Lines) {
  set_line_max(20000);
  // No file for speed: the folder lies below a plain file and cannot be made.
  dir.write("plain", "");
  set_log_folder(dir.path() + "/plain/logs/");
  for (int i = 0; i < 10003; ++i) {
    set_clock(2026, 12, 6, 10, i / 60000, (i / 1000) % 60, i % 1000);
    write_line("Rcv: " + std::to_string(i));
  }
  EXPECT_EQ(platform::list_count(dialog, IDC_HEX_LIST), 9999);
  EXPECT_EQ(platform::list_item(dialog, IDC_HEX_LIST, 0), "10:00:00.004 Rcv: 4");
}

TEST_F(StatusCommandLog, LoglineMaxOfOneOrLessKeepsOneLine) {
  for (int32_t max : {1, 0, -7}) {
    set_line_max(max);
    for (int i = 0; i < 3; ++i) {
      set_clock(2026, 12, 6, 11, 0, max + 10, i);
      write_line("Snd: " + std::to_string(i));
      EXPECT_EQ(list_lines(dialog, IDC_HEX_LIST),
                std::vector<std::string>{stamped_line(fake_now, "Snd: " + std::to_string(i))})
          << "logline_max " << max;
    }
  }
}

TEST_F(StatusCommandLog, AfterMidnightAFullBoxDropsTheNewDaysTopLine) {
  set_line_max(5);  // four lines
  for (int i = 0; i < 4; ++i) {
    set_clock(2026, 12, 6, 23, 59, 50 + i, 0);
    write_line("Snd: old " + std::to_string(i));
  }
  set_clock(2026, 12, 7, 0, 0, 0, 0);
  write_line("Snd: new 0");
  EXPECT_EQ(list_lines(dialog, IDC_HEX_LIST),
            (std::vector<std::string>{"00:00:00.000 Snd: new 0", "23:59:51.000 Snd: old 1", "23:59:52.000 Snd: old 2",
                                      "23:59:53.000 Snd: old 3"}));
  set_clock(2026, 12, 7, 0, 0, 0, 1);
  write_line("Snd: new 1");
  EXPECT_EQ(list_lines(dialog, IDC_HEX_LIST),
            (std::vector<std::string>{"00:00:00.001 Snd: new 1", "23:59:51.000 Snd: old 1", "23:59:52.000 Snd: old 2",
                                      "23:59:53.000 Snd: old 3"}))
      << "item 0 is now the new day's line and it is the one deleted";
}

TEST_F(StatusCommandLog, AFolderThatCannotBeMadeLosesNothingFromTheListBox) {
  dir.write("plain", "not a folder");
  set_log_folder(dir.path() + "/plain/cmd_log/");
  for (int i = 0; i < 5; ++i) {
    set_clock(2026, 12, 6 + i, 12, 0, 0, 0);
    log_send_hex(empty_frame.data(), empty_frame.size());
    log_recv_text(empty_frame.data(), empty_frame.size());
  }
  EXPECT_EQ(platform::list_count(dialog, IDC_HEX_LIST), 5);
  EXPECT_EQ(platform::list_count(dialog, IDC_TEXT_LIST), 5);
  EXPECT_EQ(TempFolder::read(dir.file("plain")), "not a folder");
  // The lock is given back after a failed append: the next line gets it.
  set_log_folder(logs);
  write_line("Snd: after");
  EXPECT_EQ(file_lines(logs + "Clog20261210.txt").size(), 1u);
}

TEST_F(StatusCommandLog, FolderWithBackslashesOrWithoutFinalSeparator) {
  set_log_folder(dir.path() + "\\win\\style\\");
  write_line("Snd: back");
  EXPECT_EQ(file_lines(dir.path() + "/win/style/Clog20261206.txt"), std::vector<std::string>{"14:03:27.051 Snd: back"});

  // The folder value is a prefix of the names, as the file's users know it.
  set_log_folder(dir.path() + "/bare");
  session->log.configure(test_settings);
  write_line("Snd: prefix");
  EXPECT_EQ(file_lines(dir.path() + "/bareClog20261206.txt"), std::vector<std::string>{"14:03:27.051 Snd: prefix"});
}

TEST_F(StatusCommandLog, FolderPathsLongerThanEightyCharacters) {
  std::string deep = dir.path();
#ifdef _WIN32
  const size_t length = 180;  // the ANSI file calls of Windows end at 260 characters
#else
  const size_t length = 230;
#endif
  while (deep.size() < length) deep += "/a_rather_long_folder_name";
  logs = deep + "/";
  set_log_folder(logs);
  ASSERT_EQ(session->log.settings().folder, logs);
  ASSERT_TRUE(platform::make_folders(logs));
  for (int d = 1; d <= 8; ++d) dir.write(logs.substr(dir.path().size() + 1) + "Clog202611" + (d < 10 ? "0" : "") + std::to_string(d) + ".txt", "x\n");

  write_line("Snd: deep");
  EXPECT_EQ(session->log.path(), platform::native_path(logs + "Clog20261206.txt"));
  EXPECT_EQ(file_lines(session->log.path()), std::vector<std::string>{"14:03:27.051 Snd: deep"});
  EXPECT_FALSE(exists(logs + "Clog20261101.txt"));
  EXPECT_TRUE(exists(logs + "Clog20261102.txt"));
}

TEST_F(StatusCommandLog, TwoThreadsWritingAtOnceNeverMixTheirLines) {
  constexpr int per_thread = 300;
  std::vector<uint8_t> big(200, 0xAB);
  std::vector<uint8_t> other(200, 0x5C);
  auto writer = [this](const std::vector<uint8_t>* bytes, bool send) {
    for (int i = 0; i < per_thread; ++i) {
      if (send) log_send_hex(bytes->data(), bytes->size());
      else log_recv_hex(bytes->data(), bytes->size());
    }
  };
  std::thread a(writer, &big, true);
  std::thread b(writer, &other, false);
  a.join();
  b.join();
  const std::string snd = stamped_line(fake_now, hex_line("Snd:", big.data(), big.size()));
  const std::string rcv = stamped_line(fake_now, hex_line("Rcv:", other.data(), other.size()));
  std::vector<std::string> lines = file_lines(logs + "Clog20261206.txt");
  ASSERT_EQ(lines.size(), 2u * per_thread);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), snd), per_thread);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), rcv), per_thread);
  EXPECT_EQ(platform::list_count(dialog, IDC_HEX_LIST), 2 * per_thread);
}

}  // namespace
}  // namespace tessaril::status
