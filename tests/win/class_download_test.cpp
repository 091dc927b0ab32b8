// ClassDownload on the real WinINet against tests/server/qrv_test_server.py,
// which CTest starts (its state folder comes in QRV_TEST_SERVER).
#include <windows.h>
#include <wincrypt.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "download/class_download.h"
#include "download/download_logic.h"

namespace {

// A Unix path as Wine's drive Z: shows it.
std::string WinePath(const std::string& unix_path) {
  std::string w = "Z:" + unix_path;
  for (char& c : w)
    if (c == '/') c = '\\';
  return w;
}

std::string ServerDir() {
  const char* dir = std::getenv("QRV_TEST_SERVER");
  if (!dir || !*dir) return "";
  return WinePath(dir);
}

std::string ReadAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

void WriteAll(const std::string& path, const std::string& data) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f << data;
}

struct Ports {
  int http = 0, https = 0, untrusted = 0;
};

Ports ServerPorts() {
  Ports p;
  std::istringstream in(ReadAll(ServerDir() + "\\ports"));
  in >> p.http >> p.https >> p.untrusted;
  return p;
}

// Compares file contents without printing binary bytes.
::testing::AssertionResult SameBytes(const std::string& got, const std::string& want) {
  if (got == want) return ::testing::AssertionSuccess();
  size_t i = 0;
  while (i < got.size() && i < want.size() && got[i] == want[i]) ++i;
  return ::testing::AssertionFailure() << got.size() << " bytes, wanted " << want.size()
                                       << "; first difference at " << i;
}

std::string Pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + 3) % 251);
  return s;
}

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> out;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return out;
  do {
    const std::string n = fd.cFileName;
    if (n != "." && n != "..") out.push_back(n);
  } while (FindNextFileA(h, &fd));
  FindClose(h);
  return out;
}

// A new empty folder for one test: a name no earlier run has used.
std::string NewFolder() {
  char base[MAX_PATH];
  GetTempPathA(MAX_PATH, base);
  for (unsigned n = GetTickCount();; ++n) {
    const std::string dir = std::string(base) + "qrvdl" + std::to_string(GetCurrentProcessId()) + "_" +
                            std::to_string(n);
    if (CreateDirectoryA(dir.c_str(), nullptr)) return dir;
    if (GetLastError() != ERROR_ALREADY_EXISTS) return dir;
  }
}

// Removes a test's folder and what it holds (one level of sub-folders).
void RemoveFolder(const std::string& dir) {
  for (const std::string& f : FilesIn(dir)) {
    const std::string p = dir + "\\" + f;
    if (GetFileAttributesA(p.c_str()) & FILE_ATTRIBUTE_DIRECTORY) {
      for (const std::string& g : FilesIn(p)) DeleteFileA((p + "\\" + g).c_str());
      RemoveDirectoryA(p.c_str());
    } else {
      DeleteFileA(p.c_str());
    }
  }
  RemoveDirectoryA(dir.c_str());
}

struct Event {
  int64_t total, received;
  int16_t percent;
  int32_t elapsed;
  double remaining;
  int32_t rate;
};

class Recorder : public ClassDownload::ProgresoReceiver {
 public:
  std::vector<Event> events;
  bool cancel_at_first = false;
  std::function<void()> inside;
  void Progreso(int64_t total, int64_t received, int16_t percent, int32_t elapsed, double remaining, int32_t& rate,
                bool& cancel) override {
    events.push_back({total, received, percent, elapsed, remaining, rate});
    rate = -12345;  // has no effect on the download
    if (cancel_at_first) cancel = true;
    if (inside) inside();
  }
};

