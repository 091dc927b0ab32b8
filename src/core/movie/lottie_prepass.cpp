#include "movie/lottie_prepass.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

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
  Walker w{doc.GetAllocator(), Notes(&out.unsupported), Member(doc, "chars"), Member(doc, "fonts")};
  w.Walk(doc);

  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
  if (!doc.Accept(writer)) return out;
  out.text.assign(buffer.GetString(), buffer.GetSize());
  return out;
}
