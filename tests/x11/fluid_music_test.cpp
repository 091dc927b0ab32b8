#include "fluid_music.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "music/music_player.h"

namespace fs = std::filesystem;

namespace {

// The threads of this process now.
size_t ThreadCount() {
  size_t n = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/task")) ++n;
  return n;
}

// Polls until the condition holds or a generous limit passes; no timing is
// asserted, the limit only keeps a broken build from hanging the run.
template <typename F>
bool WaitFor(F condition) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (std::chrono::steady_clock::now() < until) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return condition();
}

// A scratch folder; the sound goes to a file in it instead of a device, so
// the music runs where there is no sound card.
class FluidMusicTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/qrv_music_XXXXXX";
    dir_ = mkdtemp(tmpl);
    setenv("QRVSAVER_AUDIO_FILE", (dir_ + "/out.wav").c_str(), 1);
    song_ = std::string(QRV_SOURCE_DIR) + "/data/QR06V2XLM/MCI/" + Module1::SongTitle(3) + ".seq";
  }
  void TearDown() override {
    unsetenv("QRVSAVER_AUDIO_FILE");
    fs::remove_all(dir_);
  }
  std::string dir_;
  std::string song_;
};

// Stopped while the sound font is still being read (a pipe that no one has
// opened for writing yet), the music lets go at once; the reading thread,
// released afterwards, fails, frees the synth on its own and ends.
TEST_F(FluidMusicTest, StopWhileTheSoundFontIsReadLeavesTheThreadToFreeIt) {
  const std::string font = dir_ + "/font.sf2";
  ASSERT_EQ(mkfifo(font.c_str(), 0600), 0);
  const size_t threads_before = ThreadCount();
  {
    FluidMusic music;
    ASSERT_TRUE(music.Start(song_, font));
    // The audio device's thread and the reading thread.
    ASSERT_TRUE(WaitFor([&] { return ThreadCount() >= threads_before + 2; }));
    music.Stop();
    EXPECT_FALSE(music.Playing());
  }
  // The reading thread is still blocked opening the pipe: open the other end
  // whenever it waits there (each of the library's font loaders tries once)
  // so that it goes on, finds no sound font and ends.
  const auto release_reader = [&] {
    const int writer = open(font.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (writer >= 0) close(writer);
  };
  EXPECT_TRUE(WaitFor([&] {
    release_reader();
    return ThreadCount() == threads_before;
  })) << ThreadCount() << " threads, " << threads_before << " before";
}

// The normal run: the sound font is read, the song plays, Stop frees it all.
TEST_F(FluidMusicTest, PlaysOnceTheSoundFontIsReadAndStops) {
  if (access(kDefaultSoundFont, R_OK) != 0) GTEST_SKIP() << "no " << kDefaultSoundFont;
  const size_t threads_before = ThreadCount();
  FluidMusic music;
  ASSERT_TRUE(music.Start(song_, kDefaultSoundFont));
  EXPECT_TRUE(WaitFor([&] { return music.Playing(); }));
  music.Stop();
  EXPECT_FALSE(music.Playing());
  EXPECT_TRUE(WaitFor([&] { return ThreadCount() == threads_before; }));
}

// Without a readable sound font or song there is no music and no thread.
TEST_F(FluidMusicTest, MissingFilesGiveSilence) {
  FluidMusic music;
  EXPECT_FALSE(music.Start(song_, dir_ + "/none.sf2"));
  EXPECT_FALSE(music.Start(dir_ + "/none.seq", kDefaultSoundFont));
  EXPECT_FALSE(music.Playing());
}

}  // namespace
