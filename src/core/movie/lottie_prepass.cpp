#include "movie/lottie_prepass.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "movie/lottie_text.h"
#include "movie/lottie_validator.h"
#include "rapidjson/document.h"
#include "rapidjson/stringbuffer.h"
#include "rapidjson/writer.h"

namespace {

using rapidjson::Value;
using Allocator = rapidjson::Document::AllocatorType;

// Whether brackets nest no deeper than limit. The tree below is walked
// recursively, so a file nested deeper is left to the check, which refuses it.
bool NestingWithin(const std::string& s, int limit) {
  int depth = 0;
  bool in_string = false, escaped = false;
  for (char c : s) {
    if (in_string) {
      if (escaped) {
        escaped = false;
      } else if (c == '\\') {
        escaped = true;
      } else if (c == '"') {
        in_string = false;
      }
    } else if (c == '"') {
      in_string = true;
    } else if (c == '{' || c == '[') {
      if (++depth > limit) return false;
    } else if (c == '}' || c == ']') {
      --depth;
    }
  }
  return true;
}

class Notes {
 public:
  explicit Notes(std::vector<std::string>* out) : out_(out) {}
  void Add(const char* what) {
    if (std::find(out_->begin(), out_->end(), what) == out_->end()) out_->push_back(what);
  }

 private:
  std::vector<std::string>* out_;
};

Value* Member(Value& o, const char* key) {
  if (!o.IsObject()) return nullptr;
  auto it = o.FindMember(key);
  return it == o.MemberEnd() ? nullptr : &it->value;
}

const Value* Member(const Value& o, const char* key) {
  if (!o.IsObject()) return nullptr;
  auto it = o.FindMember(key);
  return it == o.MemberEnd() ? nullptr : &it->value;
}

bool IsTrue(const Value* v) {
  return v && ((v->IsNumber() && v->GetDouble() != 0) || (v->IsBool() && v->GetBool()));
}

// The renderer's parser reads many fields as integers and refuses a whole
// number written as a decimal ("w": 375.0). Such numbers are written as
// integers everywhere; every field read as a decimal takes an integer too.
void WholeNumbersAsIntegers(Value& v) {
  if (v.IsDouble()) {
    const double d = v.GetDouble();
    if (d == std::trunc(d) && std::fabs(d) <= 2147483647.0) v.SetInt(static_cast<int>(d));
  } else if (v.IsObject()) {
    for (auto& m : v.GetObject()) WholeNumbersAsIntegers(m.value);
  } else if (v.IsArray()) {
    for (auto& e : v.GetArray()) WholeNumbersAsIntegers(e);
  }
}

// Layer indices only pair parents with children (and matte sources). Some
// exporters write huge ones, which the renderer cannot read as integers;
// within one list of layers they are renumbered 1, 2, 3..., keeping every
// pairing, and a parent that names no layer still names none.
void RenumberLayers(Value& layers) {
  constexpr double kSmall = 1e6;
  bool needed = false;
  for (auto& l : layers.GetArray()) {
    for (const char* key : {"ind", "parent", "tp"}) {
      const Value* v = Member(l, key);
      if (v && v->IsNumber() && !(v->IsInt() && std::fabs(v->GetDouble()) <= kSmall)) needed = true;
    }
  }
  if (!needed) return;
  std::map<double, int> number;
  int next = 1;
  for (auto& l : layers.GetArray()) {
    const Value* v = Member(l, "ind");
    if (v && v->IsNumber() && !number.count(v->GetDouble())) number[v->GetDouble()] = next++;
  }
  const int nobody = next;
  for (auto& l : layers.GetArray()) {
    for (const char* key : {"ind", "parent", "tp"}) {
      Value* v = Member(l, key);
      if (!v || !v->IsNumber()) continue;
      auto it = number.find(v->GetDouble());
      v->SetInt(it == number.end() ? nobody : it->second);
    }
  }
}

void ClampEasing(Value& v) {
  if (v.IsNumber()) {
    v.SetDouble(std::clamp(v.GetDouble(), 0.0, 1.0));
    WholeNumbersAsIntegers(v);
  } else if (v.IsObject()) {
    for (auto& m : v.GetObject()) ClampEasing(m.value);
  } else if (v.IsArray()) {
    for (auto& e : v.GetArray()) ClampEasing(e);
  }
}

bool AllZero(const Value* v) {
  if (!v) return true;
  if (v->IsNumber()) return v->GetDouble() == 0;
  if (v->IsArray()) {
    for (const auto& e : v->GetArray()) {
      if (!AllZero(&e)) return false;
    }
    return true;
  }
  return false;
}

// The easing of a keyframe whose value does not change until the next one
// (and of the last keyframe, which eases into nothing) cannot be seen: its
// numbers, however large, are brought into [0, 1].
void QuietStillEasing(Value& keys) {
  const rapidjson::SizeType n = keys.Size();
  for (rapidjson::SizeType i = 0; i < n; ++i) {
    Value& kf = keys[i];
    if (!kf.IsObject() || !Member(kf, "t")) return;  // not a keyframe list
    const Value* start = Member(kf, "s");
    const Value* end = Member(kf, "e");
    if (!end && i + 1 < n) end = Member(keys[i + 1], "s");
    const bool last = i + 1 == n;
    const bool still = start && end && *start == *end && AllZero(Member(kf, "to")) && AllZero(Member(kf, "ti"));
    if (!last && !still) continue;
    for (const char* key : {"i", "o"}) {
      if (Value* e = Member(kf, key)) ClampEasing(*e);
    }
  }
}

// The exporter's version, "4.1.9" as 40109; 0 when the file names none
// (read as a current file).
long FormatVersion(const Value* v) {
  if (!v || !v->IsString()) return 0;
  long parts[3] = {0, 0, 0};
  int i = 0;
  for (const char* c = v->GetString(); *c && i < 3; ++c) {
    if (*c >= '0' && *c <= '9') {
      parts[i] = std::min(parts[i] * 10 + (*c - '0'), 99L);
    } else if (*c == '.') {
      ++i;
    } else {
      break;
    }
  }
  return parts[0] * 10000 + parts[1] * 100 + parts[2];
}

// Early exporters wrote some things the way the renderer no longer reads
// them; files of those versions are brought to the current form:
//  - before 4.1.9, fill and stroke colours run 0..255 (now 0..1);
//  - before 4.4.18, a path is marked closed on its shape ("closed") or mask
//    ("cl"), not in its data ("c"), so outlines would be left open.
struct OldExportUpgrade {
  Allocator& alloc;
  bool colours_in_bytes;
  bool closed_outside_data;

