#include <gtest/gtest.h>

#include <string>

#include "movie/lottie_validator.h"
#include "movie_fixtures.h"

using namespace movie_fixtures;

namespace {

std::string Nested(const char* open, const char* close, int n, const std::string& inner = "0") {
  std::string s;
  for (int i = 0; i < n; ++i) s += open;
  s += inner;
  for (int i = 0; i < n; ++i) s += close;
  return s;
}

// A movie whose root carries an extra key; everything else is the valid base.
std::string WithRootKey(const std::string& key_and_value) {
  return R"({)" + key_and_value + R"(,"v":"5.5.2",)" + Header() + R"(,"layers":[)" + ShapeLayer(BoxGroup(10, 10, 5, 5)) +
         "]}";
}

// n shape groups, each inside the one before; the innermost holds a box.
// With type_last the "ty" key comes after the items, as JSON allows.
std::string NestedGroups(int n, bool type_last = false) {
  std::string inner = BoxGroup(10, 10, 5, 5);
  for (int i = 1; i < n; ++i) {
    inner = type_last ? R"({"it":[)" + inner + R"(],"nm":"g","ty":"gr"})" : R"({"ty":"gr","it":[)" + inner + "]}";
  }
  return Doc(Header(), ShapeLayer(inner));
}

std::string Repeater(const std::string& copies) {
  return R"({"ty":"rp","c":)" + copies + R"(,"o":{"a":0,"k":0},"m":1,"tr":{"ty":"tr","p":{"a":0,"k":[1,0]},)"
         R"("a":{"a":0,"k":[0,0]},"s":{"a":0,"k":[100,100]},"r":{"a":0,"k":0},"so":{"a":0,"k":100},"eo":{"a":0,"k":100}}})";
}

// A group holding a box and a repeater of `outer` copies, inside which a
// group repeats a box `inner` times.
std::string NestedRepeaters(int outer, int inner) {
  const std::string inner_group =
      R"({"ty":"gr","it":[)" + BoxGroup(2, 2, 1, 1) + "," + Repeater(Static(std::to_string(inner))) + "]}";
  return Doc(Header(),
             ShapeLayer(R"({"ty":"gr","it":[)" + inner_group + "," + Repeater(Static(std::to_string(outer))) + "]}"));
}

std::string Layers(int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += (i ? "," : "") + ShapeLayer(BoxGroup(10, 10, 5, 5));
  return Doc(Header(), s);
}

std::string Assets(int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += (i ? "," : "") + std::string(R"({"id":"a)") + std::to_string(i) + R"(","layers":[]})";
  return Doc(Header(), ShapeLayer(BoxGroup(10, 10, 5, 5)), "[" + s + "]");
}

std::string PrecompLayer(const std::string& ref) {
  return R"({"ty":0,"ind":2,"refId":")" + ref + R"(","ks":)" + Transform() + R"(,"w":10,"h":10,"ip":0,"op":10,"st":0})";
}

// Asset "a" holds `a_layers` shape layers; asset "b" shows "a" `b_refs` times;
// the root shows "b" `root_refs` times.
std::string PrecompFan(int a_layers, int b_refs, int root_refs) {
  std::string a, b, root;
  for (int i = 0; i < a_layers; ++i) a += (i ? "," : "") + ShapeLayer(BoxGroup(10, 10, 5, 5));
  for (int i = 0; i < b_refs; ++i) b += (i ? "," : "") + PrecompLayer("a");
  for (int i = 0; i < root_refs; ++i) root += (i ? "," : "") + PrecompLayer("b");
  return Doc(Header(), root, R"([{"id":"a","layers":[)" + a + R"(]},{"id":"b","layers":[)" + b + "]}]");
}

const char kPng2x2[] =
    "iVBORw0KGgoAAAANSUhEUgAAAAIAAAACCAYAAABytg0kAAAAEUlEQVR4nGP4z8DwH4QZYAwAR8oH+WdZbrcAAAAASUVORK5CYII=";
// Header-only PNGs: the size is all the check reads.
const char kPng5000[] = "iVBORw0KGgoAAAANSUhEUgAAE4gAABOICAYAAABdmIfL";
const char kPng4096[] = "iVBORw0KGgoAAAANSUhEUgAAEAAAABAACAYAAADyoyQX";

std::string ImageAsset(const std::string& fields) {
  return Doc(Header(), ShapeLayer(BoxGroup(10, 10, 5, 5)), R"([{"id":"img","w":2,"h":2,)" + fields + "}]");
}

std::string DataImage(const char* base64, const std::string& id = "img") {
  return R"({"id":")" + id + R"(","w":2,"h":2,"u":"","e":1,"p":"data:image/png;base64,)" + base64 + R"("})";
}

}  // namespace

TEST(LottieValidator, AcceptsAndRefusesByTheLimits) {
  const std::string good = BoxMovie();
  const struct {
    const char* name;
    std::string bytes;
    bool ok;
  } cases[] = {
      {"plain rectangle movie", good, true},
      {"empty", "", false},
      {"truncated", good.substr(0, good.size() / 2), false},
      {"binary garbage", std::string("\x89PNG\r\n\x1a\n\x00\x00\xff\xfe", 12), false},
      {"NUL after valid JSON", good + std::string(1, '\0') + "junk", false},
      {"trailing text", good + " x", false},
      {"array at the top", "[" + good + "]", false},
      {"number at the top", "42", false},
      {"string at the top", "\"movie\"", false},
      {"depth 64", WithRootKey("\"x\":" + Nested("[", "]", 63)), true},
      {"depth 65", WithRootKey("\"x\":" + Nested("[", "]", 64)), false},
      {"depth 65 of objects", WithRootKey("\"x\":" + Nested("{\"a\":", "}", 64)), false},
      {"w 0", Doc(Header(0, 10), ShapeLayer(BoxGroup(10, 10, 5, 5))), false},
      {"h 5000", Doc(Header(10, 5000), ShapeLayer(BoxGroup(10, 10, 5, 5))), false},
      {"w 4096", Doc(Header(4096, 10), ShapeLayer(BoxGroup(10, 10, 5, 5))), true},
      {"w not whole", Doc(R"("w":10.5,"h":10,"fr":10,"ip":0,"op":10)", ShapeLayer(BoxGroup(10, 10, 5, 5))), false},
      {"w as text", Doc(R"("w":"10","h":10,"fr":10,"ip":0,"op":10)", ShapeLayer(BoxGroup(10, 10, 5, 5))), false},
      {"fr 0", Doc(Header(10, 10, 0), ShapeLayer(BoxGroup(10, 10, 5, 5))), false},
      {"fr NaN literal", Doc(R"("w":10,"h":10,"fr":NaN,"ip":0,"op":10)", ShapeLayer(BoxGroup(10, 10, 5, 5))), false},
      {"fr NaN text", Doc(R"("w":10,"h":10,"fr":"NaN","ip":0,"op":10)", ShapeLayer(BoxGroup(10, 10, 5, 5))), false},
      {"fr 1e30", Doc(R"("w":10,"h":10,"fr":1e30,"ip":0,"op":10)", ShapeLayer(BoxGroup(10, 10, 5, 5))), false},
      {"fr 1e400", Doc(R"("w":10,"h":10,"fr":1e400,"ip":0,"op":10)", ShapeLayer(BoxGroup(10, 10, 5, 5))), false},
      {"fr 121", Doc(Header(10, 10, 121), ShapeLayer(BoxGroup(10, 10, 5, 5))), false},
      {"fr -5", Doc(Header(10, 10, -5), ShapeLayer(BoxGroup(10, 10, 5, 5))), false},
      {"fr 120", Doc(Header(10, 10, 120), ShapeLayer(BoxGroup(10, 10, 5, 5))), true},
      {"fr missing", Doc(R"("w":10,"h":10,"ip":0,"op":10)", ShapeLayer(BoxGroup(10, 10, 5, 5))), false},
      {"op equals ip", Doc(Header(10, 10, 10, 5, 5), ShapeLayer(BoxGroup(10, 10, 5, 5))), false},
      {"op before ip", Doc(Header(10, 10, 10, 10, 5), ShapeLayer(BoxGroup(10, 10, 5, 5))), false},
      {"less than one whole frame", Doc(Header(10, 10, 10, 0, 0.5), ShapeLayer(BoxGroup(10, 10, 5, 5))), false},
      {"10000 frames", Doc(Header(10, 10, 10, 0, 10000), ShapeLayer(BoxGroup(10, 10, 5, 5))), true},
      {"a million frames", Doc(Header(10, 10, 10, 0, 1e6), ShapeLayer(BoxGroup(10, 10, 5, 5))), true},
      {"op far out (played in part)", Doc(Header(10, 10, 10, 0, 1e9), ShapeLayer(BoxGroup(10, 10, 5, 5))), true},
      {"ip far out", Doc(Header(10, 10, 10, -1e9, 10), ShapeLayer(BoxGroup(10, 10, 5, 5))), false},
      {"repeated key", WithRootKey(R"("nm":"a","nm":"b")"), false},
      {"same key in sibling objects", WithRootKey(R"("x":[{"nm":"a"},{"nm":"b"}])"), true},
      {"huge number anywhere", WithRootKey("\"x\":[1e30]"), false},
      {"no layers", R"({"v":"5.5.2",)" + Header() + "}", false},
      {"1000 layers", Layers(1000), true},
      {"1001 layers", Layers(1001), false},
      {"100 assets", Assets(100), true},
      {"101 assets", Assets(101), false},
      {"16 nested groups", NestedGroups(16), true},
      {"17 nested groups", NestedGroups(17), false},
      {"17 nested groups, type given last", NestedGroups(17, true), false},
      {"repeater of 1000", Doc(Header(), ShapeLayer(BoxGroup(2, 2, 1, 1) + "," + Repeater(Static("1000")))), true},
      {"repeater of 1001", Doc(Header(), ShapeLayer(BoxGroup(2, 2, 1, 1) + "," + Repeater(Static("1001")))), false},
      {"animated repeater peaks at 2000",
       Doc(Header(), ShapeLayer(BoxGroup(2, 2, 1, 1) + "," +
                                Repeater(R"({"a":1,"k":[{"t":0,"s":[3],"e":[2000]},{"t":500,"s":[2000]}]})"))),
       false},
      {"animated repeater, keyframe times do not count",
       Doc(Header(10, 10, 10, 0, 2000),
           ShapeLayer(BoxGroup(2, 2, 1, 1) + "," +
                      Repeater(R"({"a":1,"k":[{"t":0,"s":[3],"e":[5]},{"t":1500,"s":[5]}]})"))),
       true},
      {"repeaters 30 x 30 nested", NestedRepeaters(30, 30), true},
      {"repeaters 40 x 30 nested", NestedRepeaters(40, 30), false},
      {"embedded PNG", ImageAsset(R"("u":"","e":1,"p":"data:image/png;base64,)" + std::string(kPng2x2) + "\""), true},
      {"image file", ImageAsset(R"("u":"images/","p":"img_0.png","e":0)"), false},
      {"image file, no folder", ImageAsset(R"("u":"","p":"img_0.png")"), false},
      {"data text not marked embedded (it is embedded all the same)",
       ImageAsset(R"("u":"","e":0,"p":"data:image/png;base64,)" + std::string(kPng2x2) + "\""), true},
      {"embedded image with a folder (the folder is not used)",
       ImageAsset(R"("u":"images/","e":1,"p":"data:image/png;base64,)" + std::string(kPng2x2) + "\""), true},
      {"embedded garbage", ImageAsset(R"("u":"","e":1,"p":"data:image/png;base64,AAAAAAAA")"), false},
      {"embedded 4096 x 4096", ImageAsset(R"("u":"","e":1,"p":"data:image/png;base64,)" + std::string(kPng4096) + "\""),
       true},
      {"embedded 5000 x 5000", ImageAsset(R"("u":"","e":1,"p":"data:image/png;base64,)" + std::string(kPng5000) + "\""),
       false},
      {"two 4096 x 4096 images",
       Doc(Header(), ShapeLayer(BoxGroup(10, 10, 5, 5)), "[" + DataImage(kPng4096, "i1") + "," + DataImage(kPng4096, "i2") + "]"),
       false},
      {"image layer showing its image",
       Doc(Header(), R"({"ty":2,"ind":1,"refId":"img","ks":)" + Transform() + R"(,"ip":0,"op":10,"st":0})",
           "[" + DataImage(kPng2x2) + "]"),
       true},
      {"image layer naming no asset",
       Doc(Header(), R"({"ty":2,"ind":1,"refId":"img","ks":)" + Transform() + R"(,"ip":0,"op":10,"st":0})"), false},
      {"image layer naming a precomp",
       Doc(Header(), R"({"ty":2,"ind":1,"refId":"img","ks":)" + Transform() + R"(,"ip":0,"op":10,"st":0})",
           R"([{"id":"img","layers":[]}])"),
       false},
      {"precomps 100 x 100", PrecompFan(100, 99, 1), true},
      {"precomps expand past 10000", PrecompFan(100, 100, 2), false},
      {"precomp cycle",
       Doc(Header(), PrecompLayer("a"),
           R"([{"id":"a","layers":[)" + PrecompLayer("b") + R"(]},{"id":"b","layers":[)" + PrecompLayer("a") + "]}]"),
       false},
      {"precomp shows itself", Doc(Header(), PrecompLayer("a"), R"([{"id":"a","layers":[)" + PrecompLayer("a") + "]}]"),
       false},
  };
  for (const auto& c : cases) {
    const LottieCheck r = ValidateLottie(c.bytes);
    EXPECT_EQ(r.ok, c.ok) << c.name << ": " << r.reason;
    EXPECT_EQ(r.reason.empty(), r.ok) << c.name;
  }
}

TEST(LottieValidator, RefusesFilesOverFourMebibytes) {
  std::string padding(lottie_limits::kMaxBytes, ' ');
  const std::string good = BoxMovie();
  const std::string at_limit = good + padding.substr(0, lottie_limits::kMaxBytes - good.size());
  EXPECT_TRUE(ValidateLottie(at_limit).ok);
  const LottieCheck over = ValidateLottie(at_limit + " ");
  EXPECT_FALSE(over.ok);
  EXPECT_NE(over.reason.find("4 MiB"), std::string::npos) << over.reason;
}

TEST(LottieValidator, DeepNestingIsRefusedWithoutRecursion) {
  // Far deeper than any call stack could follow: refused at level 65, quickly.
  const std::string deep = "{\"x\":" + Nested("[", "]", 1000000) + "}";
  const LottieCheck r = ValidateLottie(deep);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.reason.find("64"), std::string::npos) << r.reason;
}
