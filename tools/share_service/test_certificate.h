#pragma once

#include <memory>
#include <string>

// OpenSSL's types stay opaque here; only the .cpp files of this tool include OpenSSL headers.
typedef struct x509_st X509;
typedef struct evp_pkey_st EVP_PKEY;

namespace corvelle::share_service {

struct X509Free {
  void operator()(X509* cert) const;
};
struct EvpPkeyFree {
  void operator()(EVP_PKEY* key) const;
};

// A self-signed certificate for 127.0.0.1, ::1 and localhost, made when the service starts. It is its
// own authority, so a client that trusts its PEM file (SSL_CERT_FILE) accepts the service.
struct TestCertificate {
  std::unique_ptr<X509, X509Free> certificate;
  std::unique_ptr<EVP_PKEY, EvpPkeyFree> key;
  std::string pem;  // the certificate in PEM form
};

// A new key and certificate; empty pointers when OpenSSL fails.
[[nodiscard]] TestCertificate MakeTestCertificate();

}  // namespace corvelle::share_service