  static void Scale(Value* v) {
    if (!v || !v->IsArray()) return;
    for (auto& e : v->GetArray()) {
      if (e.IsNumber()) e.SetDouble(e.GetDouble() / 255.0);
    }
  }

  void Colour(Value* c) {
    Value* k = c ? Member(*c, "k") : nullptr;
    if (!k || !k->IsArray() || k->Empty()) return;
    if (k->Begin()->IsNumber()) {
      Scale(k);
      return;
    }
    for (auto& kf : k->GetArray()) {
      Scale(Member(kf, "s"));
      Scale(Member(kf, "e"));
    }
  }

  void MarkClosed(Value* data, bool closed) {
    if (!data) return;
    if (data->IsArray()) {
      for (auto& e : data->GetArray()) MarkClosed(&e, closed);
      return;
    }
    if (!data->IsObject()) return;
    if (!Member(*data, "v")) {  // a keyframe: its start and end shapes
      MarkClosed(Member(*data, "s"), closed);
      MarkClosed(Member(*data, "e"), closed);
      return;
    }
    if (Value* c = Member(*data, "c")) {
      c->SetBool(closed);
    } else {
      data->AddMember("c", closed, alloc);
    }
  }

  void Path(Value* prop, const Value* flag) {
    if (!prop || !flag || !flag->IsBool()) return;
    MarkClosed(Member(*prop, "k"), flag->GetBool());
  }

  void Shapes(Value& shapes) {
    if (!shapes.IsArray()) return;
    for (auto& s : shapes.GetArray()) {
      const Value* ty = Member(s, "ty");
      if (!ty || !ty->IsString()) continue;
      const std::string type = ty->GetString();
      if (colours_in_bytes && (type == "fl" || type == "st")) Colour(Member(s, "c"));
      if (closed_outside_data && type == "sh") Path(Member(s, "ks"), Member(s, "closed"));
      if (type == "gr") {
        if (Value* it = Member(s, "it")) Shapes(*it);
      }
    }
  }

