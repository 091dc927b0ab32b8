#pragma once
// ClassDownload: fetches one resource over HTTP(S) with WinINet, into a file
// (by way of a temporary file that replaces the target only when the body is
// complete) or into memory, raising Progreso after every block.
#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "shared/handles.h"

class ClassDownload {
 public:
  // Receives Progreso after every stored block that took time.
  class ProgresoReceiver {
   public:
    virtual ~ProgresoReceiver() = default;
    virtual void Progreso(int64_t BytesTotales, int64_t BytesRecibidos, int16_t Porcentaje,
                          int32_t SegundosTranscurridos, double SegundosRestantes, int32_t& BytesPorSegundo,
                          bool& Cancelar) = 0;
  };

  ClassDownload();
  ~ClassDownload();
  ClassDownload(const ClassDownload&) = delete;
  ClassDownload& operator=(const ClassDownload&) = delete;

  void SetReceiver(ProgresoReceiver* r) { receiver_ = r; }
  // Checks a complete body (the temporary file's path) before it may replace
  // the target; a refusal ends the download with error 997.
  void SetComprobarFichero(std::function<bool(const std::string&)> check) { comprobar_ = std::move(check); }

  // 0 = status and headers only; anything else also fetches the body.
  // Refused (nothing changes) while a download of this object is running.
  // While WinINet waits (connect, send, read), the calling thread keeps its
  // window messages moving, so the caller's Cancel button still works.
  void Descargar(const long& TipoAccion);
  bool Descargando() const { return running_; }
  // Asks the running download to stop: it ends as cancelled (998) within a
  // second, whatever stage it is in, and the target stays as it was. Meant
  // for a handler that runs while Descargar waits.
  void Cancelar() { cancelar_ = true; }

  // Connect, send and receive timeouts of each WinINet call, in ms.
  void SetTiempoEspera(uint32_t ms) { TiempoEspera_ = ms; }
  // The whole download's deadline, in ms from its start: a server that
  // sends a byte now and then still ends as an error.
  void SetPlazoTotal(uint32_t ms) { PlazoTotal_ = ms; }
  // The most bytes a body may have (-1: no limit of the caller's own); a
  // longer body ends the download as an error at the block that passes it.
  void SetLimiteBytes(int64_t bytes) { LimiteBytes_ = bytes; }

  // One line on why the last download failed: the HTTP status, the WinINet
  // error, the certificate problem, or the file problem. Empty after success.
  const std::string& Causa() const { return Causa_; }

  const std::string& URL() const { return URL_; }
  void SetURL(const std::string& v);
  int32_t Puerto() const;
  void SetPuerto(int32_t v) { Puerto_ = v; }
  const std::string& Usuario() const { return Usuario_; }
  void SetUsuario(const std::string& v) { Usuario_ = v; }
  const std::string& Password() const { return Password_; }
  void SetPassword(const std::string& v) { Password_ = v; }
  const std::string& UsarProxy() const { return UsarProxy_; }
  void SetUsarProxy(const std::string& v);
  const std::string& NoUsarProxy() const { return NoUsarProxy_; }
  void SetNoUsarProxy(const std::string& v);
  std::string Fichero() const;
  void SetFichero(const std::string& v) { Fichero_ = v; }
  int32_t BytesBloqueDescarga() const { return BytesBloqueDescarga_; }
  void SetBytesBloqueDescarga(int32_t v) { BytesBloqueDescarga_ = v; }

  const std::string& ContenidoDescargado() const { return ContenidoDescargado_; }
  bool HuboError() const { return HuboError_; }
  const std::string& StatusCode() const { return StatusCode_; }
  const std::string& StatusText() const { return StatusText_; }

  // Header switches and their results.
  bool QContentType = false;
  bool QContentLength = true;
  bool QLastModified = false;
  bool QVersion = false;
  bool QRawHeaders = false;
  bool QRawHeadersCrLf = false;
  bool QForwarded = false;
  bool QServer = false;
  bool QRequestMethod = false;
  bool QPragma = false;
  bool QExpires = false;
  const std::string& QContentLengthStr() const { return QContentLengthStr_; }
  const std::string& QContentTypeStr() const { return QContentTypeStr_; }
  const std::string& QForwardedStr() const { return QForwardedStr_; }
  const std::string& QLastModifiedStr() const { return QLastModifiedStr_; }
  const std::string& QPragmaStr() const { return QPragmaStr_; }
  const std::string& QRawHeadersStr() const { return QRawHeadersStr_; }
  const std::string& QRequestMethodStr() const { return QRequestMethodStr_; }
  const std::string& QServerStr() const { return QServerStr_; }
  const std::string& QVersionStr() const { return QVersionStr_; }
  const std::string& QRawHeadersCrLfStr() const { return QRawHeadersCrLfStr_; }
  void SetQRawHeadersCrLfStr(const std::string& v) { QRawHeadersCrLfStr_ = v; }
  const std::string& QExpiresStr() const { return QExpiresStr_; }
  void SetQExpiresStr(const std::string& v) { QExpiresStr_ = v; }

 private:
  bool AnalizarURL();
  bool ConsultarCabecera(DWORD level, std::string* text);
  void EstablecerError(int32_t code);
  void CerrarConexiones();
  void LimpiarCabeceras();
  static std::string CarpetaDeFichero(const std::string& fichero);
  bool Parar() const;
  void Fallar(int32_t code, const std::string& causa);

  std::string Protocolo;
  std::string Servidor;
  std::string Ruta;
  const DWORD Servicio = INTERNET_SERVICE_HTTP;
  bool URLValida = false;
  DWORD TipoAcceso = INTERNET_OPEN_TYPE_PRECONFIG;
  // Declared in the order they are opened, so that they also go in reverse.
  InternetHandle hInternet;
  InternetHandle hConexion;
  InternetHandle hPeticion;

  std::string URL_;
  bool HuboError_ = false;
  std::string StatusCode_;
  std::string StatusText_;
  std::string UsarProxy_;
  std::string NoUsarProxy_;
  std::string Usuario_;
  std::string Password_;
  std::string Fichero_;
  std::string ContenidoDescargado_;
  int32_t Puerto_ = 0;
  std::string QContentLengthStr_, QContentTypeStr_, QForwardedStr_, QLastModifiedStr_, QPragmaStr_,
      QRawHeadersStr_, QRequestMethodStr_, QServerStr_, QVersionStr_, QRawHeadersCrLfStr_;
  std::string QExpiresStr_;
  int32_t BytesBloqueDescarga_ = 512;

  ProgresoReceiver* receiver_ = nullptr;
  std::function<bool(const std::string&)> comprobar_;
  std::atomic<bool> cancelar_{false};
  bool running_ = false;
  uint32_t TiempoEspera_ = 30000;
  uint32_t PlazoTotal_ = 15 * 60 * 1000;
  int64_t LimiteBytes_ = -1;
  DWORD inicio_ = 0;
  std::string Causa_;
};
