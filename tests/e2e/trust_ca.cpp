// Makes a test CA trusted in this Wine prefix only: adds the DER certificate
// FILE to the current user's Root store, which crypt32 joins into the
// system's trusted roots when it checks a server's chain.
//   trust_ca FILE      exit 0 when the certificate is in the store
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: trust_ca FILE.der\n");
    return 2;
  }
  std::vector<unsigned char> der;
  if (FILE* f = std::fopen(argv[1], "rb")) {
    unsigned char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) der.insert(der.end(), buf, buf + n);
    std::fclose(f);
  }
  if (der.empty()) {
    std::fprintf(stderr, "trust_ca: %s is missing or empty\n", argv[1]);
    return 1;
  }
  HCERTSTORE root = CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, "Root");
  if (!root) {
    std::fprintf(stderr, "trust_ca: the Root store did not open (error %lu)\n", GetLastError());
    return 1;
  }
  const BOOL ok = CertAddEncodedCertificateToStore(root, X509_ASN_ENCODING, der.data(),
                                                   static_cast<DWORD>(der.size()),
                                                   CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
  const DWORD err = GetLastError();
  CertCloseStore(root, 0);
  if (!ok) {
    std::fprintf(stderr, "trust_ca: the certificate was not added (error %lu)\n", err);
    return 1;
  }
  return 0;
}