  void Layers(Value* layers) {
    if (!layers || !layers->IsArray()) return;
    for (auto& l : layers->GetArray()) {
      if (Value* shapes = Member(l, "shapes")) Shapes(*shapes);
      Value* masks = Member(l, "masksProperties");
      if (closed_outside_data && masks && masks->IsArray()) {
        for (auto& m : masks->GetArray()) Path(Member(m, "pt"), Member(m, "cl"));
      }
    }
  }

  void Movie(Value& doc) {
    Layers(Member(doc, "layers"));
    Value* assets = Member(doc, "assets");
    if (!assets || !assets->IsArray()) return;
    for (auto& a : assets->GetArray()) Layers(Member(a, "layers"));
  }
};

// The one value a property holds throughout: its static value, or the start
// value its keyframes all share. Null when it changes (or is not a property).
const Value* SteadyValue(const Value* prop) {
  const Value* k = prop ? Member(*prop, "k") : nullptr;
  if (!k) return nullptr;
  if (!k->IsArray() || k->Empty() || !k->Begin()->IsObject()) return k;
  const Value* first = nullptr;
  for (const auto& kf : k->GetArray()) {
    for (const char* key : {"s", "e"}) {
      const Value* v = Member(kf, key);
      if (!v) continue;
      if (!first) {
        first = v;
      } else if (!(*v == *first)) {
        return nullptr;
      }
    }
  }
  return first;
}

// A steady number, read from a number or a one-element list.
bool SteadyNumber(const Value* prop, double* out) {
  const Value* v = SteadyValue(prop);
  if (v && v->IsArray() && v->Size() == 1) v = &(*v)[0];
  if (!v || !v->IsNumber()) return false;
  *out = v->GetDouble();
  return true;
}

// The fill effect (type 21) paints a whole layer in one colour. On a solid
// layer, with no feather, no inversion, no mask choice, and a colour and an
// opacity that do not change, it is the solid's own colour: it is folded into
// it and taken off the list of effects, which the renderer does not apply.
// (An exporter of a free animation program writes every shape this way, as a
// red solid cut out by a mask and coloured by this effect.)
bool FoldFillEffect(Value& layer, Value& effect, Allocator& alloc) {
  const Value* ty = Member(effect, "ty");
  const Value* params = Member(effect, "ef");
  if (!ty || !ty->IsNumber() || ty->GetDouble() != 21 || !params || !params->IsArray() || params->Size() != 7) {
    return false;
  }
  const Value* enabled = Member(effect, "en");
  if (enabled && enabled->IsNumber() && enabled->GetDouble() == 0) return false;
  auto param = [&](int i) { return Member((*params)[static_cast<rapidjson::SizeType>(i)], "v"); };
  for (int i : {0, 1, 3, 4, 5}) {  // fill mask, all masks, invert, both feathers
    double v = 1;
    if (!SteadyNumber(param(i), &v) || v != 0) return false;
  }
  double opacity = 1;
  if (!SteadyNumber(param(6), &opacity) || opacity < 0 || opacity > 1) return false;
  const Value* colour = SteadyValue(param(2));
  if (!colour || !colour->IsArray() || colour->Size() < 3) return false;
  char hex[8];
  int rgb[3];
  for (rapidjson::SizeType i = 0; i < 3; ++i) {
    if (!(*colour)[i].IsNumber()) return false;
    rgb[i] = static_cast<int>(std::lround(std::clamp((*colour)[i].GetDouble(), 0.0, 1.0) * 255.0));
  }
  std::snprintf(hex, sizeof hex, "#%02x%02x%02x", rgb[0], rgb[1], rgb[2]);
  if (opacity < 1) {
    // Folded into the layer's opacity when that is a plain number.
    Value* ks = Member(layer, "ks");
    Value* o = ks ? Member(*ks, "o") : nullptr;
    Value* k = o ? Member(*o, "k") : nullptr;
    if (!k || !k->IsNumber()) return false;
    k->SetDouble(k->GetDouble() * opacity);
  }
  Value* sc = Member(layer, "sc");
  if (!sc) return false;
  sc->SetString(hex, alloc);
  return true;
}

void FoldFillEffects(Value& layer, Allocator& alloc) {
  const Value* ty = Member(layer, "ty");
  Value* ef = Member(layer, "ef");
  if (!ty || !ty->IsNumber() || ty->GetDouble() != 1 || !ef || !ef->IsArray()) return;
  for (rapidjson::SizeType i = 0; i < ef->Size();) {
    if (FoldFillEffect(layer, (*ef)[i], alloc)) {
      ef->Erase(ef->Begin() + i);
    } else {
      ++i;
    }
  }
}

struct Walker {
  Allocator& alloc;
  Notes notes;
  const Value* chars;  // the file's glyph outlines, or null
  const Value* fonts;

