#pragma once

#include <openssl/evp.h>
#include <openssl/x509.h>

#include <memory>
#include <string>

// A self-signed certificate for 127.0.0.1 and localhost, made once per test process with the OpenSSL
// API and written (certificate and key, PEM) to temporary files that are removed when the process ends.
// A client trusts it by pointing SSL_CERT_FILE at CertFile().
namespace corvelle::testing {

class TestCertificate {
 public:
  // The process's certificate; Valid() is false when it could not be made.
  static const TestCertificate& Instance();

  [[nodiscard]] bool Valid() const {
    return certificate_ != nullptr && key_ != nullptr && !certFile_.empty();
  }
  [[nodiscard]] X509* Certificate() const { return certificate_.get(); }
  [[nodiscard]] EVP_PKEY* Key() const { return key_.get(); }
  [[nodiscard]] const std::string& CertFile() const { return certFile_; }
  [[nodiscard]] const std::string& KeyFile() const { return keyFile_; }

  TestCertificate(const TestCertificate&) = delete;
  TestCertificate& operator=(const TestCertificate&) = delete;
  ~TestCertificate();

 private:
  TestCertificate();

  struct X509Free {
    void operator()(X509* certificate) const { X509_free(certificate); }
  };
  struct KeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
  };
  std::unique_ptr<X509, X509Free> certificate_;
  std::unique_ptr<EVP_PKEY, KeyFree> key_;
  std::string certFile_;
  std::string keyFile_;
};

// Sets an environment variable for the lifetime of the object and restores the old state afterwards.
class ScopedEnvironment {
 public:
  // An empty `name` does nothing; `value` null unsets the variable.
  ScopedEnvironment(std::string name, const char* value);
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::string name_;
  bool hadValue_ = false;
  std::string oldValue_;
};

}  // namespace corvelle::testing
