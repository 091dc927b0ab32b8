#include "download/class_download.h"

#include <algorithm>
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

// A file handle closed when it goes.
class FileHandle {
 public:
  explicit FileHandle(HANDLE h) : h_(h) {}
  ~FileHandle() { Close(); }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  bool ok() const { return h_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return h_; }
  bool Close() {
    if (h_ == INVALID_HANDLE_VALUE) return true;
    const BOOL closed = CloseHandle(h_);
    h_ = INVALID_HANDLE_VALUE;
    return closed != FALSE;
  }

 private:
  HANDLE h_;
};

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

bool StartsWithNoCase(const std::string& s, const char* prefix) {
  for (size_t i = 0; prefix[i]; ++i) {
    if (i >= s.size() || tolower(static_cast<unsigned char>(s[i])) != prefix[i]) return false;
  }
  return true;
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
  cancelar_ = false;

  URLValida = AnalizarURL();
  if (!URLValida) {
    HuboError_ = true;
    return;
  }
  const bool secure = Protocolo == "https";

  const bool own_proxy = TipoAcceso == INTERNET_OPEN_TYPE_PROXY;
  hInternet.Reset(InternetOpenA("kwDownload", TipoAcceso, own_proxy ? UsarProxy_.c_str() : nullptr,
                                own_proxy ? NoUsarProxy_.c_str() : nullptr, 0));
  if (!hInternet) return EstablecerError(download::kErrOpen);

  hConexion.Reset(InternetConnectA(hInternet.get(), Servidor.c_str(), static_cast<INTERNET_PORT>(Puerto()),
                                   Usuario_.c_str(), Password_.c_str(), Servicio, 0, 0));
  if (!hConexion) return EstablecerError(download::kErrConnect);

  // https asks for a secure channel; the certificate is checked (no flag
  // relaxes that).
  const DWORD flags = INTERNET_FLAG_RELOAD | (secure ? INTERNET_FLAG_SECURE : 0);
  hPeticion.Reset(HttpOpenRequestA(hConexion.get(), "GET", Ruta.c_str(), "HTTP/1.0", nullptr, nullptr, flags, 0));
  if (!hPeticion) return EstablecerError(download::kErrOpenRequest);

  if (!HttpSendRequestA(hPeticion.get(), nullptr, 0, nullptr, 0)) return EstablecerError(download::kErrSendRequest);
  if (secure) {
    // A redirect may not leave the secure channel: the answer would come
    // over plain http.
    char final_url[2048] = {};
    DWORD len = sizeof final_url - 1;
    if (InternetQueryOptionA(hPeticion.get(), INTERNET_OPTION_URL, final_url, &len) &&
        !StartsWithNoCase(final_url, "https:"))
      return EstablecerError(download::kErrSendRequest);
  }

  std::string text;
  if (!ConsultarCabecera(HTTP_QUERY_STATUS_TEXT, &text)) return EstablecerError(download::kErrQueryInfo);
  StatusText_ = text;
  if (!ConsultarCabecera(HTTP_QUERY_STATUS_CODE, &text)) return EstablecerError(download::kErrQueryInfo);
  StatusCode_ = text;
  if (StatusCode_.empty() || StatusCode_[0] != '2') {
    return EstablecerError(static_cast<int32_t>(std::max(-1.0e9, std::min(1.0e9, Val(StatusCode_)))));
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

  // The destination: a new temporary file beside the target, or memory.
  const bool to_file = !Fichero_.empty();
  std::string temp;
  HANDLE raw = INVALID_HANDLE_VALUE;
  if (to_file) {
    const std::string folder = CarpetaDeFichero(Fichero_);
    RemoveOrphanedTemporaryFiles(folder);
    char name[MAX_PATH + 1] = {};
    if (GetTempFileNameA(folder.c_str(), kTempPrefix, 0, name) == 0) return EstablecerError(download::kErrFile);
    temp = name;
    raw = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (raw == INVALID_HANDLE_VALUE) {
      (void)DeleteFileA(temp.c_str());
      return EstablecerError(download::kErrFile);
    }
  }
  FileHandle file(raw);
  download::MemoryBody body(length);
  auto fail = [&](int32_t code) {
    if (to_file) {
      file.Close();
      (void)DeleteFileA(temp.c_str());
    } else {
      ContenidoDescargado_ = body.Finish();
    }
    EstablecerError(code);
  };

  const int32_t block = std::max<int32_t>(0, std::min(BytesBloqueDescarga_, kMaxBlock));
  // Blocks are carved from what WinINet already holds: one call fetches all
  // the bytes that are ready (up to kReadAhead), never waiting for more than
  // one block, as a read of one block would. Each block still raises its
  // event and gives its chance to cancel. A call per 3-byte block costs
  // about 0.2 ms under Wine, a minute for one MiB.
  std::vector<char> ahead(static_cast<size_t>(std::max<int32_t>(block, kReadAhead)));
  size_t ahead_pos = 0, ahead_len = 0;
  WriteBuffer out(file.get());
  const DWORD t0 = GetTickCount();
  int64_t received = 0;
  bool read_ok = true;
  DWORD count = static_cast<DWORD>(block);
  while (read_ok && count != 0 && !cancelar_) {
    if (ahead_pos == ahead_len) {
      ahead_pos = ahead_len = 0;
      DWORD ready = 0;
      if (!InternetQueryDataAvailable(hPeticion.get(), &ready, 0, 0)) ready = 0;
      DWORD ask = std::min<DWORD>(ready, static_cast<DWORD>(ahead.size()));
      ask = std::max<DWORD>(ask - ask % static_cast<DWORD>(std::max(block, 1)), static_cast<DWORD>(block));
      DWORD got = 0;
      read_ok = InternetReadFile(hPeticion.get(), ahead.data(), ask, &got) != FALSE;
      ahead_len = got;
    }
    count = static_cast<DWORD>(std::min<size_t>(static_cast<size_t>(block), ahead_len - ahead_pos));
    if (!read_ok || count == 0) break;
    const char* data = ahead.data() + ahead_pos;
    ahead_pos += count;
    if (to_file) {
      // Bytes past the announced length are not part of the answer.
      DWORD keep = count;
      if (length >= 0 && received + count > length) keep = static_cast<DWORD>(std::max<int64_t>(0, length - received));
      if (!out.Write(data, keep)) return fail(download::kErrFile);
    } else {
      // An answer that never ends must not take all the memory.
      if (!body.Append(data, count)) return fail(download::kErrDownload);
    }
    received += count;
    const download::Progress p = download::ComputeProgress(length, received, GetTickCount() - t0);
    if (p.raise && receiver_) {
      int32_t rate = p.BytesPorSegundo;  // a change made by the receiver has no effect
      bool cancel = cancelar_;
      receiver_->Progreso(p.BytesTotales, p.BytesRecibidos, p.Porcentaje, p.SegundosTranscurridos,
                          p.SegundosRestantes, rate, cancel);
      cancelar_ = cancel;
    }
    DoEventsEvery(kPumpIntervalMs);
  }
  if (to_file && !out.Flush()) return fail(download::kErrFile);

  if (to_file) {
    const bool flushed = FlushFileBuffers(file.get()) != FALSE;
    if (!file.Close() || !flushed) return fail(download::kErrFile);
  }

  if (cancelar_) return fail(download::kErrCancelled);
  if (!read_ok) return fail(download::kErrDownload);
  if (!to_file) {
    ContenidoDescargado_ = body.Finish();
    return CerrarConexiones();
  }
  // A body that ended before its announced length was cut off: it must not
  // take the target's place.
  if (block > 0 && length >= 0 && received < length) return fail(download::kErrDownload);
  if (comprobar_ && !comprobar_(temp)) return fail(download::kErrInvalidBody);
  // One atomic step: the old file stays whole until the new one replaces it.
  if (!MoveFileExA(temp.c_str(), Fichero_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return fail(download::kErrFile);
  CerrarConexiones();
}