  void Asset(Value& a) {
    Value* p = Member(a, "p");
    if (!p || !p->IsString()) return;
    if (std::strncmp(p->GetString(), "data:", 5) == 0) {
      // The picture is in the file, whatever the flag says.
      if (Value* e = Member(a, "e")) {
        e->SetInt(1);
      } else {
        a.AddMember("e", 1, alloc);
      }
      if (Value* u = Member(a, "u")) u->SetString("", 0, alloc);
    } else {
      notes.Add("images that are files");
    }
  }

  void Layers(Value& layers) {
    RenumberLayers(layers);
    for (auto& l : layers.GetArray()) {
      if (!l.IsObject()) continue;
      if (IsTrue(Member(l, "ddd"))) notes.Add("3D layers");
      FoldFillEffects(l, alloc);
      const Value* ef = Member(l, "ef");
      if (ef && ef->IsArray() && !ef->Empty()) notes.Add("effects");
      const Value* ty = Member(l, "ty");
      if (ty && ty->IsInt() && ty->GetInt() == 5) {
        // Animators (per-character colour, spacing, position...) are not applied.
        Value* t = Member(l, "t");
        Value* animators = t ? Member(*t, "a") : nullptr;
        if (animators && animators->IsArray() && !animators->Empty()) notes.Add("text animators");
        if (!TextToShapes(l, chars, fonts, alloc)) notes.Add("text without glyphs");
      }
    }
  }

  void Walk(Value& v) {
    if (v.IsArray()) {
      for (auto& e : v.GetArray()) Walk(e);
      return;
    }
    if (!v.IsObject()) return;
    const Value* x = Member(v, "x");
    if (x && x->IsString() && Member(v, "k")) notes.Add("expressions");
    if (Value* k = Member(v, "k"); k && k->IsArray() && k->Size() > 0 && k->Begin()->IsObject()) {
      QuietStillEasing(*k);
    }
    for (auto& m : v.GetObject()) {
      if (m.value.IsArray() && std::strcmp(m.name.GetString(), "layers") == 0) Layers(m.value);
      if (m.value.IsArray() && std::strcmp(m.name.GetString(), "assets") == 0) {
        for (auto& a : m.value.GetArray()) Asset(a);
      }
      Walk(m.value);
    }
  }
};

}  // namespace

PreparedLottie PrepareLottie(const std::string& bytes) {
  PreparedLottie out;
  out.text = bytes;
  if (bytes.size() > lottie_limits::kMaxBytes || !NestingWithin(bytes, lottie_limits::kMaxDepth)) return out;
  rapidjson::Document doc;
  doc.Parse<rapidjson::kParseIterativeFlag | rapidjson::kParseFullPrecisionFlag>(bytes.data(), bytes.size());
  if (doc.HasParseError() || !doc.IsObject()) return out;

  WholeNumbersAsIntegers(doc);
  // A movie longer than the player keeps count of plays its beginning.
  Value* ip = Member(doc, "ip");
  Value* op = Member(doc, "op");
  if (ip && op && ip->IsNumber() && op->IsNumber() && std::fabs(ip->GetDouble()) <= lottie_limits::kMaxFrameNumber &&
      (op->GetDouble() - ip->GetDouble() > lottie_limits::kMaxFrames ||
       op->GetDouble() > lottie_limits::kMaxFrameNumber)) {
    op->SetDouble(std::min(std::trunc(ip->GetDouble()) + lottie_limits::kMaxFrames, lottie_limits::kMaxFrameNumber));
    WholeNumbersAsIntegers(*op);
  }
  if (const long version = FormatVersion(Member(doc, "v")); version != 0 && version < 40418) {
    OldExportUpgrade{doc.GetAllocator(), version < 40109, true}.Movie(doc);
  }
  Walker w{doc.GetAllocator(), Notes(&out.unsupported), Member(doc, "chars"), Member(doc, "fonts")};
  w.Walk(doc);

  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
  if (!doc.Accept(writer)) return out;
  out.text.assign(buffer.GetString(), buffer.GetSize());
  return out;
}
