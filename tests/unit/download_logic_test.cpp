#include <gtest/gtest.h>

#include <string>

#include "download/code_entry.h"
#include "download/download_logic.h"
#include "download/progress_text.h"

using namespace download;

TEST(AnalizarURL, SplitsSchemeHostAndPath) {
  struct Case {
    const char* url;
    bool valida;
    const char* protocolo;
    const char* servidor;
    const char* ruta;
  } cases[] = {
      {"http://h.example/dir/f.exe", true, "http", "h.example", "/dir/f.exe"},
      {"host/dir/f.exe", true, "http", "host", "/dir/f.exe"},
      {"HTTPS://Host.Example/A", true, "https", "Host.Example", "/A"},
      {"http://host", true, "http", "host", ""},
      {"http://host/", true, "http", "host", ""},
      {"http://host//", true, "http", "host", "//"},
      {"http://host:8080/x", true, "http", "host:8080", "/x"},
      {"http://user@host/x", true, "http", "user@host", "/x"},
      {"", true, "http", "", ""},
      {"ftp://host/x", false, "ftp", "", ""},
      {"://host/x", false, "", "", ""},
      {"file:///c:/x", false, "file", "", ""},
      {"host/a://b", false, "host/a", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    const UrlParts p = AnalizarURL(c.url);
    EXPECT_EQ(p.valida, c.valida);
    EXPECT_EQ(p.Protocolo, c.protocolo);
    EXPECT_EQ(p.Servidor, c.servidor);
    EXPECT_EQ(p.Ruta, c.ruta);
  }
}

TEST(AnalizarURL, DefaultPortsBySchemeAndExplicitPortsKept) {
  EXPECT_EQ(PuertoEfectivo("http", 0), 80);
  EXPECT_EQ(PuertoEfectivo("https", 0), 443);
  EXPECT_EQ(PuertoEfectivo("ftp", 0), 0);
  EXPECT_EQ(PuertoEfectivo("https", 8443), 8443);
  EXPECT_EQ(PuertoEfectivo("http", 65535), 65535);
}

TEST(Redirect, LocationsResolvedAgainstTheAnsweringAddress) {
  struct Case {
    bool secure;
    const char* location;
    bool valid, to_secure;
    const char* host;
    int port;
    const char* path;
  } cases[] = {
      {true, "/t/good.bin?x=1", true, true, "site", 8443, "/t/good.bin?x=1"},
      {true, "next.bin", true, true, "site", 8443, "/dir/next.bin"},
      {false, "https://other:9443/a?b", true, true, "other", 9443, "/a?b"},
      {true, "HTTP://127.0.0.1:81/x", true, false, "127.0.0.1", 81, "/x"},
      {true, "http://evil/x", true, false, "evil", 80, "/x"},
      {true, "//cdn/f#frag", true, true, "cdn", 443, "/f"},
      {false, "https://h", true, true, "h", 443, "/"},
      {false, "https://h?q", true, true, "h", 443, "/?q"},
      {true, "ftp://h/x", false, false, "", 0, ""},
      {true, "javascript:alert(1)", false, false, "", 0, ""},
      {true, "https://user:pw@h/x", false, false, "", 0, ""},
      {true, "https://h:99999/x", false, false, "", 0, ""},
      {true, "https://h:/x", false, false, "", 0, ""},
      {true, "https:///x", false, false, "", 0, ""},
      {true, "   ", false, false, "", 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.location);
    const Destino d = ResolverRedireccion(c.secure, "site", 8443, "/dir/page?q=1", c.location);
    EXPECT_EQ(d.valida, c.valid);
    if (!c.valid) continue;
    EXPECT_EQ(d.segura, c.to_secure);
    EXPECT_EQ(d.Servidor, c.host);
    EXPECT_EQ(d.Puerto, c.port);
    EXPECT_EQ(d.Ruta, c.path);
  }
  // A long address is resolved whole.
  const std::string pad(3000, 'x');
  EXPECT_EQ(ResolverRedireccion(true, "site", 443, "/", "/t?p=" + pad).Ruta, "/t?p=" + pad);
}

TEST(ErrorTable, CodesTextsAndThreeDigitStatus) {
  EXPECT_STREQ(ErrorText(1), "URL incorrecta.");
  EXPECT_STREQ(ErrorText(2), "Error en InternetOpen.");
  EXPECT_STREQ(ErrorText(3), "Error en InternetConnect.");
  EXPECT_STREQ(ErrorText(4), "Error en InternetOpenRequest.");
  EXPECT_STREQ(ErrorText(5), "Error en InternetSendRequest.");
  EXPECT_STREQ(ErrorText(6), "Error en InternetQueryInfo.");
  EXPECT_STREQ(ErrorText(7), "Error en InternetReadFile.");
  EXPECT_STREQ(ErrorText(8), "No se ha podido crear el fichero de destino.");
  EXPECT_STREQ(ErrorText(998), "Descarga cancelada por el usuario.");
  EXPECT_STREQ(ErrorText(999), "Ha ocurrido un error durante la descarga.");
  EXPECT_EQ(ErrorText(404), nullptr);
  EXPECT_EQ(ErrorText(0), nullptr);
  EXPECT_EQ(StatusCodeText(1), "001");
  EXPECT_EQ(StatusCodeText(8), "008");
  EXPECT_EQ(StatusCodeText(404), "404");
  EXPECT_EQ(StatusCodeText(998), "998");
  EXPECT_EQ(StatusCodeText(1234), "1234");
}

TEST(ContentLength, NumericTextsOnly) {
  EXPECT_EQ(LongitudAnunciada(true, "1234"), 1234);
  EXPECT_EQ(LongitudAnunciada(true, " 0 "), 0);
  EXPECT_EQ(LongitudAnunciada(true, "2000000000"), 2000000000);
  EXPECT_EQ(LongitudAnunciada(true, "5000000000"), 5000000000LL);
  EXPECT_EQ(LongitudAnunciada(false, "1234"), -1);
  EXPECT_EQ(LongitudAnunciada(true, ""), -1);
  EXPECT_EQ(LongitudAnunciada(true, "12a"), -1);
  EXPECT_EQ(LongitudAnunciada(true, "-5"), -1);
  EXPECT_EQ(LongitudAnunciada(true, "99999999999999999999999"), -1);
}

TEST(Progress, FiguresAndTheirRounding) {
  struct Case {
    int64_t length, received;
    uint32_t ms;
    bool raise;
    int16_t pct;
    int32_t secs;
    double remaining;
    int32_t rate;
  } cases[] = {
      {1000, 10, 0, false, 0, 0, 0, 0},            // no time yet: no event
      {1000, 500, 1000, true, 50, 1, 1, 500},      // halfway after 1 s: 1 s left
      {1000, 1000, 2000, true, 100, 2, 0, 500},
      {1000, 5, 1500, true, 0, 2, 298, 3},         // 0.5 % rounds to 0 (even); 1500 ms -> 2
      {1000, 15, 2500, true, 2, 2, 164, 6},        // 1.5 % -> 2; 2500 ms -> 2; 166.67 - 2.5
      {200, 300, 1000, true, 150, 1, 0, 300},      // more than announced: above 100, no negative time
      {-1, 700, 1000, true, 0, 1, 0, 700},         // unknown length
      {0, 700, 1000, true, 0, 1, 0, 700},          // announced 0
      {2000000000, 3, 1, true, 0, 0, 666667.0, 3000},  // 666666.67 - 0.001
      {2147483647, 2147483647, 1000, true, 100, 1, 0, 2147483647},
      {1, 1000000, 1000, true, 32767, 1, 0, 1000000},  // absurd share is clamped, not wrapped
      {10, 3, 3, true, 30, 0, 0, 1000},            // 0.01 - 0.003 = 0.007 -> 0
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.length << " " << c.received << " " << c.ms);
    const Progress p = ComputeProgress(c.length, c.received, c.ms);
    EXPECT_EQ(p.raise, c.raise);
    EXPECT_EQ(p.BytesTotales, c.length);
    EXPECT_EQ(p.BytesRecibidos, c.received);
    if (!c.raise) continue;
    EXPECT_EQ(p.Porcentaje, c.pct);
    EXPECT_EQ(p.SegundosTranscurridos, c.secs);
    EXPECT_DOUBLE_EQ(p.SegundosRestantes, c.remaining);
    EXPECT_EQ(p.BytesPorSegundo, c.rate);
  }
}

