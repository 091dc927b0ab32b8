// The render threads: one render at a time in the whole program, a render
// that hangs costs only its own player its movie, and a program that ends
// while such a render runs does not tear the renderer down under it.
//
// The bad interleavings are forced with the render start hook, which holds a
// chosen player's render for as long as a test wants; no outcome here depends
// on how fast the machine is.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <initializer_list>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "movie/movie_player.h"
#include "movie_fixtures.h"

using namespace movie_fixtures;

namespace {

// Installs start hooks on the given players for one test: renders for `held`
// wait until the gate opens; every start is counted per player.
class Hook {
 public:
  Hook(MoviePlayer* held, std::initializer_list<MoviePlayer*> others) : held_(held), players_(others) {
    players_.push_back(held);
    for (MoviePlayer* p : players_) {
      p->SetRenderStartHookForTesting([this, p] {
        {
          std::lock_guard<std::mutex> lock(m_);
          ++starts_[p];
        }
        if (p == held_) gate_.Wait();
      });
    }
  }
  ~Hook() {
    gate_.Open();
    MoviePlayer::WaitForAbandonedRenders();
    for (MoviePlayer* p : players_) p->SetRenderStartHookForTesting(nullptr);
  }
  void Release() { gate_.Open(); }
  int Starts(const MoviePlayer* who) {
    std::lock_guard<std::mutex> lock(m_);
    return starts_[who];
  }

 private:
  const MoviePlayer* held_;
  std::vector<MoviePlayer*> players_;
  Gate gate_;
  std::mutex m_;
  std::map<const MoviePlayer*, int> starts_;
};

uint32_t Grey(const LayerPicture& pic) { return pic.pixels ? (pic.pixels[0] & 0xFF) : 0; }

void Prepare(MoviePlayer& p) {
  p.SetRenderTimeoutMs(kPatientMs);
  p.SetPlacement(0, 0, 10, 10);
  p.SetWMode("Transparent");
  ASSERT_TRUE(p.LoadMovieData(RampMovie()));
  p.Stop();
}

// Asks for a's picture until its render has started and been given up. A
// render that has not started within the time allowed is withdrawn instead
// (the thread may not have run yet on a busy machine): then it is asked again.
void RenderUntilGivenUp(MoviePlayer& a) {
  a.SetRenderTimeoutMs(20);
  while (a.Loaded()) EXPECT_EQ(a.Picture().pixels, nullptr);
}

}  // namespace

TEST(RenderThread, OnlyThePlayerWhoseRenderHangsLosesItsMovie) {
  MoviePlayer a, b;
  Prepare(a);
  Prepare(b);
  ASSERT_EQ(Grey(b.Picture()), 0u);  // frame 0 is black, and on screen
  const uint32_t* first = b.Picture().pixels;
  ASSERT_NE(first, nullptr);

  Hook hook(&a, {&b});
  RenderUntilGivenUp(a);
  EXPECT_EQ(hook.Starts(&a), 1);
  EXPECT_FALSE(a.Loaded());

  // A's render still holds the renderer. B's next frame cannot be drawn: it
  // is skipped at once, B keeps its movie and shows its last picture.
  b.Play();
  b.Advance(0);
  b.Advance(500);
  ASSERT_EQ(b.CurrentFrame(), 5u);
  const LayerPicture skipped = b.Picture();
  EXPECT_TRUE(b.Loaded());
  EXPECT_EQ(skipped.pixels, first);
  EXPECT_EQ(Grey(skipped), 0u);
  EXPECT_EQ(hook.Starts(&b), 0) << "the withdrawn render never ran";

  // Once A's render has ended, B draws again.
  hook.Release();
  MoviePlayer::WaitForAbandonedRenders();
  const LayerPicture drawn = b.Picture();
  ASSERT_NE(drawn.pixels, nullptr);
  EXPECT_GT(Grey(drawn), 0u);
  EXPECT_TRUE(b.Loaded());
  EXPECT_EQ(hook.Starts(&b), 1);
}

