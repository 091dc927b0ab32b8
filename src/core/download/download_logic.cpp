#include "download/download_logic.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <limits>

namespace download {

UrlParts AnalizarURL(const std::string& url) {
  UrlParts p;
  size_t host = 0;
  const size_t sep = url.find("://");
  if (sep != std::string::npos) {
    p.Protocolo = url.substr(0, sep);
    for (char& c : p.Protocolo) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    host = sep + 3;
  } else {
    p.Protocolo = "http";
  }
  if (p.Protocolo != "http" && p.Protocolo != "https") return p;
  size_t slash = url.find('/', host);
  if (slash == std::string::npos) slash = url.size();
  p.Servidor = url.substr(host, slash - host);
  if (slash + 1 < url.size()) p.Ruta = url.substr(slash);
  p.valida = true;
  return p;
}

Destino ResolverRedireccion(bool segura, const std::string& servidor, int32_t puerto, const std::string& ruta,
                            const std::string& location) {
  Destino d;
  std::string loc = location;
  while (!loc.empty() && (loc.back() == ' ' || loc.back() == '\t')) loc.pop_back();
  const size_t first = loc.find_first_not_of(" \t");
  loc = first == std::string::npos ? std::string() : loc.substr(first);
  if (loc.empty()) return d;
  std::string lower = loc.substr(0, std::min<size_t>(loc.size(), 8));
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  size_t authority = std::string::npos;
  if (lower.rfind("http://", 0) == 0) {
    d.segura = false;
    authority = 7;
  } else if (lower.rfind("https://", 0) == 0) {
    d.segura = true;
    authority = 8;
  } else if (loc.rfind("//", 0) == 0) {
    d.segura = segura;
    authority = 2;
  } else if (loc.find(':') != std::string::npos && loc.find(':') < loc.find_first_of("/?#")) {
    return d;  // another scheme (ftp:, file:, javascript:)
  }
  if (authority == std::string::npos) {
    // Same server: an absolute path, or one relative to this one's folder.
    d.segura = segura;
    d.Servidor = servidor;
    d.Puerto = puerto;
    if (loc[0] == '/') {
      d.Ruta = loc;
    } else {
      const std::string path = ruta.substr(0, ruta.find('?'));
      const size_t slash = path.rfind('/');
      d.Ruta = (slash == std::string::npos ? std::string("/") : path.substr(0, slash + 1)) + loc;
    }
  } else {
    const size_t end = loc.find_first_of("/?#", authority);
    std::string host = loc.substr(authority, end == std::string::npos ? std::string::npos : end - authority);
    if (host.find('@') != std::string::npos) return d;  // no user names in a redirect
    d.Puerto = d.segura ? 443 : 80;
    const size_t colon = host.rfind(':');
    if (colon != std::string::npos && host.find(']') == std::string::npos) {
      const std::string digits = host.substr(colon + 1);
      if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos)
        return d;
      const long port = std::stol(digits);
      if (port < 1 || port > 65535) return d;
      d.Puerto = static_cast<int32_t>(port);
      host.resize(colon);
    }
    if (host.empty()) return d;
    d.Servidor = host;
    d.Ruta = end == std::string::npos ? std::string("/") : loc.substr(end);
    if (d.Ruta[0] != '/') d.Ruta = "/" + d.Ruta;
  }
  // A fragment is never sent.
  const size_t hash = d.Ruta.find('#');
  if (hash != std::string::npos) d.Ruta.resize(hash);
  d.valida = true;
  return d;
}

int32_t PuertoEfectivo(const std::string& protocolo, int32_t puerto) {
  if (puerto != 0) return puerto;
  if (protocolo == "http") return 80;
  if (protocolo == "https") return 443;
  return 0;
}

const char* ErrorText(int32_t code) {
  switch (code) {
    case kErrUrl: return "URL incorrecta.";
    case kErrOpen: return "Error en InternetOpen.";
    case kErrConnect: return "Error en InternetConnect.";
    case kErrOpenRequest: return "Error en InternetOpenRequest.";
    case kErrSendRequest: return "Error en InternetSendRequest.";
    case kErrQueryInfo: return "Error en InternetQueryInfo.";
    case kErrReadFile: return "Error en InternetReadFile.";
    case kErrFile: return "No se ha podido crear el fichero de destino.";
    case kErrInvalidBody: return "El fichero descargado no es v\xE1lido.";
    case kErrCancelled: return "Descarga cancelada por el usuario.";
    case kErrDownload: return "Ha ocurrido un error durante la descarga.";
    default: return nullptr;
  }
}

std::string StatusCodeText(int32_t code) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%03d", static_cast<int>(code));
  return buf;
}

double RoundHalfEven(double v) {
  // nearbyint rounds in the current mode, which is to-nearest-even unless a
  // caller changed it; do it by hand so the result never depends on that.
  const double f = std::floor(v);
  const double d = v - f;
  if (d < 0.5) return f;
  if (d > 0.5) return f + 1;
  return std::fmod(f, 2.0) == 0 ? f : f + 1;
}

int64_t LongitudAnunciada(bool query_ok, const std::string& text) {
  if (!query_ok) return -1;
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  size_t end = text.size();
  while (end > i && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
  if (i == end) return -1;
  int64_t v = 0;
  for (size_t k = i; k < end; ++k) {
    const char c = text[k];
    if (c < '0' || c > '9') return -1;
    if (v > (std::numeric_limits<int64_t>::max() - (c - '0')) / 10) return -1;
    v = v * 10 + (c - '0');
  }
  return v;
}

namespace {
template <typename T>
T Clamped(double v) {
  if (!(v == v)) return 0;
  if (v >= static_cast<double>(std::numeric_limits<T>::max())) return std::numeric_limits<T>::max();
  if (v <= static_cast<double>(std::numeric_limits<T>::min())) return std::numeric_limits<T>::min();
  return static_cast<T>(v);
}
}  // namespace

Progress ComputeProgress(int64_t length, int64_t received, uint32_t elapsed_ms) {
  Progress p;
  p.BytesTotales = length;
  p.BytesRecibidos = received;
  if (elapsed_ms == 0) return p;
  p.raise = true;
  const double seconds = elapsed_ms / 1000.0;
  const double rate = static_cast<double>(received) / seconds;
  p.BytesPorSegundo = Clamped<int32_t>(RoundHalfEven(rate));
  p.SegundosTranscurridos = Clamped<int32_t>(RoundHalfEven(seconds));
  double remaining = 0;
  if (length >= 0) {
    if (length > 0) p.Porcentaje = Clamped<int16_t>(RoundHalfEven(static_cast<double>(received) * 100.0 / static_cast<double>(length)));
    if (rate > 0) remaining = static_cast<double>(length) / rate - seconds;
  }
  if (remaining < 0) remaining = 0;
  p.SegundosRestantes = RoundHalfEven(remaining);
  return p;
}

bool MemoryBody::Append(const char* data, size_t n) {
  if (length_ >= 0) {
    const int64_t room = length_ - static_cast<int64_t>(text_.size());
    if (room <= 0) return true;
    if (static_cast<int64_t>(n) > room) n = static_cast<size_t>(room);
  }
  if (n > max_bytes_ - text_.size()) return false;
  text_.append(data, n);
  return true;
}

std::string MemoryBody::Finish() {
  if (length_ > 0) {
    const int64_t target = std::min(length_, kPadBound);
    if (static_cast<int64_t>(text_.size()) < target) text_.resize(static_cast<size_t>(target), ' ');
  }
  std::string out;
  out.swap(text_);
  return out;
}

}  // namespace download
