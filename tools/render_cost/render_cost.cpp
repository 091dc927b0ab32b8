// render_cost: renders frames FIRST .. FIRST+COUNT-1 of a movie (.vsi / .is)
// at WxH into one reused buffer, the way the player renders a running movie,
// and prints a checksum of each frame. A fixed amount of renderer work, for
// instruction counts (valgrind's callgrind) before and after a renderer change;
// the checksums show whether the pictures changed at all.
//
//   render_cost <file> <WxH> <first> <count>
//
// Exit status: 0 done, 1 bad arguments, 2 the movie could not be read or loaded.
#include <rlottie.h>

#include "movie/lottie_validator.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

int main(int argc, char **argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: render_cost <file> <WxH> <first> <count>\n");
        return 1;
    }
    int w = 0, h = 0;
    if (std::sscanf(argv[2], "%dx%d", &w, &h) != 2 || w <= 0 || h <= 0 || w > 8192 || h > 8192) {
        std::fprintf(stderr, "render_cost: bad size '%s'\n", argv[2]);
        return 1;
    }
    const long first = std::strtol(argv[3], nullptr, 10);
    const long count = std::strtol(argv[4], nullptr, 10);
    if (first < 0 || count <= 0) {
        std::fprintf(stderr, "render_cost: bad frame range\n");
        return 1;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "render_cost: cannot read %s\n", argv[1]);
        return 2;
    }
    std::ostringstream ss;
    ss << in.rdbuf();
    std::string json = ss.str();
    LottieCheck check = ValidateLottie(json);
    if (check.ok) json = std::move(check.movie);
    auto anim = rlottie::Animation::loadFromData(json, argv[1], "", false);
    if (!anim) {
        std::fprintf(stderr, "render_cost: %s does not load\n", argv[1]);
        return 2;
    }
    const size_t total = anim->totalFrame();
    std::vector<uint32_t> buf(size_t(w) * size_t(h));
    for (long i = 0; i < count; ++i) {
        const size_t frame = size_t(first + i) % (total ? total : 1);
        std::fill(buf.begin(), buf.end(), 0u);
        rlottie::Surface surface(buf.data(), size_t(w), size_t(h), size_t(w) * 4);
        anim->renderSync(frame, surface, true);
        uint64_t sum = 1469598103934665603ull;
        for (uint32_t p : buf) sum = (sum ^ p) * 1099511628211ull;
        std::printf("frame %zu %016llx\n", frame, (unsigned long long)sum);
    }
    return 0;
}