TEST(Progress, HalvesRoundToEven) {
  EXPECT_EQ(RoundHalfEven(0.5), 0);
  EXPECT_EQ(RoundHalfEven(1.5), 2);
  EXPECT_EQ(RoundHalfEven(2.5), 2);
  EXPECT_EQ(RoundHalfEven(2.5000001), 3);
  EXPECT_EQ(RoundHalfEven(-0.5), 0);
  EXPECT_EQ(RoundHalfEven(7), 7);
  // rate 2.5 bytes a second -> 2
  EXPECT_EQ(ComputeProgress(-1, 5, 2000).BytesPorSegundo, 2);
  EXPECT_EQ(ComputeProgress(-1, 7, 2000).BytesPorSegundo, 4);
}

TEST(MemoryBody, GrowsWithWhatArrivesAndPadsOnlyWithinItsBound) {
  {  // exact
    MemoryBody b(6);
    b.Append("abc", 3);
    b.Append("def", 3);
    EXPECT_EQ(b.Finish(), "abcdef");
  }
  {  // more than announced: the surplus is dropped
    MemoryBody b(4);
    b.Append("abc", 3);
    b.Append("def", 3);
    b.Append("ghi", 3);
    EXPECT_EQ(b.Finish(), "abcd");
  }
  {  // less than announced: blanks at the end
    MemoryBody b(8);
    b.Append("abc", 3);
    EXPECT_EQ(b.Finish(), "abc     ");
  }
  {  // unknown length
    MemoryBody b(-1);
    b.Append("abc", 3);
    b.Append("d", 1);
    EXPECT_EQ(b.Finish(), "abcd");
  }
  {  // a lying 2 GB announcement: nothing big is held, padding stops at the bound
    MemoryBody b(2000000000);
    b.Append("abc", 3);
    EXPECT_LT(b.text().capacity(), 1024u);
    const std::string s = b.Finish();
    EXPECT_EQ(static_cast<int64_t>(s.size()), MemoryBody::kPadBound);
    EXPECT_EQ(s.substr(0, 4), "abc ");
  }
  {  // an endless answer stops at the bound, keeping nothing of the block that passes it
    MemoryBody b(-1, 8);
    EXPECT_TRUE(b.Append("abcdef", 6));
    EXPECT_FALSE(b.Append("ghi", 3));
    EXPECT_TRUE(b.Append("gh", 2));
    EXPECT_FALSE(b.Append("i", 1));
    EXPECT_EQ(b.Finish(), "abcdefgh");
  }
  {  // with a known length the surplus is dropped, not counted against the bound
    MemoryBody b(4, 4);
    EXPECT_TRUE(b.Append("abc", 3));
    EXPECT_TRUE(b.Append("def", 3));
    EXPECT_EQ(b.Finish(), "abcd");
  }
}

