// File helpers and the music player against the real file system and the
// real MCI under Wine.
#include "shared/files.h"

#include <windows.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "music/music_player.h"
#include "music/win_music_host.h"
#include "settings/numeric.h"

namespace {

bool WriteFileBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(f);
  return ok && written == bytes.size();
}

// A folder with a blank in its name under the temporary folder; removed with
// everything that the test put in it.
class TempFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    const DWORD n = GetTempPathA(MAX_PATH, temp);
    ASSERT_GT(n, 0u);
    root_ = std::string(temp, n) + "qrv music " + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryA(root_.c_str(), nullptr)) << root_;
    folders_.push_back(root_);
  }
  void TearDown() override {
    for (auto it = files_.rbegin(); it != files_.rend(); ++it) DeleteFileA(it->c_str());
    for (auto it = folders_.rbegin(); it != folders_.rend(); ++it) RemoveDirectoryA(it->c_str());
  }
  std::string AddFile(const std::string& path, const std::vector<unsigned char>& bytes = {'x'}) {
    EXPECT_TRUE(WriteFileBytes(path, bytes)) << path;
    files_.push_back(path);
    return path;
  }
  std::string AddFolder(const std::string& path) {
    EXPECT_TRUE(CreateDirectoryA(path.c_str(), nullptr)) << path;
    folders_.push_back(path);
    return path;
  }
  std::string root_;
  std::vector<std::string> files_, folders_;
};

