#pragma once
// Small hand-written Lottie movies for the movie tests.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

#include "movie/compositor.h"
#include "movie/movie_player.h"

namespace movie_fixtures {

// Far more time for a render than any render here can take, so that a loaded
// machine cannot make a healthy render look stuck. Tests of the time limit
// itself set their own, or keep the shipped one.
constexpr int kPatientMs = 600000;

struct PatientPlayer : MoviePlayer {
  PatientPlayer() { SetRenderTimeoutMs(kPatientMs); }
};

inline void MakePatient(Compositor& c) {
  for (size_t i = 0; i < c.LayerCount(); ++i) c.LayerAt(i).SetRenderTimeoutMs(kPatientMs);
}

// A gate that held renders wait at until a test opens it.
class Gate {
 public:
  void Open() {
    {
      std::lock_guard<std::mutex> lock(m_);
      open_ = true;
    }
    cv_.notify_all();
  }
  void Wait() {
    std::unique_lock<std::mutex> lock(m_);
    cv_.wait(lock, [this] { return open_; });
  }
  // Waits at most that long; true when the gate opened.
  bool WaitFor(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(m_);
    return cv_.wait_for(lock, limit, [this] { return open_; });
  }

 private:
  std::mutex m_;
  std::condition_variable cv_;
  bool open_ = false;
};

// A static property value.
inline std::string Static(const std::string& k) { return "{\"a\":0,\"k\":" + k + "}"; }

// A rectangle of w x h centred on (cx, cy) with an opaque fill; color is
// "[r,g,b,a]" in 0..1 or an animated property object.
inline std::string BoxGroup(double w, double h, double cx, double cy, const std::string& color = Static("[1,1,1,1]"),
                            const std::string& opacity = "100") {
  return R"({"ty":"gr","it":[{"ty":"rc","d":1,"s":)" + Static("[" + std::to_string(w) + "," + std::to_string(h) + "]") +
         R"(,"p":)" + Static("[" + std::to_string(cx) + "," + std::to_string(cy) + "]") + R"(,"r":)" + Static("0") +
         R"(},{"ty":"fl","c":)" + color + R"(,"o":)" + Static(opacity) +
         R"(,"r":1},{"ty":"tr","p":{"a":0,"k":[0,0]},"a":{"a":0,"k":[0,0]},"s":{"a":0,"k":[100,100]},)"
         R"("r":{"a":0,"k":0},"o":{"a":0,"k":100},"sk":{"a":0,"k":0},"sa":{"a":0,"k":0}}]})";
}

inline std::string Transform() {
  return R"({"o":{"a":0,"k":100},"r":{"a":0,"k":0},"p":{"a":0,"k":[0,0,0]},"a":{"a":0,"k":[0,0,0]},"s":{"a":0,"k":[100,100,100]}})";
}

// A shape layer holding the given shape items (a JSON array's contents).
inline std::string ShapeLayer(const std::string& shapes, int op = 10, const std::string& extra = "") {
  return R"({"ddd":0,"ind":1,"ty":4,"nm":"box","sr":1,"ks":)" + Transform() + R"(,"ao":0,"shapes":[)" + shapes +
         R"(],"ip":0,"op":)" + std::to_string(op) + R"(,"st":0,"bm":0)" + extra + "}";
}

// A whole movie. header holds the top-level numbers, e.g. "\"w\":10,...".
inline std::string Doc(const std::string& header, const std::string& layers, const std::string& assets = "[]") {
  return R"({"v":"5.5.2",)" + header + R"(,"nm":"t","ddd":0,"assets":)" + assets + R"(,"layers":[)" + layers + "]}";
}

inline std::string Header(int w = 10, int h = 10, double fr = 10, double ip = 0, double op = 10) {
  return "\"w\":" + std::to_string(w) + ",\"h\":" + std::to_string(h) + ",\"fr\":" + std::to_string(fr) +
         ",\"ip\":" + std::to_string(ip) + ",\"op\":" + std::to_string(op);
}

// The fill colour grows from black at frame 0 to white at frame 9, linearly.
inline std::string RampColor(int last_frame = 9) {
  return R"({"a":1,"k":[{"t":0,"s":[0,0,0,1],"e":[1,1,1,1],"i":{"x":[1],"y":[1]},"o":{"x":[0],"y":[0]}},{"t":)" +
         std::to_string(last_frame) + R"(,"s":[1,1,1,1]}]})";
}

// A w x h movie of `frames` frames at `fps`, one opaque rectangle covering it
// all; its colour is `color` (white by default).
inline std::string BoxMovie(int w = 10, int h = 10, double fps = 10, int frames = 10,
                            const std::string& color = Static("[1,1,1,1]"), const std::string& opacity = "100") {
  return Doc(Header(w, h, fps, 0, frames), ShapeLayer(BoxGroup(w, h, w / 2.0, h / 2.0, color, opacity), frames));
}

// The 10 x 10, 10 frames, 10 fps rectangle whose grey level tells its frame.
inline std::string RampMovie() { return BoxMovie(10, 10, 10, 10, RampColor()); }

}  // namespace movie_fixtures
