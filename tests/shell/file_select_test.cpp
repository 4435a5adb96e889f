// Choosing the transfer file: what the groups show, what becomes the transfer
// file, and the file the Kermit send will open, on real files in a temporary
// working folder. The open-file dialog is answered by the headless back end.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include "command_dialog_fixture.h"
#include "shell/file_select.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "support/temp_folder.h"

namespace tessaril::commands::test {
namespace {

using tessaril::test::ScopedCurrentFolder;
using tessaril::test::TempFolder;

class CommandsFileSelect : public CommandDialogTest {
 protected:
  void choose(const std::optional<std::string>& path, int button) {
    ui::push_open_file_answer(path);
    ASSERT_TRUE(on_file_select(dialog, S(), button));
  }
  TempFolder work;
  ScopedCurrentFolder in_work{work.path()};
};

TEST_F(CommandsFileSelect, ChosenCalibrationFileIsShownAndBuiltIntoSetCalibrationFile) {
  const std::string path = work.write("cal_data.xml", std::string(12345, 'x'));
  choose(path, IDC_SELECT_CAL_FILE);
  EXPECT_EQ(text(IDC_CAL_FILE_NAME), "CAL_DATA.XML");
  EXPECT_EQ(text(IDC_CAL_FILE_SIZE), "12345");
  const TransferFile f = S().tx_file.get();
  EXPECT_STREQ(f.name, "CAL_DATA.XML");
  EXPECT_EQ(f.size, 12345);
  EXPECT_EQ(f.path, path);
  build(4151);
  EXPECT_EQ(data_field(editor_frame()), with_nul("CAL_DATA.XML,12345"));
}

TEST_F(CommandsFileSelect, CancelOrAMissingFileChangesNothingAndSaysNothing) {
  const std::string path = work.write("image.pgm", "abc");
  choose(path, IDC_SELECT_UPGRADE_FILE);
  const size_t boxes = ui::message_boxes().size();

  choose(std::nullopt, IDC_SELECT_UPGRADE_FILE);
  choose(work.file("gone.pgm"), IDC_SELECT_UPGRADE_FILE);
  choose(work.path(), IDC_SELECT_UPGRADE_FILE);  // a folder is no file to send
  EXPECT_EQ(text(IDC_UPGRADE_FILE_NAME), "IMAGE.PGM");
  EXPECT_EQ(text(IDC_UPGRADE_FILE_SIZE), "3");
  EXPECT_STREQ(S().tx_file.get().name, "IMAGE.PGM");
  EXPECT_EQ(S().tx_file.get().path, path);
  EXPECT_EQ(ui::message_boxes().size(), boxes);
}

TEST_F(CommandsFileSelect, ANameThatDoesNotFitIsRefusedWithAMessage) {
  const std::string fits(TX_FILE_NAME_CAPACITY - 1, 'a');
  const std::string too_long(TX_FILE_NAME_CAPACITY, 'b');
  choose(work.write(fits, "1"), IDC_SELECT_TRANSFER_FILE);
  EXPECT_EQ(text(IDC_TRANSFER_FILE_NAME), std::string(TX_FILE_NAME_CAPACITY - 1, 'A'));
  const size_t boxes = ui::message_boxes().size();

  choose(work.write(too_long, "22"), IDC_SELECT_TRANSFER_FILE);
  const auto shown = ui::message_boxes();
  ASSERT_EQ(shown.size(), boxes + 1);
  EXPECT_NE(shown.back().text.find(std::string(TX_FILE_NAME_CAPACITY, 'B')), std::string::npos);
  EXPECT_NE(shown.back().text.find("too long"), std::string::npos);
  // Neither cut nor half taken: the earlier choice stands everywhere.
  EXPECT_EQ(text(IDC_TRANSFER_FILE_NAME), std::string(TX_FILE_NAME_CAPACITY - 1, 'A'));
  EXPECT_EQ(text(IDC_TRANSFER_FILE_SIZE), "1");
  EXPECT_EQ(std::string(S().tx_file.get().name), std::string(TX_FILE_NAME_CAPACITY - 1, 'A'));
  EXPECT_EQ(S().tx_file.get().size, 1);
}

TEST_F(CommandsFileSelect, AFileLargerThanTheSizeFieldIsRefusedWithAMessage) {
  struct Row {
    int64_t size;
    bool taken;
  } rows[] = {
      {TRANSFER_SIZE_MAX, true},
      {TRANSFER_SIZE_MAX + 1, false},              // would be announced as a negative size
      {(int64_t{4} << 30) + 100, false},           // would be announced as 100 bytes
  };
  choose(work.write("small.pgm", "12"), IDC_SELECT_UPGRADE_FILE);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.size);
    const std::string path = work.file("big.pgm");
    std::filesystem::resize_file(work.write("big.pgm", ""), static_cast<uintmax_t>(row.size));  // sparse
    const size_t boxes = ui::message_boxes().size();
    choose(path, IDC_SELECT_UPGRADE_FILE);
    const TransferFile f = S().tx_file.get();
    if (row.taken) {
      EXPECT_EQ(ui::message_boxes().size(), boxes);
      EXPECT_EQ(f.size, row.size);
      EXPECT_EQ(text(IDC_UPGRADE_FILE_SIZE), std::to_string(row.size));
      continue;
    }
    ASSERT_EQ(ui::message_boxes().size(), boxes + 1);
    const std::string said = ui::message_boxes().back().text;
    EXPECT_NE(said.find(std::to_string(row.size) + " bytes"), std::string::npos) << said;
    EXPECT_NE(said.find(std::to_string(TRANSFER_SIZE_MAX)), std::string::npos) << said;
    EXPECT_EQ(text(IDC_UPGRADE_FILE_NAME), "BIG.PGM") << "the choice before stands";
    EXPECT_EQ(f.size, TRANSFER_SIZE_MAX);
  }
}