class Download : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // The test prefix trusts the test CA: its certificate goes into the
    // current user's root store, where the chain engine looks for anchors.
    // Whatever goes wrong is kept, so that every test says it instead of an
    // https test passing or failing for a reason of its own.
    ca_problem_.clear();
    const std::string der = ReadAll(ServerDir() + "\\ca.der");
    if (der.empty()) {
      ca_problem_ = "the test CA's certificate (ca.der) is missing or empty";
      return;
    }
    HCERTSTORE root = CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, "Root");
    if (!root) {
      ca_problem_ = "the root store did not open, error " + std::to_string(GetLastError());
      return;
    }
    if (!CertAddEncodedCertificateToStore(root, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                                          static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING, nullptr))
      ca_problem_ = "the test CA was not added to the root store, error " + std::to_string(GetLastError());
    CertCloseStore(root, 0);
  }
  void SetUp() override {
    ASSERT_FALSE(ServerDir().empty()) << "QRV_TEST_SERVER is not set: run through ctest";
    ASSERT_EQ(ca_problem_, "");
    ports_ = ServerPorts();
    ASSERT_NE(ports_.http, 0) << "the test server is not running";
    folder_ = NewFolder();
    target_ = folder_ + "\\movie.vsi";
  }
  void TearDown() override { RemoveFolder(folder_); }
  // The port goes into Puerto: written into the URL it would stay part of
  // the host name.
  void Aim(ClassDownload& d, const std::string& route) const {
    d.SetURL("http://127.0.0.1/t/" + route);
    d.SetPuerto(ports_.http);
  }
  void AimSecure(ClassDownload& d, int port, const std::string& route) const {
    d.SetURL("https://localhost/t/" + route);
    d.SetPuerto(port);
  }
  // Only the target itself may be in the folder afterwards.
  void ExpectNoTemporaryFile() const {
    for (const std::string& f : FilesIn(folder_)) EXPECT_EQ(f, "movie.vsi") << "left behind: " << f;
  }
  // How many requests for path (as the client sent it) the server has seen.
  int Seen(const std::string& path) const {
    std::string escaped;
    for (char c : path) {
      if (c == '?' || c == '&' || c == '=' || c == '%') {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned char>(c));
        escaped += hex;
      } else {
        escaped += c;
      }
    }
    ClassDownload q;
    Aim(q, "seen?path=" + escaped);
    q.Descargar(1);
    return q.HuboError() ? -1 : std::atoi(q.ContenidoDescargado().c_str());
  }
  // A tag unique to this run, so that the server's counts start at 0.
  static std::string Tag() {
    static int n = 0;
    return std::to_string(GetCurrentProcessId()) + "x" + std::to_string(GetTickCount()) + "x" + std::to_string(++n);
  }
  static std::string ca_problem_;
  Ports ports_;
  std::string folder_, target_;
};
std::string Download::ca_problem_;

const char kOld[] = "OLD VISUALISATION, KEEP ME";

TEST_F(Download, FileModeOutcomesOfEveryServerBehaviour) {
  struct Case {
    const char* route;
    bool error;
    const char* code;
    const char* text;
    long body;  // bytes of the pattern that replace the target; -1: target intact
  } cases[] = {
      {"good.bin", false, "200", "OK", 10000},
      {"good.bin?n=1", false, "200", "OK", 1},
      {"nolength", false, "200", "OK", 5000},
      {"redirect", false, "200", "OK", 10000},
      {"bigheader", false, "200", "OK", 10000},
      {"drip", false, "200", "OK", 600},
      {"shorter", false, "200", "OK", 3000},   // bytes past the announced length are dropped
      {"longer", true, "999", "Ha ocurrido un error durante la descarga.", -1},
      {"huge", true, "999", "Ha ocurrido un error durante la descarga.", -1},
      {"reset", true, "999", "Ha ocurrido un error durante la descarga.", -1},
      {"status/404", true, "404", "Not Found", -1},
      {"status/500", true, "500", "Internal Server Error", -1},
      {"status/204", false, "204", "No Content", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.route);
    WriteAll(target_, kOld);
    ClassDownload d;
    Recorder rec;
    d.SetReceiver(&rec);
    Aim(d, c.route);
    d.SetFichero(target_);
    d.SetBytesBloqueDescarga(97);
    d.Descargar(1);
    EXPECT_EQ(d.HuboError(), c.error);
    EXPECT_EQ(d.StatusCode(), c.code);
    EXPECT_EQ(d.StatusText(), c.text);
    EXPECT_TRUE(SameBytes(ReadAll(target_), c.body < 0 ? std::string(kOld) : Pattern(c.body)));
    ExpectNoTemporaryFile();
    for (const Event& e : rec.events) {
      EXPECT_GE(e.remaining, 0);
      EXPECT_GE(e.percent, 0);
    }
  }
}