TEST(CodeTable, EveryNumber) {
  struct Case {
    int n;
    const char* ch;
  } cases[] = {{0, "#Err"}, {1, " "},  {2, "a"},     {3, "b"},  {15, "n"},   {16, "\xF1"}, {17, "o"},
               {28, "z"},   {29, "0"}, {30, "1"},    {38, "9"}, {39, "#Err"}, {99, "#Err"}, {-1, "#Err"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.n);
    EXPECT_EQ(CodeTableChar(c.n), c.ch);
  }
}

TEST(CodeTable, DecodesCodesAndEncodesNames) {
  struct Case {
    const char* code;
    const char* name;
  } cases[] = {
      {"0203040506", "abcde"}, {"0716", "f\xF1"}, {"01", " "},     {"3829", "90"}, {"00", "#Err"},
      {"39", "#Err"},          {"1", " "},        {"0", "#Err"},   {"027", "af"},  {"", ""},
      {"0a02", "#Erra"},  // "0a" reads as 0
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(DecodeCode(c.code), c.name);
  }
  EXPECT_EQ(EncodeName("abcde"), "0203040506");
  EXPECT_EQ(EncodeName("f\xF1"), "0716");
  EXPECT_EQ(EncodeName("a b9"), "02010338");
  EXPECT_EQ(EncodeName("A"), "");
  EXPECT_EQ(DecodeCode(EncodeName("prism 2006")), "prism 2006");
}

TEST(CodeTable, NamesThatCannotBeFilesAreRefused) {
  struct Name {
    const char* name;
    bool ok;
  } names[] = {
      {"ab", true},      {"lava lamp", true}, {"con1", true},  {"com0", true},  {"comx", true},
      {"a", false},      {"", false},         {"con", false},  {"CoN", false},  {"con ", false},
      {"prn", false},    {"aux", false},      {"nul", false},  {"com1", false}, {"COM9", false},
      {"lpt1", false},   {"lpt9", false},     {"a#Err", false}, {"#Err", false},
  };
  for (const Name& n : names) {
    SCOPED_TRACE(n.name);
    EXPECT_EQ(IsFileName(n.name), n.ok);
  }
  // From a code: one digit gives one character, an unknown number "#Err".
  EXPECT_FALSE(IsFileName(DecodeCode("5")));
  EXPECT_FALSE(IsFileName(DecodeCode("0399")));
  EXPECT_FALSE(IsFileName(DecodeCode(EncodeName("con"))));
  EXPECT_TRUE(IsFileName(DecodeCode(EncodeName("spirograph"))));
}