TEST_F(CommandsFileSelect, UpcaseNameAlsoChangesTheSignsBetween60And7F) {
  choose(work.write("a~b.pgm", "12"), IDC_SELECT_UPGRADE_FILE);
  EXPECT_EQ(text(IDC_UPGRADE_FILE_NAME), "A^B.PGM");
}

TEST_F(CommandsFileSelect, TheLatestSelectionInAnyGroupIsTheTransferFile) {
  choose(work.write("cal.gz", "1234"), IDC_SELECT_CAL_FILE);
  choose(work.write("new.pgm", "123456"), IDC_SELECT_UPGRADE_FILE);
  EXPECT_EQ(text(IDC_CAL_FILE_NAME), "CAL.GZ");
  EXPECT_EQ(text(IDC_UPGRADE_FILE_NAME), "NEW.PGM");
  EXPECT_STREQ(S().tx_file.get().name, "NEW.PGM");
  EXPECT_EQ(S().tx_file.get().size, 6);
  EXPECT_EQ(text(IDC_TRANSFER_FILE_NAME), "*");
}

TEST_F(CommandsFileSelect, TheSendOpensTheChosenFileNotAnOlderOneOfTheSameName) {
  work.write("IMAGE.PGM", "old image");
  TempFolder elsewhere;
  const std::string chosen = elsewhere.write("Image.pgm", "the new image");
  choose(chosen, IDC_SELECT_UPGRADE_FILE);
  EXPECT_STREQ(S().tx_file.get().name, "IMAGE.PGM");
  EXPECT_EQ(S().tx_file.get().size, 13);
  EXPECT_EQ(S().tx_file.open_path(), chosen);
  EXPECT_EQ(TempFolder::read(S().tx_file.open_path()), "the new image");
}

TEST_F(CommandsFileSelect, ARelativeChoiceIsKeptAsAFullPath) {
  work.write("rel.pgm", "12");
  choose(std::string("rel.pgm"), IDC_SELECT_UPGRADE_FILE);
  const std::string path = S().tx_file.get().path;
  EXPECT_EQ(platform::base_name(path), "rel.pgm");
#ifdef _WIN32
  EXPECT_EQ(path.substr(1, 2), ":\\") << path;
#else
  EXPECT_TRUE(platform::is_path_separator(path[0])) << path;
#endif
  EXPECT_EQ(platform::file_size(path), 2);
}

TEST_F(CommandsFileSelect, AReportedNameIsFoundInTheWorkingFolderWhateverItsCase) {
  choose(work.write("first.pgm", "1"), IDC_SELECT_UPGRADE_FILE);
  S().tx_file.set_reported_name("FIRST.PGM");  // the same name: the chosen path stands
  EXPECT_EQ(S().tx_file.open_path(), work.file("first.pgm"));
  work.write("Mixed_Case.Bin", "m");
  S().tx_file.set_reported_name("MIXED_CASE.BIN");
  EXPECT_EQ(S().tx_file.open_path(), "Mixed_Case.Bin");
  S().tx_file.set_reported_name("NOWHERE.BIN");
  EXPECT_EQ(S().tx_file.open_path(), "");
}