TEST_F(Download, MemoryModeKeepsBodyAndNeverSizesByTheAnnouncement) {
  struct Case {
    const char* route;
    bool error;
    std::string body;
  } cases[] = {
      {"good.bin?n=3000", false, Pattern(3000)},
      {"nolength", false, Pattern(5000)},
      {"shorter", false, Pattern(3000)},
      // Cut short: what arrived, padded with blanks to the announced length.
      {"longer", false, Pattern(5000) + std::string(3000, ' ')},
      // 2 GB announced: the padding stops at the bound.
      {"huge", false, Pattern(5000) + std::string(download::MemoryBody::kPadBound - 5000, ' ')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.route);
    ClassDownload d;
    Aim(d, c.route);
    d.SetBytesBloqueDescarga(512);
    d.Descargar(1);
    EXPECT_EQ(d.HuboError(), c.error);
    EXPECT_TRUE(SameBytes(d.ContenidoDescargado(), c.body));
  }
}

TEST_F(Download, ProgressFiguresOfADrip) {
  ClassDownload d;
  Recorder rec;
  d.SetReceiver(&rec);
  Aim(d, "drip");
  d.SetFichero(target_);
  d.SetBytesBloqueDescarga(3);
  d.Descargar(1);
  ASSERT_FALSE(d.HuboError());
  ASSERT_GE(rec.events.size(), 10u);
  int64_t last = 0;
  for (const Event& e : rec.events) {
    EXPECT_EQ(e.total, 600);
    EXPECT_GT(e.received, last);
    EXPECT_EQ(e.received % 3, 0);
    EXPECT_LE(e.percent, 100);
    EXPECT_EQ(e.percent, static_cast<int16_t>(download::RoundHalfEven(static_cast<double>(e.received) * 100.0 / 600)));
    last = e.received;
  }
  EXPECT_EQ(rec.events.back().received, 600);
  EXPECT_EQ(rec.events.back().percent, 100);
  EXPECT_EQ(rec.events.back().remaining, 0);
  EXPECT_GE(rec.events.back().elapsed, 1);  // ten steps 100 ms apart
}

TEST_F(Download, UnknownLengthReportsNoShareAndNoTimeLeft) {
  ClassDownload d;
  Recorder rec;
  d.SetReceiver(&rec);
  // steps 100 ms apart: time passes between blocks, so events are raised
  Aim(d, "drip?nolength=1");
  d.SetBytesBloqueDescarga(3);
  d.Descargar(1);
  ASSERT_FALSE(d.HuboError());
  ASSERT_GE(rec.events.size(), 9u);
  EXPECT_EQ(rec.events.back().received, 600);
  for (const Event& e : rec.events) {
    EXPECT_EQ(e.total, -1);
    EXPECT_EQ(e.percent, 0);
    EXPECT_EQ(e.remaining, 0);
  }
}

TEST_F(Download, CancelInTheFirstEventKeepsTheTargetAndRemovesTheTemporaryFile) {
  WriteAll(target_, kOld);
  ClassDownload d;
  Recorder rec;
  rec.cancel_at_first = true;
  d.SetReceiver(&rec);
  Aim(d, "drip");
  d.SetFichero(target_);
  d.SetBytesBloqueDescarga(3);
  d.Descargar(1);
  EXPECT_TRUE(d.HuboError());
  EXPECT_EQ(d.StatusCode(), "998");
  EXPECT_EQ(d.StatusText(), "Descarga cancelada por el usuario.");
  EXPECT_EQ(rec.events.size(), 1u);
  EXPECT_TRUE(SameBytes(ReadAll(target_), kOld));
  ExpectNoTemporaryFile();
}