TEST_F(TempFolder, FileExistsForFilesAndFoldersOnly) {
  const std::string file = AddFile(root_ + "\\a rather long song file name.mp3");
  const std::string folder = AddFolder(root_ + "\\sub folder");
  const struct { std::string path; bool exists; } cases[] = {
      {file, true},
      {folder, true},
      {folder + "\\", true},
      {root_ + "\\missing file.mp3", false},
      {root_ + "\\no such folder\\x.mp3", false},
      {"", false},
      {"\"" + file + "\"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(Module1::FileExists(c.path), c.exists) << '"' << c.path << '"';
}

TEST_F(TempFolder, ShortPathOfAnExistingFileHasNoBlanks) {
  const std::string file = AddFile(root_ + "\\A never ending dream.seq");
  const std::string short_path = Module1::GetShortPath(file);
  ASSERT_FALSE(short_path.empty());
  EXPECT_EQ(short_path.find(' '), std::string::npos) << short_path;
  EXPECT_LT(short_path.size(), file.size());
  EXPECT_TRUE(Module1::FileExists(short_path)) << short_path;

  EXPECT_EQ(Module1::GetShortPath(root_ + "\\missing song.seq"), "");
  EXPECT_EQ(Module1::GetShortPath(""), "");
}

TEST_F(TempFolder, ShortPathThatDoesNotFitIsEmpty) {
  // Folders with names that are already short, so the short form is as long
  // as the path itself: 258 characters, more than the 255-character buffer.
  std::string folder = Module1::GetShortPath(root_);
  ASSERT_FALSE(folder.empty());
  while (folder.size() + 9 <= 245) folder = AddFolder(folder + "\\ABCDEFGH");
  folder = AddFolder(folder + "\\" + std::string(245 - folder.size() - 1, 'Q'));
  const std::string file = AddFile(folder + "\\ABCDEFGH.TXT");
  ASSERT_EQ(file.size(), 258u);
  ASSERT_TRUE(Module1::FileExists(file));

  char big[MAX_PATH + 1];
  ASSERT_EQ(GetShortPathNameA(file.c_str(), big, sizeof big), 258u) << "the short form should be the path itself";
  EXPECT_EQ(Module1::GetShortPath(file), "");
}

TEST(Files, ProgramFolderHoldsTheRunningProgram) {
  char module[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, module, MAX_PATH);
  ASSERT_GT(n, 0u);
  const std::string path(module, n);
  const std::string folder = Module1::ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_NE(folder.back(), '\\');
  EXPECT_EQ(path.rfind(folder + "\\", 0), 0u) << path;
  EXPECT_EQ(path.find('\\', folder.size() + 1), std::string::npos) << path;
}

// A format-0 Standard MIDI File: one track, one half-second note.
std::vector<unsigned char> TinySong() {
  return {
      'M', 'T', 'h', 'd', 0, 0, 0, 6,  // header, 6 bytes:
      0, 0, 0, 1, 0, 0x60,             // format 0, one track, 96 ticks per quarter note
      'M', 'T', 'r', 'k', 0, 0, 0, 22,  // track, 22 bytes:
      0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,  // tempo: 500000 us per quarter note
      0x00, 0xC0, 0x00,                          // program: piano
      0x00, 0x90, 0x3C, 0x40,                    // note on, middle C
      0x60, 0x80, 0x3C, 0x40,                    // a quarter note later: note off
      0x00, 0xFF, 0x2F, 0x00,                    // end of track
  };
}

TEST_F(TempFolder, MusicCommandsReachTheRealDeviceAndReturn) {
  // A playable song, and a file that the sequencer cannot open: its status
  // reply then holds no number.
  const struct { const char* name; std::vector<unsigned char> bytes; bool playable; } cases[] = {
      {"Seven days and one week.seq", TinySong(), true},
      {"Not a song at all.seq", std::vector<unsigned char>(64, 'z'), false},
  };
  for (const auto& c : cases) {
    std::vector<unsigned> timer;
    int pumps = 0;
    WinMusicHost host([&](unsigned ms) { timer.push_back(ms); }, [&] { ++pumps; });
    Module1::MusicPlayer player(host);

    const std::string song = AddFile(root_ + "\\" + c.name, c.bytes);
    const std::string p = host.GetShortPath(song);
    ASSERT_TRUE(host.FileExists(p)) << p;
    ASSERT_EQ(p.find(' '), std::string::npos) << p;

    const DWORD start = GetTickCount();
    player.OpenSequence(p);
    char mode[64] = {};
    const bool opened = mciSendStringA("status QrvMid mode", mode, sizeof mode, nullptr) == 0;
    const double length = Val(player.SongLength);
    EXPECT_TRUE(std::isfinite(length) && length >= 0) << c.name << ": \"" << player.SongLength << '"';
    EXPECT_EQ(player.SongLength[0], ' ') << c.name;
    if (opened) {
      EXPECT_GT(length, 0) << c.name << ": an open sequence has a length";
    }
    if (!c.playable) {
      EXPECT_FALSE(opened) << c.name;
      EXPECT_EQ(player.SongLength, " 0") << c.name;
    }

    player.PlaySequence();  // without a MIDI output this fails, silently
    EXPECT_TRUE(player.MusicPlaying);
    player.PollSequence();
    EXPECT_TRUE(std::isfinite(Val(player.MciReply, Module1::kMciReplySize)));
    player.StopMusic();  // no user's song: "stop " and "close " go out as they are
    const DWORD elapsed = GetTickCount() - start;

    EXPECT_FALSE(player.MusicPlaying);
    EXPECT_EQ(timer, std::vector<unsigned>{0});
    EXPECT_EQ(pumps, 1);
    EXPECT_LT(elapsed, 10000u) << c.name << ": the MCI commands must not block";
    EXPECT_NE(mciSendStringA("status QrvMid mode", mode, sizeof mode, nullptr), 0u) << "the alias is closed";
    std::printf("%s: sequencer %s, length \"%s\", %lu ms\n", c.name, opened ? "opened" : "refused",
                player.SongLength.c_str(), static_cast<unsigned long>(elapsed));
  }
}

TEST(WinMusicHost, RndStaysBelowOneAndVaries) {
  WinMusicHost host(nullptr, nullptr);
  float lowest = 1, highest = 0;
  for (int i = 0; i < 2000; ++i) {
    if (i % 100 == 0) host.Randomize();
    const float r = host.Rnd();
    ASSERT_GE(r, 0.0f);
    ASSERT_LT(r, 1.0f);
    lowest = std::min(lowest, r);
    highest = std::max(highest, r);
  }
  EXPECT_LT(lowest, 0.1f);
  EXPECT_GT(highest, 0.9f);
  host.SetPollTimer(600);  // empty callbacks do nothing
  host.DoEvents();
}

}  // namespace
