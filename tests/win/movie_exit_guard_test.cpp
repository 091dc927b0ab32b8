// A program that ends while a render it gave up still runs must not run its
// static destructors: they free the renderer's shared objects under that
// render. Windows ends a program through its atexit handlers, not glibc's.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <mutex>

#include "../unit/movie_fixtures.h"

using namespace movie_fixtures;

namespace {

// Loads a small movie into p and holds its renders at the gate until the
// player gives one up.
void GiveUpARender(MoviePlayer& p, Gate& gate) {
  p.SetPlacement(0, 0, 10, 10);
  p.SetWMode("Transparent");
  ASSERT_TRUE(p.LoadMovieData(RampMovie()));
  p.SetRenderStartHookForTesting([&gate] { gate.Wait(); });
  p.SetRenderTimeoutMs(20);
  while (p.Loaded()) EXPECT_EQ(p.Picture().pixels, nullptr);
}

}  // namespace

TEST(RenderThreadDeathTest, ProgramEndWhileARenderHangsRunsNoStaticDestructors) {
  EXPECT_EXIT(
      {
        struct Probe {
          ~Probe() { std::_Exit(99); }  // a static destructor ran
        };
        static Probe probe;
        MoviePlayer p;
        Gate never;
        GiveUpARender(p, never);
        std::exit(7);
      },
      // The exit status is lost on this path: the program ends as a failure.
      ::testing::ExitedWithCode(EXIT_FAILURE), "");
}

TEST(RenderThreadDeathTest, ProgramEndAfterTheRenderEndedIsOrdinary) {
  EXPECT_EXIT(
      {
        struct Probe {
          ~Probe() { std::_Exit(42); }
        };
        static Probe probe;
        MoviePlayer p;
        Gate gate;
        GiveUpARender(p, gate);
        gate.Open();
        MoviePlayer::WaitForAbandonedRenders();
        std::exit(7);
      },
      ::testing::ExitedWithCode(42), "");
}