TEST_F(Download, StartingAgainFromInsideProgresoIsRefused) {
  ClassDownload d;
  Recorder rec;
  int inner_calls = 0;
  rec.inside = [&] {
    if (inner_calls++) return;
    d.SetFichero(target_);  // properties may change, but no second download starts
    d.Descargar(1);
    EXPECT_TRUE(d.Descargando());
  };
  d.SetReceiver(&rec);
  // a tag of this run, so that the server's count starts at 0
  const std::string tag = std::to_string(GetCurrentProcessId()) + "x" + std::to_string(GetTickCount());
  Aim(d, "drip?tag=" + tag);
  d.SetFichero(target_);
  d.SetBytesBloqueDescarga(60);
  d.Descargar(1);
  EXPECT_FALSE(d.HuboError());
  EXPECT_FALSE(d.Descargando());
  EXPECT_TRUE(SameBytes(ReadAll(target_), Pattern(600)));
  // the server saw the outer request once
  ClassDownload q;
  Aim(q, "seen?path=/t/drip%3Ftag%3D" + tag);
  q.Descargar(1);
  EXPECT_EQ(q.ContenidoDescargado(), "1");
}

TEST_F(Download, HeadersOnlyReadsNoBody) {
  WriteAll(target_, kOld);
  ClassDownload d;
  Recorder rec;
  d.SetReceiver(&rec);
  Aim(d, "good.bin");
  d.SetFichero(target_);
  d.QContentType = true;
  d.QRawHeaders = true;
  d.QRawHeadersCrLf = true;
  d.Descargar(0);
  EXPECT_FALSE(d.HuboError());
  EXPECT_EQ(d.StatusCode(), "200");
  EXPECT_EQ(d.QContentLengthStr(), "10000");
  EXPECT_EQ(d.QContentTypeStr(), "application/octet-stream");
  EXPECT_EQ(d.QRawHeadersStr(), "HTTP/1.0 200 OK");  // NUL-separated: the status line only
  EXPECT_NE(d.QRawHeadersCrLfStr().find("Content-Length: 10000\r\n"), std::string::npos);
  EXPECT_TRUE(rec.events.empty());
  EXPECT_TRUE(d.ContenidoDescargado().empty());
  EXPECT_TRUE(SameBytes(ReadAll(target_), kOld));
  ExpectNoTemporaryFile();
}

TEST_F(Download, HeaderOfAKilobyteOrMoreStaysEmptyAndExpiresKeepsItsValue) {
  ClassDownload d;
  Aim(d, "bigheader");
  d.QContentType = true;
  d.QExpires = true;
  d.SetQExpiresStr("from before");
  d.Descargar(0);
  EXPECT_FALSE(d.HuboError());
  EXPECT_EQ(d.QContentTypeStr(), "");
  EXPECT_EQ(d.QExpiresStr(), "from before");  // no Expires header: the query fails
  EXPECT_EQ(d.QContentLengthStr(), "10000");
}

TEST_F(Download, UrlAndConnectionFailures) {
  ClassDownload d;
  d.SetURL("ftp://127.0.0.1/x");
  EXPECT_TRUE(d.HuboError());
  EXPECT_EQ(d.StatusCode(), "001");
  EXPECT_EQ(d.StatusText(), "URL incorrecta.");
  EXPECT_EQ(d.Puerto(), 0);
  d.Descargar(1);
  EXPECT_TRUE(d.HuboError());
  EXPECT_EQ(d.StatusCode(), "001");

  // nothing listens on port 1
  d.SetURL("http://127.0.0.1:1/x");
  EXPECT_EQ(d.Puerto(), 80);
  d.SetPuerto(1);
  d.SetFichero(target_);
  d.Descargar(1);
  EXPECT_TRUE(d.HuboError());
  EXPECT_EQ(d.StatusCode(), "005");
  EXPECT_EQ(d.StatusText(), "Error en InternetSendRequest.");
  ExpectNoTemporaryFile();
  EXPECT_FALSE(d.HuboError() && FilesIn(folder_).size() > 0);
}

TEST_F(Download, FileProblemsEndWithErrorEightAndLoseNothing) {
  // a folder that does not exist
  ClassDownload d;
  Aim(d, "good.bin");
  d.SetFichero(folder_ + "\\missing\\movie.vsi");
  d.Descargar(1);
  EXPECT_TRUE(d.HuboError());
  EXPECT_EQ(d.StatusCode(), "008");
  EXPECT_EQ(d.StatusText(), "No se ha podido crear el fichero de destino.");

  // the target's name is taken by a folder: the move fails, the folder and
  // what it holds stay, the temporary file goes
  CreateDirectoryA(target_.c_str(), nullptr);
  WriteAll(target_ + "\\inside.txt", kOld);
  d.SetFichero(target_);
  d.Descargar(1);
  EXPECT_TRUE(d.HuboError());
  EXPECT_EQ(d.StatusCode(), "008");
  EXPECT_TRUE(SameBytes(ReadAll(target_ + "\\inside.txt"), kOld));
  ExpectNoTemporaryFile();
}

