#pragma once
// Checks an untrusted Lottie movie before the renderer sees it. The movie is
// first rewritten into the form the renderer reads (see lottie_prepass.h);
// the renderer recurses over the file's structure and trusts its numbers, so
// anything in that form it could choke on (deep nesting, huge counts, absurd
// frame clocks, images read from disk) is refused here, without recursion and
// in bounded memory.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lottie_limits {
constexpr size_t kMaxBytes = 4u * 1024u * 1024u;
constexpr int kMaxDepth = 64;          // nested JSON objects and arrays
constexpr int kMaxSide = 4096;         // composition width and height
constexpr double kMaxFrameRate = 120;  // frames per second, above 0
// op - ip: a longer movie plays its first million frames (over two hours
// at 120 frames per second).
constexpr double kMaxFrames = 1e6;
constexpr double kMaxFrameNumber = 1e6;  // |ip|, |op|: keeps them well inside 32 bits
constexpr int kMaxLayers = 1000;       // layer objects in the file
constexpr int kMaxLayerInstances = 10000;  // layers once precomps are expanded
constexpr int kMaxAssets = 100;
constexpr int kMaxGroupNesting = 16;   // shape groups inside shape groups
constexpr double kMaxRepeaterCopies = 1000;  // instances made by all repeaters
constexpr uint64_t kMaxImagePixels = uint64_t{4096} * 4096;  // each image, and all together
}  // namespace lottie_limits

struct LottieCheck {
  bool ok = false;
  // Empty when ok; otherwise in plain words, led by the JSON path of what is
  // wrong when there is one: "layers[3].ks.o.k[2].o.x: a number out of range".
  std::string reason;
  std::string movie;  // when ok: the text to hand the renderer
  std::vector<std::string> unsupported;  // features used that will not show
};

LottieCheck ValidateLottie(const std::string& bytes);
