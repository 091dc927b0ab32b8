#include "movie/lottie_validator.h"

#include "movie/lottie_prepass.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <unordered_set>
#include <vector>

#include "rapidjson/error/en.h"
#include "rapidjson/memorystream.h"
#include "rapidjson/reader.h"

// Only the header reader is needed (PNG and JPEG, the formats the renderer
// decodes); the copy stays private to this file so it cannot clash with the
// renderer's own.
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#endif
#include "stb/stb_image.h"
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace {

using namespace lottie_limits;

// Any number beyond this is refused: the renderer converts many values to
// 32-bit integers and fixed point, where huge values overflow.
constexpr double kMaxMagnitude = 1e7;

// The renderer's base64 alphabet: standard and URL-safe; anything else reads
// as zero rather than being skipped, so the bytes here match the bytes the
// renderer will hand to its image decoder.
int Base64Value(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+' || c == '-') return 62;
  if (c == '/' || c == '_') return 63;
  return 0;
}

std::string DecodeBase64(const char* text, size_t length) {
  while (length > 0 && text[length - 1] == '=') --length;
  std::string out;
  out.reserve(length / 4 * 3 + 2);
  uint32_t bits = 0;
  int count = 0;
  for (size_t i = 0; i < length; ++i) {
    bits = (bits << 6) | static_cast<uint32_t>(Base64Value(static_cast<unsigned char>(text[i])));
    if (++count == 4) {
      out.push_back(static_cast<char>((bits >> 16) & 0xFF));
      out.push_back(static_cast<char>((bits >> 8) & 0xFF));
      out.push_back(static_cast<char>(bits & 0xFF));
      bits = 0;
      count = 0;
    }
  }
  if (count == 2) {
    out.push_back(static_cast<char>((bits >> 4) & 0xFF));
  } else if (count == 3) {
    out.push_back(static_cast<char>((bits >> 10) & 0xFF));
    out.push_back(static_cast<char>((bits >> 2) & 0xFF));
  }
  return out;
}

// What the containers on the path from the root mean to the renderer.
enum class Role { Root, RootLayers, Assets, Asset, AssetLayers, Layer, Other };

struct Frame {
  bool is_object = false;
  size_t next = 0, index = 0;  // an array's element count so far, and the current element
  Role role = Role::Other;
  // For an object, the key whose value comes next; for an array, the key it
  // sits under (inherited through nested arrays).
  std::string key;
  std::unordered_set<std::string> keys;  // an object's keys so far
  int owner = -1;  // layers: index of the asset holding them, -1 for the root

  std::string ty;  // "ty" when it is a string (shape items)
  bool ty_is_int = false;
  int64_t ty_int = 0;  // "ty" when it is an integer (layers)

  int group_height = 0;  // longest chain of shape groups inside

  // Repeaters: instances made inside, the product of the copies of the
  // repeaters directly in this list, and the copy count found under "c".
  double instances = 0;
  double repeat_product = 1;
  bool has_repeater = false;
  double count_max = 0;  // largest value under a "k", "s" or "e" key inside
  double c_max = 0;

  // Assets.
  std::string id;
  bool has_id = false;
  bool has_p = false, p_is_data = false, image_ok = false;
  uint64_t image_pixels = 0;
  std::string u, p;  // an image's folder and file name
  bool embedded = false;
  bool has_layers = false;

  // Layers.
  std::string ref_id;
  bool has_ref = false;
};

struct LayerFact {
  int owner;
  bool precomp;
  bool image;
  bool has_ref;
  std::string ref_id;
};

struct AssetFact {
  bool has_id = false;
  std::string id;
  bool precomp = false;
  bool image = false;
  std::vector<int> layers;
};

class Scanner : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, Scanner> {
 public:
  bool failed() const { return !reason_.empty(); }
  const std::string& reason() const { return reason_; }

  // Where the scan stands, as a JSON path: layers[3].ks.o.k[2].o.x
  std::string Path() const {
    std::string p;
    for (const Frame& f : stack_) {
      if (f.is_object) {
        if (!p.empty()) p += '.';
        p += f.key;
      } else {
        p += '[' + std::to_string(f.index) + ']';
      }
    }
    return p;
  }

  bool Null() { return Scalar(); }
  bool Bool(bool) { return Scalar(); }
  bool Int(int v) { return Number(v, true); }
  bool Uint(unsigned v) { return Number(v, v <= 0x7FFFFFFFu); }
  bool Int64(int64_t v) { return Number(static_cast<double>(v), false); }
  bool Uint64(uint64_t v) { return Number(static_cast<double>(v), false); }
  bool Double(double v) { return Number(v, false); }

  bool String(const char* s, rapidjson::SizeType n, bool) {
    if (stack_.empty()) return Fail("the file is not a JSON object");
    Element();
    Frame& f = stack_.back();
    if (f.role == Role::Root && IsRootNumberKey(f.key)) return Fail("\"" + f.key + "\" is not a number");
    if (f.is_object) {
      const std::string& k = f.key;
      if (k == "ty") {
        f.ty.assign(s, n);
        f.ty_is_int = false;
      } else if (f.role == Role::Layer && k == "refId") {
        f.ref_id.assign(s, n);
        f.has_ref = true;
      } else if (f.role == Role::Asset) {
        if (k == "id") {
          f.id.assign(s, n);
          f.has_id = true;
        } else if (k == "u") {
          f.u.assign(s, n);
        } else if (k == "p") {
          f.has_p = true;
          f.p.assign(s, std::min<size_t>(n, 100));
          f.p_is_data = n >= 5 && std::memcmp(s, "data:", 5) == 0;
          f.image_ok = false;
          if (f.p_is_data) ReadImageHeader(f, s, n);
        }
      }
    }
    return true;
  }

  // A repeated key is refused: the renderer keeps the last value but leaks
  // what it made for the earlier ones.
  bool Key(const char* s, rapidjson::SizeType n, bool) {
    Frame& f = stack_.back();
    f.key.assign(s, n);
    if (!f.keys.insert(f.key).second) return Fail("an object repeats the key \"" + f.key + "\"");
    return true;
  }

  bool StartObject() { return Open(true); }
  bool StartArray() { return Open(false); }
  bool EndObject(rapidjson::SizeType) { return Close(); }
  bool EndArray(rapidjson::SizeType) { return Close(); }

  // Whole-file checks once the scan has succeeded.
  bool Finish() {
    if (!seen_root_) return Fail("the file is not a JSON object");
    for (const char* k : {"w", "h", "fr", "ip", "op"}) {
      if (!root_seen_.count(k)) return Fail(std::string("\"") + k + "\" is missing");
    }
    if (!root_has_layers_) return Fail("\"layers\" is missing");
    const double frames = std::trunc(op_) - std::trunc(ip_);
    if (!(frames >= 1)) return Fail("the movie has no frames (op <= ip)");
    if (frames > kMaxFrames) return Fail("more than a million frames");
    return CheckLayerInstances();
  }

 private:
  static bool IsRootNumberKey(const std::string& k) {
    return k == "w" || k == "h" || k == "fr" || k == "ip" || k == "op";
  }

  bool Fail(const std::string& why) {
    if (reason_.empty()) {
      const std::string path = Path();
      reason_ = path.empty() ? why : path + ": " + why;
    }
    return false;
  }

  // A value starts: inside an array it is the next element.
  void Element() {
    Frame& f = stack_.back();
    if (!f.is_object) f.index = f.next++;
  }

  bool Scalar() {
    if (stack_.empty()) return Fail("the file is not a JSON object");
    Element();
    const Frame& f = stack_.back();
    if (f.role == Role::Root && IsRootNumberKey(f.key)) return Fail("\"" + f.key + "\" is not a number");
    return true;
  }

  bool Number(double v, bool is_int32) {
    if (stack_.empty()) return Fail("the file is not a JSON object");
    Element();
    if (!std::isfinite(v) || std::fabs(v) > kMaxMagnitude) return Fail("a number out of range");
    Frame& f = stack_.back();
    const std::string& k = f.key;
    if (k == "k" || k == "s" || k == "e") f.count_max = std::max(f.count_max, std::fabs(v));
    if (!f.is_object) return true;
    if (k == "c") f.c_max = std::max(f.c_max, std::fabs(v));
    if (f.role == Role::Root) return RootNumber(k, v, is_int32);
    if (k == "ty") {
      f.ty_is_int = is_int32;
      f.ty_int = static_cast<int64_t>(v);
      f.ty.clear();
    } else if (f.role == Role::Asset) {
      if (k == "id" && is_int32) {
        f.id = std::to_string(static_cast<int64_t>(v));
        f.has_id = true;
      } else if (k == "id") {
        f.id.clear();
        f.has_id = true;
      } else if (k == "e") {
        f.embedded = is_int32 && v != 0;
      }
    }
    return true;
  }

  bool RootNumber(const std::string& k, double v, bool is_int32) {
    if (k == "w" || k == "h") {
      if (!is_int32) return Fail("\"" + k + "\" is not a whole number");
      if (v < 1 || v > kMaxSide) return Fail("\"" + k + "\" is outside 1 to 4096");
    } else if (k == "fr") {
      if (!(v > 0) || v > kMaxFrameRate) return Fail("frame rate outside (0, 120]");
    } else if (k == "ip" || k == "op") {
      if (std::fabs(v) > kMaxFrameNumber) return Fail("\"" + k + "\" is out of range");
      (k == "ip" ? ip_ : op_) = v;
    } else {
      return true;
    }
    root_seen_.insert(k);
    return true;
  }

  bool Open(bool is_object) {
    if (static_cast<int>(stack_.size()) >= kMaxDepth) return Fail("nested deeper than 64 levels");
    Frame child;
    child.is_object = is_object;
    if (stack_.empty()) {
      if (!is_object) return Fail("the file is not a JSON object");
      seen_root_ = true;
      child.role = Role::Root;
      stack_.push_back(std::move(child));
      return true;
    }
    Element();
    Frame& parent = stack_.back();
    if (parent.role == Role::Root && IsRootNumberKey(parent.key)) {
      return Fail("\"" + parent.key + "\" is not a number");
    }
    if (!is_object) child.key = parent.key;
    if (parent.is_object && !is_object) {
      if (parent.role == Role::Root && parent.key == "layers") {
        child.role = Role::RootLayers;
        child.owner = -1;
        root_has_layers_ = true;
      } else if (parent.role == Role::Root && parent.key == "assets") {
        child.role = Role::Assets;
      } else if (parent.role == Role::Asset && parent.key == "layers") {
        child.role = Role::AssetLayers;
        child.owner = static_cast<int>(assets_.size()) - 1;
        parent.has_layers = true;
      }
    } else if (!parent.is_object && is_object) {
      if (parent.role == Role::RootLayers || parent.role == Role::AssetLayers) {
        if (++layer_count_ > kMaxLayers) return Fail("more than 1000 layers");
        child.role = Role::Layer;
        child.owner = parent.owner;
      } else if (parent.role == Role::Assets) {
        if (static_cast<int>(assets_.size()) >= kMaxAssets) return Fail("more than 100 assets");
        child.role = Role::Asset;
        assets_.emplace_back();
      }
    }
    stack_.push_back(std::move(child));
    return true;
  }

  bool Close() {
    Frame f = std::move(stack_.back());
    stack_.pop_back();

    const int height = f.group_height + ((f.is_object && f.ty == "gr") ? 1 : 0);
    if (height > kMaxGroupNesting) return Fail("shape groups nested deeper than 16");

    if (f.role == Role::Asset && !CloseAsset(f)) return false;
    if (f.role == Role::Layer) {
      layers_.push_back({f.owner, f.ty_is_int && f.ty_int == 0, f.ty_is_int && f.ty_int == 2, f.has_ref, f.ref_id});
    }
    if (stack_.empty()) return true;

    Frame& parent = stack_.back();
    parent.group_height = std::max(parent.group_height, height);
    parent.count_max = std::max(parent.count_max, f.count_max);
    if (parent.is_object && parent.key == "c") parent.c_max = std::max(parent.c_max, f.count_max);

    if (f.is_object && f.ty == "rp") {
      if (f.c_max > kMaxRepeaterCopies) return Fail("too many repeater copies");
      parent.has_repeater = true;
      parent.repeat_product = std::min(parent.repeat_product * std::floor(f.c_max), 1e12);
      return true;
    }
    const double made =
        f.has_repeater ? f.repeat_product * std::max(1.0, f.instances) : f.instances;
    if (made > kMaxRepeaterCopies) return Fail("too many repeater copies");
    parent.instances = std::min(parent.instances + made, 1e12);
    return true;
  }

  bool CloseAsset(const Frame& f) {
    if (!f.u.empty()) {
      return Fail("an image asset names a folder (\"" + f.u + "\"); a movie must carry its images inside");
    }
    if (f.has_p) {
      if (!f.p_is_data || !f.embedded) {
        return Fail("an image asset names a file (\"" + f.u + f.p + "\"); a movie must carry its images inside");
      }
      if (!f.image_ok) return Fail("an embedded image is not a readable PNG or JPEG");
      if (f.image_pixels > kMaxImagePixels) return Fail("an embedded image is larger than 4096x4096 pixels");
      image_pixels_ += f.image_pixels;
      if (image_pixels_ > kMaxImagePixels) return Fail("embedded images larger than 4096x4096 pixels together");
    }
    AssetFact& a = assets_.back();
    a.has_id = f.has_id;
    a.id = f.id;
    // The renderer treats an asset with a "p" as an image, whatever else it holds.
    a.precomp = f.has_layers && !f.has_p;
    a.image = f.has_p;
    return true;
  }

  void ReadImageHeader(Frame& f, const char* s, size_t n) {
    const char* comma = static_cast<const char*>(std::memchr(s, ',', n));
    if (!comma) return;
    const std::string bytes = DecodeBase64(comma + 1, n - static_cast<size_t>(comma + 1 - s));
    int w = 0, h = 0, comp = 0;
    if (bytes.empty() || bytes.size() > 0x7FFFFFFF) return;
    if (!stbi_info_from_memory(reinterpret_cast<const stbi_uc*>(bytes.data()), static_cast<int>(bytes.size()),
                               &w, &h, &comp)) {
      return;
    }
    if (w <= 0 || h <= 0) return;
    f.image_ok = true;
    f.image_pixels = static_cast<uint64_t>(w) * static_cast<uint64_t>(h);
  }

  // Precomp layers show their asset's layers again, so the renderer builds
  // one item per layer per use. Count those, and refuse reference cycles.
  bool CheckLayerInstances() {
    for (size_t i = 0; i < assets_.size(); ++i) assets_[i].layers.clear();
    std::vector<int> root_layers;
    for (size_t i = 0; i < layers_.size(); ++i) {
      if (layers_[i].owner < 0) {
        root_layers.push_back(static_cast<int>(i));
      } else {
        assets_[static_cast<size_t>(layers_[i].owner)].layers.push_back(static_cast<int>(i));
      }
    }
    // Later assets with the same id replace earlier ones, as in the renderer.
    std::map<std::string, int> by_id;
    for (size_t i = 0; i < assets_.size(); ++i) {
      if (assets_[i].has_id) by_id[assets_[i].id] = static_cast<int>(i);
    }
    // An image layer must show an image: the renderer's tree of drawn items
    // dereferences the image of every image layer.
    for (const LayerFact& l : layers_) {
      if (!l.image) continue;
      auto it = l.has_ref ? by_id.find(l.ref_id) : by_id.end();
      if (it == by_id.end() || !assets_[static_cast<size_t>(it->second)].image) {
        return Fail("an image layer names no image");
      }
    }
    auto target = [&](const LayerFact& l) -> int {
      if (!l.precomp || !l.has_ref) return -1;
      auto it = by_id.find(l.ref_id);
      if (it == by_id.end() || !assets_[static_cast<size_t>(it->second)].precomp) return -1;
      return it->second;
    };

    // Depth-first over assets with an explicit stack; count[a] is the
    // expanded layer count of asset a.
    const size_t n = assets_.size();
    std::vector<int> state(n, 0);  // 0 new, 1 on the path, 2 done
    std::vector<double> count(n, 0);
    for (size_t start = 0; start < n; ++start) {
      if (state[start] != 0) continue;
      std::vector<std::pair<int, size_t>> path{{static_cast<int>(start), 0}};
      state[start] = 1;
      while (!path.empty()) {
        auto& [a, next] = path.back();
        const auto& list = assets_[static_cast<size_t>(a)].layers;
        if (next < list.size()) {
          const int t = target(layers_[static_cast<size_t>(list[next++])]);
          if (t < 0 || state[static_cast<size_t>(t)] == 2) continue;
          if (state[static_cast<size_t>(t)] == 1) return Fail("precomps refer to each other in a cycle");
          state[static_cast<size_t>(t)] = 1;
          path.push_back({t, 0});
          continue;
        }
        double total = 0;
        for (int li : list) {
          const int t = target(layers_[static_cast<size_t>(li)]);
          total += 1 + (t >= 0 ? count[static_cast<size_t>(t)] : 0);
        }
        count[static_cast<size_t>(a)] = std::min(total, 1e12);
        state[static_cast<size_t>(a)] = 2;
        path.pop_back();
      }
    }
    double total = 0;
    for (int li : root_layers) {
      const int t = target(layers_[static_cast<size_t>(li)]);
      total += 1 + (t >= 0 ? count[static_cast<size_t>(t)] : 0);
    }
    for (size_t a = 0; a < n; ++a) {
      if (count[a] > kMaxLayerInstances) return Fail("precomps expand to more than 10000 layers");
    }
    if (total > kMaxLayerInstances) return Fail("precomps expand to more than 10000 layers");
    return true;
  }

  std::vector<Frame> stack_;
  std::string reason_;
  bool seen_root_ = false;
  bool root_has_layers_ = false;
  std::set<std::string> root_seen_;
  double ip_ = 0, op_ = 0;
  int layer_count_ = 0;
  uint64_t image_pixels_ = 0;
  std::vector<AssetFact> assets_;
  std::vector<LayerFact> layers_;
};

}  // namespace