TEST_F(Download, RefusedBodyKeepsTheOldFile) {
  WriteAll(target_, kOld);
  ClassDownload d;
  std::string checked;
  d.SetComprobarFichero([&](const std::string& path) {
    checked = ReadAll(path);
    return checked.rfind("<!DOCTYPE", 0) != 0;
  });
  Aim(d, "html");
  d.SetFichero(target_);
  d.Descargar(1);
  EXPECT_TRUE(d.HuboError());
  EXPECT_EQ(d.StatusCode(), "997");
  EXPECT_NE(checked.find("hotel network"), std::string::npos);
  EXPECT_TRUE(SameBytes(ReadAll(target_), kOld));
  ExpectNoTemporaryFile();
  Aim(d, "good.bin");
  d.Descargar(1);
  EXPECT_FALSE(d.HuboError());
  EXPECT_TRUE(SameBytes(ReadAll(target_), Pattern(10000)));
}

TEST_F(Download, OrphanedTemporaryFilesOfEarlierRunsAreRemoved) {
  WriteAll(folder_ + "\\Qrv1A2B.tmp", "left by a killed download");
  WriteAll(folder_ + "\\Qrv9.tmp", "still being written");
  HANDLE busy = CreateFileA((folder_ + "\\Qrv9.tmp").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(busy, INVALID_HANDLE_VALUE);
  WriteAll(folder_ + "\\other.tmp", "not ours");
  ClassDownload d;
  Aim(d, "good.bin");
  d.SetFichero(target_);
  d.Descargar(1);
  EXPECT_FALSE(d.HuboError());
  CloseHandle(busy);
  std::vector<std::string> files = FilesIn(folder_);
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"Qrv9.tmp", "movie.vsi", "other.tmp"}));
}

// The site's file names may hold blanks: the request must still find them.
TEST_F(Download, SiteFileWithABlankInItsName) {
  ClassDownload d;
  d.SetURL("http://127.0.0.1/VelmaraScreensaver/DWN/lava lamp.exe");
  d.SetPuerto(ports_.http);
  d.SetFichero(target_);
  d.Descargar(1);
  EXPECT_FALSE(d.HuboError()) << d.StatusCode() << " " << d.StatusText();
  const std::string got = ReadAll(target_);
  EXPECT_TRUE(SameBytes(got, ReadAll(WinePath(std::string(QRV_SOURCE_DIR) + "/site/VelmaraScreensaver/DWN/lava lamp.exe"))));
  EXPECT_GT(got.size(), 1000u);
}

TEST_F(Download, PropertyRules) {
  ClassDownload d;
  EXPECT_EQ(d.BytesBloqueDescarga(), 512);
  EXPECT_TRUE(d.QContentLength);
  d.SetFichero("  C:\\x\\y.vsi  ");
  EXPECT_EQ(d.Fichero(), "C:\\x\\y.vsi");
  d.SetURL("HTTPS://Host/a");
  EXPECT_FALSE(d.HuboError());
  EXPECT_EQ(d.Puerto(), 443);
  d.SetPuerto(8443);
  EXPECT_EQ(d.Puerto(), 8443);
}

TEST_F(Download, ZeroBlockSizeReadsNothing) {
  ClassDownload d;
  Aim(d, "good.bin");
  d.SetFichero(target_);
  d.SetBytesBloqueDescarga(0);
  d.Descargar(1);
  EXPECT_FALSE(d.HuboError());
  EXPECT_TRUE(SameBytes(ReadAll(target_), ""));
  ExpectNoTemporaryFile();
}

