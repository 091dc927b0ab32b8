#include "movie/lottie_text.h"

#include <cmath>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

using rapidjson::Value;
using Allocator = rapidjson::Document::AllocatorType;

Value* Member(Value& o, const char* key) {
  if (!o.IsObject()) return nullptr;
  auto it = o.FindMember(key);
  return it == o.MemberEnd() ? nullptr : &it->value;
}
const Value* Member(const Value* o, const char* key) {
  if (!o || !o->IsObject()) return nullptr;
  auto it = o->FindMember(key);
  return it == o->MemberEnd() ? nullptr : &it->value;
}

double Number(const Value* v, double fallback) { return v && v->IsNumber() ? v->GetDouble() : fallback; }

std::string Text(const Value* v) { return v && v->IsString() ? std::string(v->GetString(), v->GetStringLength()) : ""; }

// The text split into characters (UTF-8 sequences).
std::vector<std::string> Characters(const std::string& s) {
  std::vector<std::string> out;
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
    if (i + n > s.size()) n = s.size() - i;
    out.push_back(s.substr(i, n));
    i += n;
  }
  return out;
}

bool LineBreak(const std::string& ch) { return ch == "\r" || ch == "\n" || ch == "\x03"; }

// A static property.
Value Static(Value k, Allocator& a) {
  Value p(rapidjson::kObjectType);
  p.AddMember("a", 0, a);
  p.AddMember("k", k, a);
  return p;
}

Value Pair(double x, double y, Allocator& a) {
  Value v(rapidjson::kArrayType);
  v.PushBack(x, a).PushBack(y, a);
  return v;
}

Value Transform(double x, double y, double scale, Value opacity, Allocator& a) {
  Value t(rapidjson::kObjectType);
  t.AddMember("ty", "tr", a);
  t.AddMember("p", Static(Pair(x, y, a), a), a);
  t.AddMember("a", Static(Pair(0, 0, a), a), a);
  t.AddMember("s", Static(Pair(scale * 100, scale * 100, a), a), a);
  t.AddMember("r", Static(Value(0), a), a);
  t.AddMember("o", opacity, a);
  return t;
}

// [r, g, b] or [r, g, b, a] in 0..1, as a colour property with full alpha.
Value Colour(const Value* c, Allocator& a) {
  Value k(rapidjson::kArrayType);
  for (rapidjson::SizeType i = 0; i < 3; ++i) {
    k.PushBack(c && c->IsArray() && c->Size() > i && (*c)[i].IsNumber() ? (*c)[i].GetDouble() : 0.0, a);
  }
  k.PushBack(1, a);
  return Static(std::move(k), a);
}

struct Glyph {
  const Value* shapes = nullptr;  // the glyph's shape items
  double advance = 0;             // at size 1
};

class Typesetter {
 public:
  Typesetter(const Value* chars, const Value* fonts) : chars_(chars), fonts_(fonts) {}

  // The family a font name stands for ("fonts": {"list": [{"fName", "fFamily"}]}).
  std::string Family(const std::string& font) const {
    const Value* list = Member(fonts_, "list");
    if (list && list->IsArray()) {
      for (const auto& f : list->GetArray()) {
        if (Text(Member(&f, "fName")) == font) return Text(Member(&f, "fFamily"));
      }
    }
    return font;
  }

  bool Find(const std::string& ch, const std::string& family, Glyph* g) const {
    if (!chars_ || !chars_->IsArray()) return false;
    const Value* fallback = nullptr;
    for (const auto& c : chars_->GetArray()) {
      if (Text(Member(&c, "ch")) != ch) continue;
      if (Text(Member(&c, "fFamily")) == family || family.empty()) {
        fallback = &c;
        break;
      }
      if (!fallback) fallback = &c;
    }
    if (!fallback) return false;
    // Outlines and advances are in units of a 100-point font, whatever
    // size the glyph was taken from ("size").
    g->advance = Number(Member(fallback, "w"), 0) / 100;
    g->shapes = Member(Member(fallback, "data"), "shapes");
    return true;
  }

 private:
  const Value* chars_;
  const Value* fonts_;
};

