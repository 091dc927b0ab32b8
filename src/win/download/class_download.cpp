#include "download/class_download.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "download/download_logic.h"
#include "settings/numeric.h"
#include "shared/do_events.h"
#include "shared/files.h"

namespace {

// One read never asks for more than this, whatever the block size says: a
// block is a buffer in memory.
constexpr int32_t kMaxBlock = 1024 * 1024;

// Pending window messages run between blocks at most this often (see
// DoEventsEvery).
constexpr unsigned kPumpIntervalMs = 10;

// The most that one call to WinINet fetches for later blocks.
constexpr int32_t kReadAhead = 16 * 1024;

// The temporary file's prefix; the platform uses its first three characters.
constexpr char kTempPrefix[] = "QrvBlq";

bool WriteAll(HANDLE file, const char* data, DWORD n) {
  while (n > 0) {
    DWORD written = 0;
    if (!WriteFile(file, data, n, &written, nullptr) || written == 0) return false;
    data += written;
    n -= written;
  }
  return true;
}

// Collects small writes into larger ones: a system call per 3-byte block
// would cost more than the block.
class WriteBuffer {
 public:
  explicit WriteBuffer(HANDLE file) : file_(file) {}
  bool Write(const char* data, DWORD n) {
    if (buf_.size() + n > kSize && !Flush()) return false;
    if (n >= kSize) return WriteAll(file_, data, n);
    buf_.append(data, n);
    return true;
  }
  bool Flush() {
    if (buf_.empty()) return true;
    const bool ok = WriteAll(file_, buf_.data(), static_cast<DWORD>(buf_.size()));
    buf_.clear();
    return ok;
  }

 private:
  static constexpr size_t kSize = 64 * 1024;
  HANDLE file_;
  std::string buf_;
};

// Temporary files of earlier downloads in this folder that ended without
// cleaning up (the process was killed). A file still open by a running
// download cannot be deleted, so only orphans go.
void RemoveOrphanedTemporaryFiles(const std::string& folder) {
  const std::string base = folder.empty() ? std::string() : folder + "\\";
  for (const std::string& name : Module1::ListFiles(base, std::string(kTempPrefix, 3) + "*.tmp"))
    (void)DeleteFileA((base + name).c_str());
}

// A proxy or a bypass list of the caller's own replaces the system's settings.
DWORD AccessType(const std::string& proxy, const std::string& bypass) {
  return (!proxy.empty() || !bypass.empty()) ? INTERNET_OPEN_TYPE_PROXY : INTERNET_OPEN_TYPE_PRECONFIG;
}

// Redirects followed in a row before the download gives up.
constexpr int kMaxRedirects = 5;

// How often a wait looks at the cancel flag and the deadline, and how long
// a stopped WinINet call may take to return before it is left behind.
constexpr DWORD kWaitSliceMs = 50;
// Closing the handle ends a waiting call at once where the platform does so
// (Windows); where it does not (Wine), the call is left behind after this.
constexpr DWORD kStopGraceMs = 100;

// What one blocking WinINet call works on. It belongs to the worker as much
// as to the caller, so a call left behind after a cancel never touches
// memory that is gone.
struct Slot {
  HINTERNET h = nullptr;
  std::vector<char> buf;
  DWORD block = 0;  // read: the block size the ask is rounded to
  DWORD got = 0;
  BOOL ok = FALSE;
  DWORD err = 0;  // GetLastError of the worker thread, which owns it
};

void SendJob(Slot& s) {
  s.ok = HttpSendRequestA(s.h, nullptr, 0, nullptr, 0);
  s.err = s.ok ? 0 : GetLastError();
}

// Fetches what WinINet already holds, up to the buffer (rounded down to
// whole blocks), and never less than one block.
void ReadJob(Slot& s) {
  DWORD ready = 0;
  s.got = 0;
  // A wait that failed here (the receive timeout) ends the read: a read
  // after it would wait as long again.
  if (!InternetQueryDataAvailable(s.h, &ready, 0, 0)) {
    s.ok = FALSE;
    s.err = GetLastError();
    return;
  }
  DWORD ask = std::min<DWORD>(ready, static_cast<DWORD>(s.buf.size()));
  ask = std::max<DWORD>(ask - ask % std::max<DWORD>(s.block, 1), s.block);
  s.got = 0;
  s.ok = InternetReadFile(s.h, s.buf.data(), ask, &s.got);
  s.err = s.ok ? 0 : GetLastError();
}

// One thread that runs the blocking WinINet calls of a download, one at a
// time, while the calling thread pumps its window messages. A stop (cancel
// or deadline) closes the request handle, which ends the call; one that
// still does not return is left to finish on its own.
class Worker {
 public:
  using Job = void (*)(Slot&);
  Worker() : state_(std::make_shared<State>()) {
    auto* own = new std::shared_ptr<State>(state_);
    thread_ = CreateThread(nullptr, 0, &Worker::Main, own, 0, nullptr);
    if (!thread_) delete own;
  }
  ~Worker() {
    if (!thread_) return;
    state_->quit = true;
    SetEvent(state_->go);
    if (!abandoned_) WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
  }
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;