TEST_F(Download, FileWithoutAFolderGoesToTheCurrentDirectory) {
  char old_dir[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, old_dir);
  SetCurrentDirectoryA(folder_.c_str());
  ClassDownload d;
  Aim(d, "good.bin");
  d.SetFichero("movie.vsi");
  d.Descargar(1);
  SetCurrentDirectoryA(old_dir);
  EXPECT_FALSE(d.HuboError());
  EXPECT_TRUE(SameBytes(ReadAll(target_), Pattern(10000)));
  ExpectNoTemporaryFile();
}

TEST_F(Download, HttpsWithATrustedCertificateSucceeds) {
  ASSERT_NE(ports_.https, 0);
  ClassDownload d;
  AimSecure(d, ports_.https, "good.bin");
  d.SetFichero(target_);
  d.Descargar(1);
  EXPECT_FALSE(d.HuboError()) << d.StatusCode() << " " << d.StatusText();
  EXPECT_TRUE(SameBytes(ReadAll(target_), Pattern(10000)));
}

TEST_F(Download, HttpsWithAnUntrustedCertificateFails) {
  ASSERT_NE(ports_.untrusted, 0);
  WriteAll(target_, kOld);
  ClassDownload d;
  AimSecure(d, ports_.untrusted, "good.bin");
  d.SetFichero(target_);
  d.Descargar(1);
  EXPECT_TRUE(d.HuboError());
  EXPECT_EQ(d.StatusCode(), "005");
  EXPECT_TRUE(SameBytes(ReadAll(target_), kOld));
  ExpectNoTemporaryFile();
}

// The redirect reached the secure server (so TLS itself worked), and no
// request ever went to the plain http address it pointed at: the refusal
// came from the redirect check, not from some TLS failure. A long address
// (2 KiB and more) is checked as well as a short one.
TEST_F(Download, HttpsRedirectToPlainHttpIsRefused) {
  for (int pad : {0, 3000}) {
    SCOPED_TRACE(pad);
    WriteAll(target_, kOld);
    const std::string tag = Tag();
    const std::string query = "?tag=" + tag + (pad ? "&pad=" + std::to_string(pad) : "");
    ClassDownload d;
    AimSecure(d, ports_.https, "to-http" + query);
    d.SetFichero(target_);
    d.Descargar(1);
    EXPECT_TRUE(d.HuboError());
    EXPECT_EQ(d.StatusCode(), "005");
    EXPECT_NE(d.Causa().find("https to plain http"), std::string::npos) << d.Causa();
    EXPECT_EQ(Seen("/t/to-http" + query), 1);
    EXPECT_EQ(Seen("/t/good.bin" + query), 0);
    EXPECT_TRUE(SameBytes(ReadAll(target_), kOld));
    ExpectNoTemporaryFile();
  }
}

// Redirects that may be followed are, within a limit; the ones that may not
// end as an error that says why.
TEST_F(Download, RedirectsAreFollowedWithinALimit) {
  struct Case {
    bool secure;
    const char* route;
    bool error;
    const char* cause;
  } cases[] = {
      {false, "redirect?hops=5", false, ""},
      {false, "redirect?hops=6", true, "more than 5 redirects"},
      {false, "to-https", false, ""},  // from http to https is allowed
      {true, "redirect?pad=3000", false, ""},
      {true, "redirect?hops=3", false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.route);
    WriteAll(target_, kOld);
    ClassDownload d;
    if (c.secure) {
      AimSecure(d, ports_.https, c.route);
    } else {
      Aim(d, c.route);
    }
    d.SetFichero(target_);
    d.Descargar(1);
    EXPECT_EQ(d.HuboError(), c.error) << d.Causa();
    EXPECT_EQ(d.Causa(), c.cause);
    EXPECT_TRUE(SameBytes(ReadAll(target_), c.error ? std::string(kOld) : Pattern(10000)));
    ExpectNoTemporaryFile();
  }
}

