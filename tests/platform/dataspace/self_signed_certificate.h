#pragma once
// A fresh self-signed certificate for 127.0.0.1 and its key, made with OpenSSL for one test, so
// that no key material lives in the repository.

#include <openssl/evp.h>
#include <openssl/x509.h>

#include <filesystem>

namespace kx::test {

class SelfSignedCertificate {
  public:
    SelfSignedCertificate();
    ~SelfSignedCertificate();
    SelfSignedCertificate(const SelfSignedCertificate&) = delete;
    SelfSignedCertificate& operator=(const SelfSignedCertificate&) = delete;

    X509* certificate() const { return certificate_; }
    EVP_PKEY* key() const { return key_; }
    // Writes the certificate as PEM, to serve as the CA file that trusts it.
    void writePem(const std::filesystem::path& file) const;

  private:
    X509* certificate_ = nullptr;
    EVP_PKEY* key_ = nullptr;
};

}  // namespace kx::test
