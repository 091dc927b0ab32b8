#pragma once
// Text layers drawn from the glyph outlines a movie carries. The renderer
// draws no text, so a text layer whose characters all have outlines in the
// file's "chars" becomes a shape layer: each text document (a layer may key
// several over time) is a group of the glyphs' paths, placed by font size,
// tracking, line height, baseline shift and justification, filled and
// stroked in the document's colours, and shown only while it is current.
#include "rapidjson/document.h"

// Rewrites `layer` (a text layer, "ty": 5) in place into a shape layer.
// Returns false, leaving it unchanged, when its text has no glyph outlines
// in `chars` (the file's "chars" list; `fonts` is its "fonts" object; either
// may be null).
bool TextToShapes(rapidjson::Value& layer, const rapidjson::Value* chars, const rapidjson::Value* fonts,
                  rapidjson::Document::AllocatorType& alloc);