// A server that stops answering, or answers a byte now and then, ends the
// download by itself: the timeouts and the overall deadline. The target is
// intact and the error says why.
TEST_F(Download, StalledServersEndTheDownloadByThemselves) {
  struct Case {
    const char* route;
    uint32_t timeout_ms, deadline_ms;
    const char* code;
    const char* cause;
  } cases[] = {
      {"stall?head=20", 1000, 60000, "005", "did not answer in time"},
      {"stall?body=20", 1000, 60000, "999", "did not answer in time"},
      {"trickle?n=100&every=400", 5000, 2000, "999", "took longer than 2 s"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.route);
    for (bool to_file : {true, false}) {
      SCOPED_TRACE(to_file);
      WriteAll(target_, kOld);
      ClassDownload d;
      Aim(d, c.route);
      if (to_file) d.SetFichero(target_);
      d.SetTiempoEspera(c.timeout_ms);
      d.SetPlazoTotal(c.deadline_ms);
      const DWORD t0 = GetTickCount();
      d.Descargar(1);
      const DWORD took = GetTickCount() - t0;
      EXPECT_TRUE(d.HuboError());
      EXPECT_EQ(d.StatusCode(), c.code);
      EXPECT_NE(d.Causa().find(c.cause), std::string::npos) << d.Causa();
      EXPECT_LT(took, 8000u);
      EXPECT_TRUE(SameBytes(ReadAll(target_), kOld));
      ExpectNoTemporaryFile();
    }
  }
}

// The download that Cancel stops, from a timer that runs while Descargar
// waits, as a dialog's button would.
ClassDownload* g_cancel_target = nullptr;
DWORD g_cancel_tick = 0;
void CALLBACK CancelTimer(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  g_cancel_tick = GetTickCount();
  if (g_cancel_target) g_cancel_target->Cancelar();
}

// Cancel wins at every stage: while the server has not answered yet, while
// the body stalls, while it trickles, and after the whole body arrived but
// before it replaced the target. Each time the answer comes within a second
// and the old file stays.
TEST_F(Download, CancelWinsAtEveryStageWithinASecond) {
  struct Case {
    const char* route;
    bool in_check;  // cancel from the body check, after the last byte
  } cases[] = {
      {"stall?head=20", false},
      {"stall?body=20", false},
      {"trickle?n=100&every=400", false},
      {"good.bin?n=10", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.route);
    WriteAll(target_, kOld);
    ClassDownload d;
    Aim(d, c.route);
    d.SetFichero(target_);
    d.SetBytesBloqueDescarga(3);
    d.SetTiempoEspera(60000);
    g_cancel_target = &d;
    g_cancel_tick = 0;
    if (c.in_check) {
      d.SetComprobarFichero([&](const std::string&) {
        d.Cancelar();
        g_cancel_tick = GetTickCount();
        return true;
      });
    } else {
      SetTimer(nullptr, 0, 500, &CancelTimer);
    }
    d.Descargar(1);
    const DWORD end = GetTickCount();
    g_cancel_target = nullptr;
    ASSERT_NE(g_cancel_tick, 0u) << "the cancel never ran";
    EXPECT_LT(end - g_cancel_tick, 1000u);
    EXPECT_TRUE(d.HuboError());
    EXPECT_EQ(d.StatusCode(), "998");
    EXPECT_TRUE(SameBytes(ReadAll(target_), kOld));
    ExpectNoTemporaryFile();
  }
}

// The byte limit holds on every block, in both modes, whether or not the
// length was announced (or announced falsely).
TEST_F(Download, ByteLimitStopsALongerBodyInBothModes) {
  struct Case {
    const char* route;
    int64_t limit;
    bool error;
  } cases[] = {
      {"good.bin?n=10000", 10000, false},
      {"good.bin?n=10001", 10000, true},   // announced too long
      {"nolength", 4999, true},            // no announcement
      {"nolength", 5000, false},
      {"shorter", 2999, true},             // announces 3000, sends 5000
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.route + std::string(" ") + std::to_string(c.limit));
    for (bool to_file : {true, false}) {
      SCOPED_TRACE(to_file);
      WriteAll(target_, kOld);
      ClassDownload d;
      Aim(d, c.route);
      if (to_file) d.SetFichero(target_);
      d.SetBytesBloqueDescarga(97);
      d.SetLimiteBytes(c.limit);
      d.Descargar(1);
      EXPECT_EQ(d.HuboError(), c.error) << d.Causa();
      if (c.error) {
        EXPECT_EQ(d.StatusCode(), "999");
        EXPECT_NE(d.Causa().find("longer than"), std::string::npos) << d.Causa();
        EXPECT_LE(static_cast<int64_t>(d.ContenidoDescargado().size()), c.limit);
      }
      if (to_file) {
        EXPECT_EQ(ReadAll(target_) == kOld, c.error);
      }
      ExpectNoTemporaryFile();
    }
  }
}