TEST(RenderThread, ARenderThatCannotStartInTimeIsWithdrawnNotGivenUp) {
  MoviePlayer slow, waiting;
  Prepare(slow);
  Prepare(waiting);
  Hook hook(&slow, {&waiting});

  // Another thread's player holds the renderer with a render that is slow,
  // not stuck: its player waits for it.
  LayerPicture slow_pic;
  std::thread other([&] { slow_pic = slow.Picture(); });
  while (hook.Starts(&slow) == 0) std::this_thread::yield();

  // This player's render cannot start before its time is up: the frame is
  // skipped, the movie stays, and the withdrawn render never runs.
  waiting.SetRenderTimeoutMs(20);
  EXPECT_EQ(waiting.Picture().pixels, nullptr);
  EXPECT_TRUE(waiting.Loaded());
  EXPECT_EQ(hook.Starts(&waiting), 0);

  hook.Release();
  other.join();
  EXPECT_NE(slow_pic.pixels, nullptr);
  EXPECT_TRUE(slow.Loaded());
  waiting.SetRenderTimeoutMs(kPatientMs);
  EXPECT_NE(waiting.Picture().pixels, nullptr);
  EXPECT_EQ(hook.Starts(&waiting), 1);
}

// The player as shipped: healthy renders are drawn, and a render that hangs is
// given up after two seconds, not much sooner or later. The held render is
// let go after a while, so a longer limit fails here instead of hanging.
TEST(RenderThread, TheShippedTimeLimitGivesUpAHungRenderAfterTwoSeconds) {
  MoviePlayer p;
  p.SetPlacement(0, 0, 10, 10);
  p.SetWMode("Transparent");
  ASSERT_TRUE(p.LoadMovieData(RampMovie()));
  p.Stop();
  ASSERT_NE(p.Picture().pixels, nullptr);

  Gate never;
  std::atomic<bool> started{false};
  p.SetRenderStartHookForTesting([&] {
    started = true;
    never.WaitFor(std::chrono::seconds(10));
  });
  p.Play();
  p.Advance(0);
  p.Advance(100);
  const auto t0 = std::chrono::steady_clock::now();
  const LayerPicture pic = p.Picture();
  const double waited = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  ASSERT_TRUE(started) << "the render did not start within the limit";
  EXPECT_EQ(pic.pixels, nullptr);
  EXPECT_FALSE(p.Loaded()) << "waited " << waited << " ms";
  EXPECT_GE(waited, 1990);
  EXPECT_LT(waited, 5000);
  never.Open();
  MoviePlayer::WaitForAbandonedRenders();
}

// Static destructors free the renderer's shared objects; a render given up
// may still be inside them. Ending the program then must skip them.
TEST(RenderThreadDeathTest, ProgramEndWhileARenderHangsRunsNoStaticDestructors) {
  EXPECT_EXIT(
      {
        struct Probe {
          ~Probe() { std::_Exit(99); }  // a static destructor ran
        };
        static Probe probe;
        MoviePlayer a;
        Prepare(a);
        Gate never;
        a.SetRenderStartHookForTesting([&never] { never.Wait(); });
        RenderUntilGivenUp(a);
        std::exit(7);
      },
      ::testing::ExitedWithCode(7), "");
}

TEST(RenderThreadDeathTest, ProgramEndAfterTheRenderEndedIsOrdinary) {
  EXPECT_EXIT(
      {
        struct Probe {
          ~Probe() { std::_Exit(42); }
        };
        static Probe probe;
        MoviePlayer a;
        Prepare(a);
        Gate gate;
        a.SetRenderStartHookForTesting([&gate] { gate.Wait(); });
        RenderUntilGivenUp(a);
        gate.Open();
        MoviePlayer::WaitForAbandonedRenders();
        std::exit(7);
      },
      ::testing::ExitedWithCode(42), "");
}