  Slot& slot() { return *state_->slot; }
  bool abandoned() const { return abandoned_; }

  // Runs job on the slot. True when the job finished; false when it was
  // stopped and did not return within the grace time (the slot is then the
  // worker's alone: a new one takes its place).
  bool Run(Job job, const std::function<bool()>& stop, const std::function<void()>& on_stop) {
    if (!thread_ || abandoned_) return false;
    state_->job = job;
    ResetEvent(state_->done);
    SetEvent(state_->go);
    bool stopping = false;
    DWORD stopped_at = 0;
    for (;;) {
      const DWORD r = MsgWaitForMultipleObjects(1, &state_->done, FALSE, kWaitSliceMs, QS_ALLINPUT);
      if (r == WAIT_OBJECT_0) return true;
      if (r == WAIT_OBJECT_0 + 1) DoEvents();
      if (!stopping && stop()) {
        stopping = true;
        stopped_at = GetTickCount();
        on_stop();
      }
      if (stopping && GetTickCount() - stopped_at >= kStopGraceMs) {
        if (WaitForSingleObject(state_->done, 0) == WAIT_OBJECT_0) return true;
        abandoned_ = true;
        return false;
      }
    }
  }

 private:
  struct State {
    HANDLE go = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::atomic<bool> quit{false};
    Job job = nullptr;
    std::shared_ptr<Slot> slot = std::make_shared<Slot>();
    ~State() {
      CloseHandle(go);
      CloseHandle(done);
    }
  };
  static DWORD WINAPI Main(LPVOID p) {
    std::unique_ptr<std::shared_ptr<State>> own(static_cast<std::shared_ptr<State>*>(p));
    State& st = **own;
    for (;;) {
      WaitForSingleObject(st.go, INFINITE);
      if (st.quit) return 0;
      st.job(*st.slot);
      SetEvent(st.done);
    }
  }

  std::shared_ptr<State> state_;
  HANDLE thread_ = nullptr;
  bool abandoned_ = false;
};

// The cause line of a failed WinINet call.
std::string WinInetCause(DWORD err) {
  const char* what = nullptr;
  switch (err) {
    case WSAETIMEDOUT:
    case ERROR_INTERNET_TIMEOUT: what = "the server did not answer in time"; break;
    case ERROR_INTERNET_NAME_NOT_RESOLVED: what = "the server's name was not found"; break;
    case ERROR_INTERNET_CANNOT_CONNECT: what = "the server refused the connection"; break;
    case ERROR_INTERNET_CONNECTION_ABORTED:
    case ERROR_INTERNET_CONNECTION_RESET: what = "the connection was broken"; break;
    case ERROR_INTERNET_INVALID_CA: what = "certificate problem: not issued by a trusted authority"; break;
    case ERROR_INTERNET_SEC_CERT_CN_INVALID: what = "certificate problem: issued for another name"; break;
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID: what = "certificate problem: expired or not yet valid"; break;
    case ERROR_INTERNET_SEC_CERT_REVOKED: what = "certificate problem: revoked"; break;
    case ERROR_INTERNET_SEC_CERT_REV_FAILED: what = "certificate problem: its revocation could not be checked"; break;
    case ERROR_INTERNET_SEC_CERT_ERRORS:
    case ERROR_INTERNET_SEC_INVALID_CERT:
    case 12175:  // the secure channel could not be set up
      what = "certificate problem: the secure channel failed"; break;
    default: break;
  }
  std::string line = what ? std::string(what) + " " : std::string();
  return line + "(WinINet error " + std::to_string(err) + ")";
}

// The cause line of a WinINet call that failed after `took` ms, where each
// wait may last `timeout` ms: a call that failed only after waiting that long
// ran out of time, whatever error the platform gave for it (Wine reports a
// receive timeout as a broken connection).
std::string FailedCallCause(DWORD err, DWORD took, uint32_t timeout) {
  if (timeout > 0 && took >= timeout - timeout / 10) return "the server did not answer in time";
  return WinInetCause(err);
}

// The cause line of a file that could not be written.
std::string FileCause(const std::string& what, DWORD err) {
  if (err == ERROR_ACCESS_DENIED || err == ERROR_WRITE_PROTECT) return "folder is read-only";
  return what + " (error " + std::to_string(err) + ")";
}

}  // namespace