// One text document as a group of glyph groups, filled and stroked, shown
// with the given opacity property. False when a visible character has no outline.
bool Document(const Value& doc, const Typesetter& setter, Value opacity, Allocator& a, Value* out) {
  const double size = Number(Member(&doc, "s"), 0);
  const std::string family = setter.Family(Text(Member(&doc, "f")));
  const double tracking = Number(Member(&doc, "tr"), 0) / 1000 * size;
  const double line_height = Number(Member(&doc, "lh"), size * 1.2);
  const double shift = Number(Member(&doc, "ls"), 0);
  const int justify = static_cast<int>(Number(Member(&doc, "j"), 0));

  // Lines of (character, glyph) and their widths.
  std::vector<std::vector<Glyph>> lines(1);
  std::vector<double> widths(1, 0);
  for (const std::string& ch : Characters(Text(Member(&doc, "t")))) {
    if (LineBreak(ch)) {
      lines.emplace_back();
      widths.push_back(0);
      continue;
    }
    Glyph g;
    if (!setter.Find(ch, family, &g)) {
      if (ch != " ") return false;
      g.advance = 0.3;  // a space the file carries no outline for
    }
    lines.back().push_back(g);
    widths.back() += g.advance * size + tracking;
  }

  Value items(rapidjson::kArrayType);
  for (size_t l = 0; l < lines.size(); ++l) {
    const double width = widths[l] - (lines[l].empty() ? 0 : tracking);
    double x = justify == 1 ? -width : justify == 2 ? -width / 2 : 0;
    const double y = static_cast<double>(l) * line_height - shift;
    for (const Glyph& g : lines[l]) {
      if (g.shapes && g.shapes->IsArray() && !g.shapes->Empty()) {
        Value glyph(rapidjson::kObjectType);
        glyph.AddMember("ty", "gr", a);
        Value it(*g.shapes, a);  // a deep copy of the outline
        it.PushBack(Transform(x, y, size / 100, Static(Value(100), a), a), a);
        glyph.AddMember("it", it, a);
        items.PushBack(glyph, a);
      }
      x += g.advance * size + tracking;
    }
  }

  Value fill(rapidjson::kObjectType);
  fill.AddMember("ty", "fl", a);
  fill.AddMember("c", Colour(Member(&doc, "fc"), a), a);
  fill.AddMember("o", Static(Value(Member(&doc, "fc") ? 100 : 0), a), a);
  fill.AddMember("r", 1, a);
  const double stroke_width = Number(Member(&doc, "sw"), 0);
  const Value* sc = Member(&doc, "sc");
  const bool stroke_over = Member(&doc, "of") && Member(&doc, "of")->IsBool() && Member(&doc, "of")->GetBool();
  Value stroke(rapidjson::kObjectType);
  if (sc && stroke_width > 0) {
    stroke.AddMember("ty", "st", a);
    stroke.AddMember("c", Colour(sc, a), a);
    stroke.AddMember("o", Static(Value(100), a), a);
    stroke.AddMember("w", Static(Value(stroke_width), a), a);
    stroke.AddMember("lc", 2, a);
    stroke.AddMember("lj", 2, a);
    stroke.AddMember("ml", 4, a);
  }
  // The first paint in a group is drawn on top.
  if (!stroke.ObjectEmpty() && stroke_over) items.PushBack(stroke, a);
  items.PushBack(fill, a);
  if (!stroke.ObjectEmpty() && !stroke_over) items.PushBack(stroke, a);
  items.PushBack(Transform(0, 0, 1, std::move(opacity), a), a);

  out->SetObject();
  out->AddMember("ty", "gr", a);
  out->AddMember("it", items, a);
  return true;
}

}  // namespace

bool TextToShapes(Value& layer, const Value* chars, const Value* fonts, Allocator& a) {
  if (!chars || !chars->IsArray() || chars->Empty()) return false;
  Value* t = Member(layer, "t");
  Value* d = t ? Member(*t, "d") : nullptr;
  Value* keys = d ? Member(*d, "k") : nullptr;
  if (!keys || !keys->IsArray() || keys->Empty()) return false;
  const Typesetter setter(chars, fonts);

  // Document i shows from its own time to the next one's; before the first
  // time, the first shows.
  std::vector<double> times;
  for (const auto& k : keys->GetArray()) times.push_back(Number(Member(&k, "t"), 0));
  Value groups(rapidjson::kArrayType);
  for (rapidjson::SizeType i = keys->Size(); i-- > 0;) {
    const Value* doc = Member(&(*keys)[i], "s");
    if (!doc || !doc->IsObject()) return false;
    Value opacity;
    if (keys->Size() == 1) {
      opacity = Static(Value(100), a);
    } else {
      Value frames(rapidjson::kArrayType);
      for (size_t j = 0; j < times.size(); ++j) {
        Value kf(rapidjson::kObjectType);
        kf.AddMember("t", times[j], a);
        Value s(rapidjson::kArrayType);
        s.PushBack(j == i ? 100 : 0, a);
        kf.AddMember("s", s, a);
        kf.AddMember("h", 1, a);
        frames.PushBack(kf, a);
      }
      opacity.SetObject();
      opacity.AddMember("a", 1, a);
      opacity.AddMember("k", frames, a);
    }
    Value group;
    if (!Document(*doc, setter, std::move(opacity), a, &group)) return false;
    groups.PushBack(group, a);
  }

  layer.RemoveMember("t");
  Member(layer, "ty")->SetInt(4);
  if (Value* shapes = Member(layer, "shapes")) {
    *shapes = groups;
  } else {
    layer.AddMember("shapes", groups, a);
  }
  return true;
}
