#pragma once
// A fresh self-signed certificate and its key, made with OpenSSL for one test, so that no key
// material lives in the repository.

#include <openssl/evp.h>
#include <openssl/x509.h>

#include <filesystem>
#include <string>

namespace kx::test {

// A self-signed CA certificate (subject "localhost", valid from an hour ago for a day) with an
// EC P-256 key. By default its subject alternative names cover both "localhost" and 127.0.0.1;
// `subjectAltNames` (OpenSSL's syntax, "DNS:a,IP:b") names others.
class SelfSignedCertificate {
  public:
    explicit SelfSignedCertificate(const std::string& subjectAltNames = kLoopbackNames);
    ~SelfSignedCertificate();
    SelfSignedCertificate(const SelfSignedCertificate&) = delete;
    SelfSignedCertificate& operator=(const SelfSignedCertificate&) = delete;

    X509* certificate() const { return certificate_; }
    EVP_PKEY* key() const { return key_; }
    // Writes the certificate as PEM, to serve as the CA file that trusts it.
    void writePem(const std::filesystem::path& file) const;

    static constexpr const char* kLoopbackNames = "DNS:localhost,IP:127.0.0.1";

  private:
    X509* certificate_ = nullptr;
    EVP_PKEY* key_ = nullptr;
};

}  // namespace kx::test