ClassDownload::ClassDownload() = default;

ClassDownload::~ClassDownload() { CerrarConexiones(); }

void ClassDownload::SetURL(const std::string& v) {
  URL_ = v;
  URLValida = AnalizarURL();
}

int32_t ClassDownload::Puerto() const { return download::PuertoEfectivo(Protocolo, Puerto_); }

void ClassDownload::SetUsarProxy(const std::string& v) {
  UsarProxy_ = v;
  TipoAcceso = AccessType(UsarProxy_, NoUsarProxy_);
}

void ClassDownload::SetNoUsarProxy(const std::string& v) {
  NoUsarProxy_ = v;
  TipoAcceso = AccessType(UsarProxy_, NoUsarProxy_);
}

std::string ClassDownload::Fichero() const {
  const size_t b = Fichero_.find_first_not_of(' ');
  if (b == std::string::npos) return "";
  const size_t e = Fichero_.find_last_not_of(' ');
  return Fichero_.substr(b, e - b + 1);
}

bool ClassDownload::AnalizarURL() {
  const download::UrlParts p = download::AnalizarURL(URL_);
  Protocolo = p.Protocolo;
  Servidor = p.Servidor;
  Ruta = p.Ruta;
  if (!p.valida) {
    EstablecerError(download::kErrUrl);
    return false;
  }
  return true;
}

bool ClassDownload::ConsultarCabecera(DWORD level, std::string* text) {
  char buffer[1024] = {};
  DWORD length = sizeof buffer;
  DWORD index = 0;
  const bool ok = HttpQueryInfoA(hPeticion.get(), level, buffer, &length, &index) != FALSE;
  // The text ends at the first NUL whatever the call said: an untouched
  // buffer (a value too long for it) gives "", NUL-separated lines give the
  // first line only.
  *text = std::string(buffer, strnlen(buffer, sizeof buffer));
  return ok;
}

void ClassDownload::Fallar(int32_t code, const std::string& causa) {
  Causa_ = causa;
  EstablecerError(code);
}

bool ClassDownload::Parar() const { return cancelar_ || GetTickCount() - inicio_ >= PlazoTotal_; }

void ClassDownload::EstablecerError(int32_t code) {
  StatusCode_ = download::StatusCodeText(code);
  if (const char* t = download::ErrorText(code)) StatusText_ = t;
  CerrarConexiones();
  HuboError_ = true;
}

void ClassDownload::CerrarConexiones() {
  hPeticion.Close();
  hConexion.Close();
  hInternet.Close();
}

void ClassDownload::LimpiarCabeceras() {
  for (std::string* s : {&QContentLengthStr_, &QContentTypeStr_, &QForwardedStr_, &QLastModifiedStr_, &QPragmaStr_,
                         &QRawHeadersStr_, &QRequestMethodStr_, &QServerStr_, &QVersionStr_, &QRawHeadersCrLfStr_})
    s->clear();
}

std::string ClassDownload::CarpetaDeFichero(const std::string& fichero) {
  const size_t slash = fichero.find_last_of('\\');
  if (slash != std::string::npos) return fichero.substr(0, slash);
  char cwd[MAX_PATH] = {};
  const DWORD n = GetCurrentDirectoryA(MAX_PATH, cwd);
  return (n > 0 && n < MAX_PATH) ? std::string(cwd, n) : std::string(".");
}

