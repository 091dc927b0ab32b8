// vsi2png: render one frame (or every frame) of a movie file to PNG.
//
//   vsi2png <file.vsi|.is> info
//   vsi2png <file.vsi|.is> <frame|all> <WxH> <out.png> [--bg RRGGBB|none]
//
// The movie is fitted into WxH keeping its proportions, as the player's
// "ShowAll" placement does. Transparent areas are composited over a grey
// checkerboard unless --bg gives a colour; "--bg none" keeps the alpha channel
// and writes an RGBA PNG. "all" writes one file per frame, numbered before the
// extension: out.png -> out-0000.png, out-0001.png, ...
//
// Exit status: 0 done, 1 bad arguments or output not written, 2 the movie
// could not be read or loaded.

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include <rlottie.h>

#include "movie/lottie_validator.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kExitUsage = 1;
constexpr int kExitLoad = 2;
constexpr long kMaxSide = 8192;

void Usage()
{
    std::fprintf(stderr,
                 "usage: vsi2png <file.vsi|.is> info\n"
                 "       vsi2png <file.vsi|.is> <frame|all> <WxH> <out.png> [--bg RRGGBB|none]\n");
}

// Parses a whole decimal number in [lo, hi]; false on anything else.
bool ParseLong(const std::string &s, long lo, long hi, long &out)
{
    if (s.empty() || s.size() > 9) return false;
    long v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v < lo || v > hi) return false;
    out = v;
    return true;
}

bool ParseSize(const std::string &s, long &w, long &h)
{
    const auto x = s.find_first_of("xX");
    if (x == std::string::npos) return false;
    return ParseLong(s.substr(0, x), 1, kMaxSide, w) &&
           ParseLong(s.substr(x + 1), 1, kMaxSide, h);
}

bool ParseColour(const std::string &s, uint32_t &rgb)
{
    if (s.size() != 6) return false;
    uint32_t v = 0;
    for (char c : s) {
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else return false;
        v = (v << 4) | uint32_t(d);
    }
    rgb = v;
    return true;
}

bool ReadFile(const std::string &path, std::string &out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream ss;
    ss << in.rdbuf();
    if (in.bad()) return false;
    out = ss.str();
    return true;
}

// out.png -> out-0007.png; a name without an extension just gets the suffix.
std::string NumberedName(const std::string &base, size_t frame)
{
    char num[32];
    std::snprintf(num, sizeof num, "-%04zu", frame);
    const auto slash = base.find_last_of("/\\");
    const auto dot = base.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return base + num;
    return base.substr(0, dot) + num + base.substr(dot);
}

struct Background {
    enum class Kind { Checker, Colour, None } kind = Kind::Checker;
    uint32_t rgb = 0;

    uint32_t At(long x, long y) const
    {
        if (kind == Kind::Colour) return rgb;
        // 16-pixel tiles in two dark greys: light enough to see dark shadows
        // against, dark enough that neon colours stay readable.
        return (((x >> 4) + (y >> 4)) & 1) ? 0x2a2a2au : 0x484848u;
    }
};

// rlottie renders premultiplied ARGB32 (0xAARRGGBB in a native uint32_t).
// Produces RGB over the background, or straight-alpha RGBA for Kind::None.
std::vector<unsigned char> ToPixels(const std::vector<uint32_t> &argb, long w, long h,
                                    const Background &bg, int &channels)
{
    channels = bg.kind == Background::Kind::None ? 4 : 3;
    std::vector<unsigned char> out(size_t(w) * size_t(h) * size_t(channels));
    size_t o = 0;
    for (long y = 0; y < h; ++y) {
        for (long x = 0; x < w; ++x) {
            const uint32_t p = argb[size_t(y) * size_t(w) + size_t(x)];
            const uint32_t a = p >> 24;
            uint32_t c[3] = {(p >> 16) & 0xff, (p >> 8) & 0xff, p & 0xff};
            for (auto &v : c) {
                // Un-premultiply; a premultiplied channel above alpha is a
                // rounding artefact and clamps to full intensity.
                v = a ? (v * 255 + a / 2) / a : 0;
                if (v > 255) v = 255;
            }
            if (channels == 4) {
                out[o++] = (unsigned char)c[0];
                out[o++] = (unsigned char)c[1];
                out[o++] = (unsigned char)c[2];
                out[o++] = (unsigned char)a;
                continue;
            }
            const uint32_t b = bg.At(x, y);
            const uint32_t bc[3] = {(b >> 16) & 0xff, (b >> 8) & 0xff, b & 0xff};
            for (int i = 0; i < 3; ++i)
                out[o++] = (unsigned char)((c[i] * a + bc[i] * (255 - a) + 127) / 255);
        }
    }
    return out;
}