TEST_F(CommandsFileSelect, SetTransferFileNameStaysInItsRoom) {
  const std::string reported(100, 'R');
  S().tx_file.set_reported_name(reported.c_str());
  EXPECT_EQ(std::string(S().tx_file.get().name), std::string(TX_FILE_NAME_CAPACITY - 1, 'R'));
  S().tx_file.set_reported_name(nullptr);
  EXPECT_STREQ(S().tx_file.get().name, "");
}

TEST_F(CommandsFileSelect, FiltersOfferOneKindOfFile) {
  using std::string_literals::operator""s;
  const auto filter = [](FileKind k, CalibrationVariant v) { return open_file_filter(k, v); };
  const std::string xml = filter(FileKind::CalibrationData, CalibrationVariant::Xml);
  const std::string gz = filter(FileKind::CalibrationData, CalibrationVariant::Gz);
  EXPECT_EQ(xml, platform::utf8_to_cp932("キャリブレーションデータ(*.XML)") + "\0*.XML\0\0"s);
  EXPECT_EQ(gz, platform::utf8_to_cp932("キャリブレーションデータ(*.GZ)") + "\0*.GZ\0\0"s);
  EXPECT_EQ(filter(FileKind::ProgramUpdate, CalibrationVariant::None),
            platform::utf8_to_cp932("プログラムアップデータ(*.PGM)") + "\0*.PGM\0\0"s);
  const std::string undefined = platform::utf8_to_cp932("未定義データ(*.xxx)") + "\0*.*\0\0"s;
  EXPECT_EQ(filter(FileKind::UndefinedData, CalibrationVariant::Xml), undefined);
  EXPECT_EQ(filter(FileKind::CalibrationData, CalibrationVariant::None), undefined);
  EXPECT_EQ(open_file_title(FileKind::CalibrationData, CalibrationVariant::None),
            platform::utf8_to_cp932("キャリブレーションデータファイル選択"));
}

// The headless back end with an open-file dialog that notes what it was asked.
struct AskedDialog {
  platform::DialogHandle owner = -1;
  std::string filter;
  std::string title;
};
AskedDialog asked;
bool noting_open_file(platform::DialogHandle owner, std::string_view filter, std::string_view title,
                      std::string& path) {
  asked.owner = owner;
  asked.filter = std::string(filter);
  asked.title = std::string(title);
  return ui::headless_backend().open_file(owner, filter, title, path);
}

TEST_F(CommandsFileSelect, EachButtonOpensTheDialogForItsKindOfFile) {
  platform::UiBackend noting = ui::headless_backend();
  noting.open_file = noting_open_file;
  platform::set_ui_backend(&noting);
  const auto pattern = [] { return std::string(asked.filter.c_str() + std::strlen(asked.filter.c_str()) + 1); };

  select_radio({IDC_CAL_XML, IDC_CAL_GZ}, IDC_CAL_XML);
  choose(std::nullopt, IDC_SELECT_CAL_FILE);
  EXPECT_EQ(pattern(), "*.XML");
  EXPECT_EQ(asked.title, platform::utf8_to_cp932("キャリブレーションデータファイル選択"));
  EXPECT_EQ(asked.owner, platform::NO_DIALOG);
  select_radio({IDC_CAL_XML, IDC_CAL_GZ}, IDC_CAL_GZ);
  choose(std::nullopt, IDC_SELECT_CAL_FILE);
  EXPECT_EQ(pattern(), "*.GZ");
  choose(std::nullopt, IDC_SELECT_UPGRADE_FILE);
  EXPECT_EQ(pattern(), "*.PGM");
  EXPECT_EQ(asked.title, platform::utf8_to_cp932("プログラムアップデータファイル選択"));
  choose(std::nullopt, IDC_SELECT_TRANSFER_FILE);
  EXPECT_EQ(pattern(), "*.*");
  EXPECT_EQ(asked.title, platform::utf8_to_cp932("未定義データファイル選択"));
  ui::install_headless_backend();
}

TEST_F(CommandsFileSelect, OtherButtonsAreNotFileSelections) {
  ui::push_open_file_answer(std::nullopt);
  EXPECT_FALSE(on_file_select(dialog, S(), 4101));
  EXPECT_FALSE(on_file_select(dialog, S(), 227));
  // The answer is still queued: no dialog was opened. Use it up.
  choose(std::nullopt, IDC_SELECT_TRANSFER_FILE);
  EXPECT_EQ(text(IDC_TRANSFER_FILE_NAME), "*");
}

}  // namespace
}  // namespace tessaril::commands::test
