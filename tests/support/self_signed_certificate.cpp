#include "tests/support/self_signed_certificate.h"

#include <gtest/gtest.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <memory>

namespace kx::test {

namespace {

void addExtension(X509* certificate, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension =
        X509V3_EXT_conf_nid(nullptr, &context, nid, const_cast<char*>(value));
    ASSERT_NE(extension, nullptr);
    X509_add_ext(certificate, extension, -1);
    X509_EXTENSION_free(extension);
}

}  // namespace

SelfSignedCertificate::SelfSignedCertificate(const std::string& subjectAltNames) {
    key_ = EVP_EC_gen("P-256");
    certificate_ = X509_new();
    if (key_ == nullptr || certificate_ == nullptr) {
        ADD_FAILURE() << "OpenSSL could not make a key";
        return;
    }
    X509_set_version(certificate_, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate_), 1);
    X509_gmtime_adj(X509_getm_notBefore(certificate_), -3600);
    X509_gmtime_adj(X509_getm_notAfter(certificate_), 24L * 3600);
    X509_set_pubkey(certificate_, key_);
    X509_NAME* name = X509_get_subject_name(certificate_);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("localhost"), -1, -1, 0);
    X509_set_issuer_name(certificate_, name);
    addExtension(certificate_, NID_basic_constraints, "critical,CA:TRUE");
    addExtension(certificate_, NID_subject_alt_name, subjectAltNames.c_str());
    EXPECT_GT(X509_sign(certificate_, key_, EVP_sha256()), 0);
}

SelfSignedCertificate::~SelfSignedCertificate() {
    X509_free(certificate_);
    EVP_PKEY_free(key_);
}

void SelfSignedCertificate::writePem(const std::filesystem::path& file) const {
    const std::unique_ptr<FILE, int (*)(FILE*)> out(std::fopen(file.c_str(), "w"), &std::fclose);
    ASSERT_NE(out, nullptr);
    ASSERT_EQ(PEM_write_X509(out.get(), certificate_), 1);
}

}  // namespace kx::test