bool RenderOne(rlottie::Animation &anim, size_t frame, long w, long h, const Background &bg,
               const std::string &outPath)
{
    std::vector<uint32_t> buf(size_t(w) * size_t(h), 0u);
    rlottie::Surface surface(buf.data(), size_t(w), size_t(h), size_t(w) * 4);
    anim.renderSync(frame, surface, true);
    int channels = 0;
    const auto px = ToPixels(buf, w, h, bg, channels);
    if (!stbi_write_png(outPath.c_str(), int(w), int(h), channels, px.data(), int(w) * channels)) {
        std::fprintf(stderr, "vsi2png: cannot write %s\n", outPath.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        Usage();
        return kExitUsage;
    }
    const std::string path = argv[1];
    const std::string what = argv[2];
    const bool info = what == "info";
    if (info ? argc != 3 : (argc != 5 && argc != 7)) {
        Usage();
        return kExitUsage;
    }

    long w = 0, h = 0;
    Background bg;
    if (!info) {
        if (!ParseSize(argv[3], w, h)) {
            std::fprintf(stderr, "vsi2png: bad size '%s' (want WxH, 1..%ld each)\n", argv[3], kMaxSide);
            return kExitUsage;
        }
        if (argc == 7) {
            const std::string opt = argv[5], val = argv[6];
            if (opt != "--bg") {
                Usage();
                return kExitUsage;
            }
            if (val == "none") {
                bg.kind = Background::Kind::None;
            } else if (ParseColour(val, bg.rgb)) {
                bg.kind = Background::Kind::Colour;
            } else {
                std::fprintf(stderr, "vsi2png: bad colour '%s' (want RRGGBB or none)\n", val.c_str());
                return kExitUsage;
            }
        }
    }

    std::string json;
    if (!ReadFile(path, json)) {
        std::fprintf(stderr, "vsi2png: cannot read %s: %s\n", path.c_str(), std::strerror(errno));
        return kExitLoad;
    }
    // The player's pre-pass first (text drawn from its glyphs, numbers the
    // renderer's parser refuses made readable), so the pictures match it.
    {
        LottieCheck check = ValidateLottie(json);
        if (check.ok) json = std::move(check.movie);
    }
    // No cache and no resource folder: every run parses afresh, and nothing
    // outside the file itself is ever read.
    auto anim = rlottie::Animation::loadFromData(std::move(json), path, "", false);
    if (!anim) {
        std::fprintf(stderr, "vsi2png: %s: not a movie that can be loaded\n", path.c_str());
        return kExitLoad;
    }

    const size_t total = anim->totalFrame();
    if (info) {
        size_t mw = 0, mh = 0;
        anim->size(mw, mh);
        // Duration as a looping player sees it: every frame shown for 1/fr.
        // (rlottie's own duration() counts one frame fewer.)
        const double fr = anim->frameRate();
        const double seconds = fr > 0 ? double(total) / fr : 0.0;
        std::printf("width: %zu\nheight: %zu\nframe rate: %g\ntotal frames: %zu\nduration: %g s\n",
                    mw, mh, fr, total, seconds);
        return 0;
    }
    if (total == 0) {
        std::fprintf(stderr, "vsi2png: %s: the movie has no frames\n", path.c_str());
        return kExitLoad;
    }

    const std::string out = argv[4];
    if (what == "all") {
        for (size_t f = 0; f < total; ++f)
            if (!RenderOne(*anim, f, w, h, bg, NumberedName(out, f))) return kExitUsage;
        std::printf("%zu frames written\n", total);
        return 0;
    }
    long frame = 0;
    if (!ParseLong(what, 0, long(total) - 1, frame)) {
        std::fprintf(stderr, "vsi2png: bad frame '%s' (want 0..%zu or all)\n", what.c_str(), total - 1);
        return kExitUsage;
    }
    return RenderOne(*anim, size_t(frame), w, h, bg, out) ? 0 : kExitUsage;
}
