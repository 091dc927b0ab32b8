#pragma once
// The download class's decisions that need no network: URL analysis, the
// progress figures of each block, the error table, the status code text,
// and the body kept in memory when no file is given.
#include <cstdint>
#include <string>

namespace download {

// Result of the URL analysis (AnalizarURL).
struct UrlParts {
  bool valida = false;
  std::string Protocolo;  // scheme in lower case
  std::string Servidor;   // host part, as written (a ":port" stays in it)
  std::string Ruta;       // "/..." or empty
};
UrlParts AnalizarURL(const std::string& url);

// Where a redirect leads: the address of its Location made absolute against
// the address that answered. valida false when it is neither http nor https,
// or its host or port cannot be read.
struct Destino {
  bool valida = false;
  bool segura = false;  // https
  std::string Servidor;
  int32_t Puerto = 0;
  std::string Ruta;  // "/..." with its query
};
Destino ResolverRedireccion(bool segura, const std::string& servidor, int32_t puerto, const std::string& ruta,
                            const std::string& location);

// The port that a Puerto of 0 stands for: 80 for http, 443 for https, 0 else.
int32_t PuertoEfectivo(const std::string& protocolo, int32_t puerto);

// The class's error codes.
enum : int32_t {
  kErrUrl = 1,
  kErrOpen = 2,
  kErrConnect = 3,
  kErrOpenRequest = 4,
  kErrSendRequest = 5,
  kErrQueryInfo = 6,
  kErrReadFile = 7,
  kErrFile = 8,
  kErrInvalidBody = 997,
  kErrCancelled = 998,
  kErrDownload = 999,
};

// The text of one of the class's codes, or nullptr when the code is not in
// its table (an HTTP status then keeps the server's reason phrase).
const char* ErrorText(int32_t code);

// A code written with at least three digits: 1 -> "001", 404 -> "404".
std::string StatusCodeText(int32_t code);

// Banker's rounding (halves to even), as every figure of the class rounds.
double RoundHalfEven(double v);

// Length announced by a Content-Length text: its number when the text is a
// non-negative whole number that fits, otherwise -1 (unknown).
int64_t LongitudAnunciada(bool query_ok, const std::string& text);

// The figures that one Progreso event carries.
struct Progress {
  bool raise = false;  // false while no time has passed: the rate has no value
  int64_t BytesTotales = -1;
  int64_t BytesRecibidos = 0;
  int16_t Porcentaje = 0;
  int32_t SegundosTranscurridos = 0;
  double SegundosRestantes = 0;
  int32_t BytesPorSegundo = 0;
};
// length -1 when unknown; elapsed_ms since the body transfer began.
Progress ComputeProgress(int64_t length, int64_t received, uint32_t elapsed_ms);

// The body of a download without a file. It grows with what arrives and is
// never sized by the announced length: bytes past a known length are
// dropped, and a body shorter than announced is padded with blanks at the
// end, but only up to kPadBound so that a lying length allocates nothing big.
// An endless answer (no length, or a huge true one) stops at max_bytes.
class MemoryBody {
 public:
  static constexpr int64_t kPadBound = 4 * 1024 * 1024;
  static constexpr size_t kMaxBytes = 64 * 1024 * 1024;
  explicit MemoryBody(int64_t length, size_t max_bytes = kMaxBytes) : length_(length), max_bytes_(max_bytes) {}
  // False when the kept body would pass max_bytes: nothing of this block is
  // kept and the download must end as an error.
  bool Append(const char* data, size_t n);
  // Pads a short body (bounded) and hands the text over.
  std::string Finish();
  const std::string& text() const { return text_; }

 private:
  int64_t length_;
  size_t max_bytes_;
  std::string text_;
};

}  // namespace download