// A request of WinINet's own, without the download's flags: the control that
// shows the cache and the cookies below are really in play.
std::string PlainFetch(const std::string& url) {
  std::string body;
  HINTERNET net = InternetOpenA("control", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  if (!net) return body;
  if (HINTERNET req = InternetOpenUrlA(net, url.c_str(), nullptr, 0, 0, 0)) {
    char buf[4096];
    DWORD got = 0;
    while (InternetReadFile(req, buf, sizeof buf, &got) && got > 0) body.append(buf, got);
    InternetCloseHandle(req);
  }
  InternetCloseHandle(net);
  return body;
}

// Whether WinINet's cache holds an entry for url.
bool Cached(const std::string& url) {
  DWORD size = 0;
  if (GetUrlCacheEntryInfoA(url.c_str(), nullptr, &size)) return true;
  return GetLastError() == ERROR_INSUFFICIENT_BUFFER;
}

// The download leaves no second copy of the body in the WinINet cache and
// sends no cookie: neither one that the system holds for the server nor one
// that the server set a moment before. WinINet's own request, without those
// flags, does both in the same process.
TEST_F(Download, NoCacheCopyAndNoCookies) {
  const std::string base = "http://127.0.0.1:" + std::to_string(ports_.http) + "/t/";
  ASSERT_TRUE(InternetSetCookieA(base.c_str(), "qrvheld", "1")) << GetLastError();
  const std::string tag = Tag();
  const std::string control = base + "headers?tag=control" + tag;
  EXPECT_NE(PlainFetch(control).find("qrvheld=1"), std::string::npos) << "the control sent no cookie";
  EXPECT_TRUE(Cached(control)) << "the control left no cache entry";
  for (bool to_file : {false, true}) {
    SCOPED_TRACE(to_file);
    for (const std::string route : {"headers?set=qrvset&tag=" + tag, "headers?tag=again" + tag}) {
      SCOPED_TRACE(route);
      ClassDownload d;
      Aim(d, route + (to_file ? "f" : "m"));
      if (to_file) d.SetFichero(target_);
      d.Descargar(1);
      ASSERT_FALSE(d.HuboError()) << d.Causa();
      const std::string sent = to_file ? ReadAll(target_) : d.ContenidoDescargado();
      EXPECT_NE(sent.find("User-Agent: kwDownload"), std::string::npos) << sent;
      EXPECT_EQ(sent.find("Cookie"), std::string::npos) << sent;
      EXPECT_FALSE(Cached(base + route + (to_file ? "f" : "m")));
    }
  }
  ExpectNoTemporaryFile();
}

// A failure says why in one line: the status, the WinINet error, the
// certificate.
TEST_F(Download, FailuresCarryTheirCause) {
  struct Case {
    bool secure;
    int port_kind;  // 0 http, 1 untrusted https, 2 nothing listening
    const char* route;
    const char* cause;
  } cases[] = {
      {false, 0, "status/404", "HTTP 404 Not Found"},
      {true, 1, "good.bin", "certificate problem"},
      {false, 2, "good.bin", "WinINet error 120"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.route);
    ClassDownload d;
    if (c.secure) {
      AimSecure(d, ports_.untrusted, c.route);
    } else {
      Aim(d, c.route);
      if (c.port_kind == 2) d.SetPuerto(1);
    }
    d.SetFichero(target_);
    d.Descargar(1);
    EXPECT_TRUE(d.HuboError());
    EXPECT_NE(d.Causa().find(c.cause), std::string::npos) << d.Causa();
  }
  ClassDownload ok;
  Aim(ok, "good.bin");
  ok.SetFichero(target_);
  ok.Descargar(1);
  EXPECT_FALSE(ok.HuboError());
  EXPECT_EQ(ok.Causa(), "");
}

}  // namespace
