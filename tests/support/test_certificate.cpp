#include "support/test_certificate.h"

#include <openssl/pem.h>
#include <openssl/x509v3.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace corvelle::testing {
namespace {

struct FileClose {
  void operator()(FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<FILE, FileClose>;

// A fresh temporary file name of our own (the file exists, empty) or empty on failure.
std::string MakeTempFile(const char* suffix) {
  std::string pattern = std::string("/tmp/corvelle-test-XXXXXX") + suffix;
  const int fd = ::mkstemps(pattern.data(), static_cast<int>(std::char_traits<char>::length(suffix)));
  if (fd < 0) {
    return {};
  }
  ::close(fd);
  return pattern;
}

bool AddExtension(X509* certificate, int nid, const char* value) {
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
  if (extension == nullptr) {
    return false;
  }
  const bool added = X509_add_ext(certificate, extension, -1) == 1;
  X509_EXTENSION_free(extension);
  return added;
}

}  // namespace

const TestCertificate& TestCertificate::Instance() {
  static const TestCertificate certificate;
  return certificate;
}

TestCertificate::TestCertificate() {
  key_.reset(EVP_EC_gen("P-256"));
  certificate_.reset(X509_new());
  if (!key_ || !certificate_) {
    return;
  }
  X509* cert = certificate_.get();
  X509_set_version(cert, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
  X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
  X509_gmtime_adj(X509_getm_notAfter(cert), 7L * 24 * 3600);
  X509_set_pubkey(cert, key_.get());
  X509_NAME* name = X509_get_subject_name(cert);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"),
                             -1, -1, 0);
  X509_set_issuer_name(cert, name);
  if (!AddExtension(cert, NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost") ||
      !AddExtension(cert, NID_basic_constraints, "critical,CA:TRUE") ||
      X509_sign(cert, key_.get(), EVP_sha256()) == 0) {
    certificate_.reset();
    return;
  }
  const std::string certFile = MakeTempFile(".crt");
  const std::string keyFile = MakeTempFile(".key");
  FileHandle certOut(certFile.empty() ? nullptr : std::fopen(certFile.c_str(), "w"));
  FileHandle keyOut(keyFile.empty() ? nullptr : std::fopen(keyFile.c_str(), "w"));
  if (certOut && keyOut && PEM_write_X509(certOut.get(), cert) == 1 &&
      PEM_write_PrivateKey(keyOut.get(), key_.get(), nullptr, nullptr, 0, nullptr, nullptr) == 1) {
    certFile_ = certFile;
    keyFile_ = keyFile;
  }
}

TestCertificate::~TestCertificate() {
  if (!certFile_.empty()) {
    std::remove(certFile_.c_str());
  }
  if (!keyFile_.empty()) {
    std::remove(keyFile_.c_str());
  }
}

ScopedEnvironment::ScopedEnvironment(std::string name, const char* value) : name_(std::move(name)) {
  if (name_.empty()) {
    return;
  }
  if (const char* old = std::getenv(name_.c_str())) {
    hadValue_ = true;
    oldValue_ = old;
  }
  if (value != nullptr) {
    ::setenv(name_.c_str(), value, 1);
  } else {
    ::unsetenv(name_.c_str());
  }
}

ScopedEnvironment::~ScopedEnvironment() {
  if (name_.empty()) {
    return;
  }
  if (hadValue_) {
    ::setenv(name_.c_str(), oldValue_.c_str(), 1);
  } else {
    ::unsetenv(name_.c_str());
  }
}

}  // namespace corvelle::testing
