#include "test_certificate.h"

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace corvelle::share_service {
namespace {

constexpr long kValiditySeconds = 7L * 24 * 3600;

struct BioFree {
  void operator()(BIO* bio) const { BIO_free(bio); }
};

bool AddExtension(X509* cert, int nid, const char* value) {
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
  if (extension == nullptr) return false;
  const bool added = X509_add_ext(cert, extension, -1) == 1;
  X509_EXTENSION_free(extension);
  return added;
}

std::string ToPem(X509* cert) {
  std::unique_ptr<BIO, BioFree> bio(BIO_new(BIO_s_mem()));
  if (!bio || PEM_write_bio_X509(bio.get(), cert) != 1) return {};
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio.get(), &data);
  return size > 0 ? std::string(data, static_cast<std::size_t>(size)) : std::string();
}

}  // namespace

void X509Free::operator()(X509* cert) const {
  X509_free(cert);
}
void EvpPkeyFree::operator()(EVP_PKEY* key) const {
  EVP_PKEY_free(key);
}

TestCertificate MakeTestCertificate() {
  TestCertificate out;
  // An EC key: made in microseconds, where RSA key generation would slow every test's start-up.
  std::unique_ptr<EVP_PKEY, EvpPkeyFree> key(EVP_EC_gen("P-256"));
  std::unique_ptr<X509, X509Free> cert(X509_new());
  if (!key || !cert) return out;

  X509* c = cert.get();
  X509_set_version(c, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(c), 1);
  X509_gmtime_adj(X509_getm_notBefore(c), -3600);
  X509_gmtime_adj(X509_getm_notAfter(c), kValiditySeconds);
  X509_set_pubkey(c, key.get());
  X509_NAME* name = X509_get_subject_name(c);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>("Corvelle simulated share service"), -1,
                             -1, 0);
  X509_set_issuer_name(c, name);
  const bool extended = AddExtension(c, NID_basic_constraints, "critical,CA:TRUE") &&
                        AddExtension(c, NID_key_usage, "critical,digitalSignature,keyCertSign") &&
                        AddExtension(c, NID_subject_key_identifier, "hash") &&
                        AddExtension(c, NID_subject_alt_name, "IP:127.0.0.1,IP:::1,DNS:localhost");
  if (!extended || X509_sign(c, key.get(), EVP_sha256()) == 0) return out;

  out.pem = ToPem(c);
  out.certificate = std::move(cert);
  out.key = std::move(key);
  return out;
}

}  // namespace corvelle::share_service