TEST(CodeBox, KeyFilterLetsDigitsAndBackspaceThrough) {
  for (int c = 0; c < 256; ++c) {
    const bool pass = (c >= '0' && c <= '9') || c == 8;
    EXPECT_EQ(FilterCodeKey(c), pass ? c : 0) << c;
  }
}

TEST(CodeBox, ClipboardPickUp) {
  struct Case {
    bool has_text;
    const char* clip;
    const char* box;
    const char* result;
  } cases[] = {
      {true, "0203040506 ", "", "0203040506"},      // ten digits and a blank: blank removed
      {true, "4000", "77", "77"},                    // passes, but too short to be taken
      {true, "39000000", "77", "77"},                // first six digits above 383838
      {true, "38383800", "", "38383800"},            // exactly the largest three pairs
      {false, "0203040506", "12", "12"},             // no text on the clipboard
      {true, "hello world", "12", "12"},             // not a number
      {true, "123", "12", "12"},                     // not longer than 3
      {true, "1234567890123456789012345678", "", "1234567890123456789012345678"},  // 28: taken
      {true, "12345678901234567890123456789", "9", "9"},                          // 29: not taken
      {true, "  020304  ", "", "  020304"},          // trailing blanks cut, leading kept
      {true, "020304\r\n", "", "020304"},
      {true, "4000", "1234567..", "1234567"},        // step 5 trims the box even when 4 did not fill it
      {true, "4000", "12ab", "12ab"},                // k = -1: nothing trimmed
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.clip);
    EXPECT_EQ(PickUpClipboardCode(c.has_text, c.clip, c.box), c.result);
  }
}

TEST(CodeBox, NumericTest) {
  for (const char* t : {"1", " 12 ", "-3", "+4.5", "1e5", "1.", ".5", "0203040506\r\n"})
    EXPECT_TRUE(IsNumericText(t)) << t;
  for (const char* t : {"", " ", "a1", "1a", "1 2", "e5", "1e", ".", "--1"}) EXPECT_FALSE(IsNumericText(t)) << t;
}

TEST(VisualisationList, RebuiltAndNewEntrySelected) {
  const std::vector<std::string> files = {"(Default).vsi", "aurora.vsi", "a.vsi", "prism 2006.vsi", "f\xF1.vsi"};
  {
    const ListRebuild r = RebuildVisualisationList(files, "prism 2006", 0);
    ASSERT_EQ(r.entries, (std::vector<std::string>{"(default)", "Aurora", "Prism 2006", "F\xF1"}));
    EXPECT_TRUE(r.set_selection);
    EXPECT_EQ(r.selected, 2);
  }
  {  // the new file is missing (failed download): the earlier selection stays
    const ListRebuild r = RebuildVisualisationList(files, "nothere", 1);
    EXPECT_TRUE(r.set_selection);
    EXPECT_EQ(r.selected, 1);
  }
  {  // a one-letter name is not listed
    const ListRebuild r = RebuildVisualisationList(files, "a", 3);
    EXPECT_EQ(r.entries.size(), 4u);
    EXPECT_EQ(r.selected, 3);
  }
  {  // only the new entry: the selection is not set
    const ListRebuild r = RebuildVisualisationList({"aurora.vsi"}, "AURORA", -1);
    EXPECT_FALSE(r.set_selection);
  }
}

TEST(ProgressText, FormatTime) {
  struct Case {
    double s;
    const char* text;
  } cases[] = {{0, "0:00:00"},     {45, "0:00:45"},       {59, "0:00:59"},       {60, "0:01:00"},
               {3600, "1:00:00"},  {3725, "1:02:05"},     {86399, "23:59:59"},   {90000, "25:00:00"},
               {360000000, "100000:00:00"}};
  for (const Case& c : cases) EXPECT_EQ(Module1::FormatTime(c.s), c.text) << c.s;
}

TEST(ProgressText, RateAndBar) {
  EXPECT_EQ(FormatRate(2048), "2.00 Kbps");
  EXPECT_EQ(FormatRate(512), "0.50 Kbps");
  EXPECT_EQ(FormatRate(0), "0.00 Kbps");
  EXPECT_EQ(FormatRate(1536, ','), "1,50 Kbps");
  EXPECT_EQ(BarEndTwips(0), 120);
  EXPECT_EQ(BarEndTwips(50), 2220);
  EXPECT_EQ(BarEndTwips(100), 4320);
  EXPECT_EQ(BarEndTwips(150), 4320);
  EXPECT_EQ(BarEndTwips(32767), 4320);
}