namespace {

LottieCheck Scan(const std::string& bytes) {
  LottieCheck result;
  if (bytes.empty()) {
    result.reason = "the file is empty";
    return result;
  }
  if (bytes.size() > kMaxBytes) {
    result.reason = "the file is larger than 4 MiB";
    return result;
  }
  // The renderer reads up to the first NUL byte; JSON text never holds one.
  if (std::memchr(bytes.data(), '\0', bytes.size()) != nullptr) {
    result.reason = "the file holds a NUL byte";
    return result;
  }
  Scanner scanner;
  rapidjson::MemoryStream stream(bytes.data(), bytes.size());
  rapidjson::Reader reader;
  const rapidjson::ParseResult parsed = reader.Parse<rapidjson::kParseIterativeFlag>(stream, scanner);
  if (scanner.failed()) {
    result.reason = scanner.reason();
    return result;
  }
  if (parsed.IsError()) {
    result.reason = std::string("not valid JSON: ") + rapidjson::GetParseError_En(parsed.Code()) + " at byte " +
                    std::to_string(parsed.Offset());
    return result;
  }
  if (!scanner.Finish()) {
    result.reason = scanner.reason();
    return result;
  }
  result.ok = true;
  return result;
}

}  // namespace

LottieCheck ValidateLottie(const std::string& bytes) {
  if (bytes.empty() || bytes.size() > kMaxBytes || std::memchr(bytes.data(), '\0', bytes.size()) != nullptr) {
    return Scan(bytes);
  }
  PreparedLottie prepared = PrepareLottie(bytes);
  LottieCheck result = Scan(prepared.text);
  if (!result.ok) return result;
  result.movie = std::move(prepared.text);
  result.unsupported = std::move(prepared.unsupported);
  return result;
}