void ClassDownload::Descargar(const long& TipoAccion) {
  if (running_) return;  // a second download from inside Progreso is refused
  running_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{running_};

  LimpiarCabeceras();
  HuboError_ = false;
  StatusCode_.clear();
  StatusText_.clear();
  ContenidoDescargado_.clear();
  Causa_.clear();
  cancelar_ = false;
  inicio_ = GetTickCount();

  URLValida = AnalizarURL();
  if (!URLValida) {
    HuboError_ = true;
    Causa_ = "the address is not an http or https address";
    return;
  }
  bool secure = Protocolo == "https";
  std::string servidor = Servidor, ruta = Ruta;
  INTERNET_PORT puerto = static_cast<INTERNET_PORT>(Puerto());

  // A stop ends as a cancel when the user asked for it, else as the deadline.
  auto stopped = [&] {
    if (cancelar_) return Fallar(download::kErrCancelled, "cancelled by the user");
    Fallar(download::kErrDownload, "the download took longer than " + std::to_string(PlazoTotal_ / 1000) + " s");
  };

  const bool own_proxy = TipoAcceso == INTERNET_OPEN_TYPE_PROXY;
  hInternet.reset(InternetOpenA("kwDownload", TipoAcceso, own_proxy ? UsarProxy_.c_str() : nullptr,
                                own_proxy ? NoUsarProxy_.c_str() : nullptr, 0));
  if (!hInternet) return Fallar(download::kErrOpen, WinInetCause(GetLastError()));
  // Every wait of WinINet ends by itself: a server that stops answering
  // gives an error, not a frozen dialog.
  auto set_timeouts = [this](HINTERNET h) {
    for (DWORD option :
         {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT}) {
      DWORD ms = TiempoEspera_;
      (void)InternetSetOptionA(h, option, &ms, sizeof ms);
    }
  };
  set_timeouts(hInternet.get());

  Worker worker;
  // Closing the request handle ends a WinINet call that waits on it.
  auto close_request = [this] { hPeticion.Close(); };

  // Redirects are followed here, not by WinINet: each new address is seen
  // before any request goes to it, and one that leaves https is refused.
  for (int hop = 0;; ++hop) {
    if (Parar()) return stopped();
    hPeticion.Close();
    hConexion.reset(InternetConnectA(hInternet.get(), servidor.c_str(), puerto, Usuario_.c_str(), Password_.c_str(),
                                     Servicio, 0, 0));
    if (!hConexion) return Fallar(download::kErrConnect, WinInetCause(GetLastError()));

    // https asks for a secure channel; the certificate is checked (no flag
    // relaxes that). The body is not kept in the WinINet cache (the target
    // is the only copy) and no cookies go out.
    const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_CACHE_WRITE |
                        INTERNET_FLAG_NO_COOKIES | (secure ? INTERNET_FLAG_SECURE : 0);
    hPeticion.reset(HttpOpenRequestA(hConexion.get(), "GET", ruta.c_str(), "HTTP/1.0", nullptr, nullptr, flags, 0));
    if (!hPeticion) return Fallar(download::kErrOpenRequest, WinInetCause(GetLastError()));
    set_timeouts(hPeticion.get());

    worker.slot().h = hPeticion.get();
    const DWORD sent_at = GetTickCount();
    const bool finished = worker.Run(&SendJob, [this] { return Parar(); }, close_request);
    if (Parar()) return stopped();
    if (!finished || !worker.slot().ok)
      return Fallar(download::kErrSendRequest,
                    FailedCallCause(finished ? worker.slot().err : 0, GetTickCount() - sent_at, TiempoEspera_));

    std::string code;
    if (!ConsultarCabecera(HTTP_QUERY_STATUS_CODE, &code)) return Fallar(download::kErrQueryInfo, "no status line");
    const bool redirect = code == "301" || code == "302" || code == "303" || code == "307" || code == "308";
    if (!redirect) break;
    if (hop >= kMaxRedirects)
      return Fallar(download::kErrSendRequest, "more than " + std::to_string(kMaxRedirects) + " redirects");

    // The new address, whatever its length, made absolute against this one.
    DWORD len = 0, index = 0;
    (void)HttpQueryInfoA(hPeticion.get(), HTTP_QUERY_LOCATION, nullptr, &len, &index);
    std::string location(len + 1, '\0');
    index = 0;
    if (len == 0 || !HttpQueryInfoA(hPeticion.get(), HTTP_QUERY_LOCATION, &location[0], &len, &index))
      return Fallar(download::kErrSendRequest, "a redirect without an address");
    location.resize(strnlen(location.c_str(), location.size()));
    const download::Destino next = download::ResolverRedireccion(secure, servidor, puerto, ruta, location);
    if (!next.valida) return Fallar(download::kErrSendRequest, "a redirect to an address that is not http or https");
    if (secure && !next.segura)
      return Fallar(download::kErrSendRequest, "a redirect from https to plain http was refused");
    secure = next.segura;
    servidor = next.Servidor;
    puerto = static_cast<INTERNET_PORT>(next.Puerto);
    ruta = next.Ruta;
  }

  std::string text;
  if (!ConsultarCabecera(HTTP_QUERY_STATUS_TEXT, &text)) return Fallar(download::kErrQueryInfo, "no status line");
  StatusText_ = text;
  if (!ConsultarCabecera(HTTP_QUERY_STATUS_CODE, &text)) return Fallar(download::kErrQueryInfo, "no status line");
  StatusCode_ = text;
  if (StatusCode_.empty() || StatusCode_[0] != '2') {
    const std::string cause = "the server answered HTTP " + StatusCode_ + " " + StatusText_;
    return Fallar(static_cast<int32_t>(std::max(-1.0e9, std::min(1.0e9, Val(StatusCode_)))), cause);
  }

  const bool length_ok = ConsultarCabecera(HTTP_QUERY_CONTENT_LENGTH, &text);
  const int64_t length = download::LongitudAnunciada(length_ok, text);
  if (QContentLength && length_ok) QContentLengthStr_ = text;
  struct Switch {
    bool on;
    DWORD level;
    std::string* result;
  } switches[] = {
      {QContentType, HTTP_QUERY_CONTENT_TYPE, &QContentTypeStr_},
      {QExpires, HTTP_QUERY_EXPIRES, &QExpiresStr_},
      {QLastModified, HTTP_QUERY_LAST_MODIFIED, &QLastModifiedStr_},
      {QPragma, HTTP_QUERY_PRAGMA | HTTP_QUERY_FLAG_REQUEST_HEADERS, &QPragmaStr_},
      {QVersion, HTTP_QUERY_VERSION, &QVersionStr_},
      {QRawHeaders, HTTP_QUERY_RAW_HEADERS, &QRawHeadersStr_},
      {QRawHeadersCrLf, HTTP_QUERY_RAW_HEADERS_CRLF, &QRawHeadersCrLfStr_},
      {QForwarded, HTTP_QUERY_FORWARDED, &QForwardedStr_},
      {QServer, HTTP_QUERY_SERVER, &QServerStr_},
      {QRequestMethod, HTTP_QUERY_REQUEST_METHOD | HTTP_QUERY_FLAG_REQUEST_HEADERS, &QRequestMethodStr_},
  };
  for (const Switch& s : switches) {
    if (s.on && ConsultarCabecera(s.level, &text)) *s.result = text;
  }

  if (TipoAccion == 0) return CerrarConexiones();

  const std::string too_long = "the body is longer than " + std::to_string(LimiteBytes_) + " bytes";
  // A body announced longer than the limit is refused before it is read.
  if (LimiteBytes_ >= 0 && length > LimiteBytes_) return Fallar(download::kErrDownload, too_long);

  // The destination: a new temporary file beside the target, or memory.
  const bool to_file = !Fichero_.empty();
  std::string temp;
  HANDLE raw = INVALID_HANDLE_VALUE;
  if (to_file) {
    const std::string folder = CarpetaDeFichero(Fichero_);
    RemoveOrphanedTemporaryFiles(folder);
    char name[MAX_PATH + 1] = {};
    if (GetTempFileNameA(folder.c_str(), kTempPrefix, 0, name) == 0)
      return Fallar(download::kErrFile, FileCause("the file could not be created", GetLastError()));
    temp = name;
    raw = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (raw == INVALID_HANDLE_VALUE) {
      const DWORD err = GetLastError();
      (void)DeleteFileA(temp.c_str());
      return Fallar(download::kErrFile, FileCause("the file could not be created", err));
    }
  }
  FileHandle file(raw);
  const size_t memory_limit =
      LimiteBytes_ >= 0 ? static_cast<size_t>(std::min<int64_t>(LimiteBytes_, download::MemoryBody::kMaxBytes))
                        : download::MemoryBody::kMaxBytes;
  download::MemoryBody body(length, memory_limit);
  auto fail = [&](int32_t code, const std::string& causa) {
    if (to_file) {
      file.Close();
      (void)DeleteFileA(temp.c_str());
    } else {
      ContenidoDescargado_ = body.Finish();
    }
    Fallar(code, causa);
  };
  auto fail_stopped = [&] {
    if (cancelar_) return fail(download::kErrCancelled, "cancelled by the user");
    fail(download::kErrDownload, "the download took longer than " + std::to_string(PlazoTotal_ / 1000) + " s");
  };

  const int32_t block = std::max<int32_t>(0, std::min(BytesBloqueDescarga_, kMaxBlock));
  // Blocks are carved from what WinINet already holds: one call fetches all
  // the bytes that are ready (up to kReadAhead), never waiting for more than
  // one block, as a read of one block would. Each block still raises its
  // event and gives its chance to cancel. A call per 3-byte block costs
  // about 0.2 ms under Wine, a minute for one MiB.
  worker.slot().buf.resize(static_cast<size_t>(std::max<int32_t>(block, kReadAhead)));
  worker.slot().block = static_cast<DWORD>(block);
  size_t ahead_pos = 0, ahead_len = 0;
  WriteBuffer out(file.get());
  const DWORD t0 = GetTickCount();
  int64_t received = 0;
  bool read_ok = true;
  DWORD read_err = 0, read_took = 0;
  DWORD count = static_cast<DWORD>(block);
  while (read_ok && count != 0 && !Parar()) {
    if (ahead_pos == ahead_len) {
      ahead_pos = ahead_len = 0;
      worker.slot().h = hPeticion.get();
      const DWORD asked_at = GetTickCount();
      if (!worker.Run(&ReadJob, [this] { return Parar(); }, close_request)) {
        read_ok = false;
        break;
      }
      if (Parar()) break;
      read_ok = worker.slot().ok != FALSE;
      read_err = worker.slot().err;
      read_took = GetTickCount() - asked_at;
      ahead_len = worker.slot().got;
    }
    count = static_cast<DWORD>(std::min<size_t>(static_cast<size_t>(block), ahead_len - ahead_pos));
    if (!read_ok || count == 0) break;
    const char* data = worker.slot().buf.data() + ahead_pos;
    ahead_pos += count;
    // The limit holds for every block, whatever the announcement said.
    if (LimiteBytes_ >= 0 && received + count > LimiteBytes_) return fail(download::kErrDownload, too_long);
    if (to_file) {
      // Bytes past the announced length are not part of the answer.
      DWORD keep = count;
      if (length >= 0 && received + count > length) keep = static_cast<DWORD>(std::max<int64_t>(0, length - received));
      if (!out.Write(data, keep)) return fail(download::kErrFile, FileCause("the file could not be written", GetLastError()));
    } else {
      // An answer that never ends must not take all the memory.
      if (!body.Append(data, count)) return fail(download::kErrDownload, too_long);
    }
    received += count;
    const download::Progress p = download::ComputeProgress(length, received, GetTickCount() - t0);
    if (p.raise && receiver_) {
      int32_t rate = p.BytesPorSegundo;  // a change made by the receiver has no effect
      bool cancel = cancelar_;
      receiver_->Progreso(p.BytesTotales, p.BytesRecibidos, p.Porcentaje, p.SegundosTranscurridos,
                          p.SegundosRestantes, rate, cancel);
      if (cancel) cancelar_ = true;
    }
    DoEventsEvery(kPumpIntervalMs);
  }
  if (Parar()) return fail_stopped();
  if (to_file && !out.Flush()) return fail(download::kErrFile, FileCause("the file could not be written", GetLastError()));

  if (to_file) {
    const bool flushed = FlushFileBuffers(file.get()) != FALSE;
    if (!file.Close() || !flushed) return fail(download::kErrFile, FileCause("the file could not be written", GetLastError()));
  }

  if (!read_ok) return fail(download::kErrDownload, FailedCallCause(read_err, read_took, TiempoEspera_));
  if (!to_file) {
    ContenidoDescargado_ = body.Finish();
    return CerrarConexiones();
  }
  // A body that ended before its announced length was cut off: it must not
  // take the target's place.
  if (block > 0 && length >= 0 && received < length)
    return fail(download::kErrDownload, "the body ended after " + std::to_string(received) + " of " +
                                            std::to_string(length) + " bytes");
  if (comprobar_ && !comprobar_(temp)) return fail(download::kErrInvalidBody, "the file is not a visualisation");
  // A cancel up to this point still wins: the old file stays.
  if (Parar()) return fail_stopped();
  // One atomic step: the old file stays whole until the new one replaces it.
  if (!MoveFileExA(temp.c_str(), Fichero_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return fail(download::kErrFile, FileCause("the file could not replace the old one", GetLastError()));
  CerrarConexiones();
}
