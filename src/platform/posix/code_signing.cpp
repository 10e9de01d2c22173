#include "platform/code_signing.h"

#include <openssl/cms.h>
#include <openssl/err.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <sys/stat.h>

#include <climits>
#include <memory>

#include "platform/machine.h"

// Code signatures are detached CMS signatures (DER) beside the signed file: "<file>.sig",
// made over the file's bytes in binary mode. A signature is accepted when it matches the
// content, its signer's certificate allows code signing and a chain leads from that
// certificate, through the certificates carried in the signature, to a trusted root: one of
// the system's roots or of the machine's trust file "etc/corvia/trusted-roots.pem".

namespace platform {

namespace {

template <auto Free>
struct OpenSslDeleter {
  template <typename T>
  void operator()(T* object) const {
    Free(object);
  }
};

using Bio = std::unique_ptr<BIO, OpenSslDeleter<BIO_free_all>>;
using CmsContent = std::unique_ptr<CMS_ContentInfo, OpenSslDeleter<CMS_ContentInfo_free>>;
using Store = std::unique_ptr<X509_STORE, OpenSslDeleter<X509_STORE_free>>;
using StoreContext = std::unique_ptr<X509_STORE_CTX, OpenSslDeleter<X509_STORE_CTX_free>>;

void FreeCertificates(STACK_OF(X509) * certificates) { sk_X509_pop_free(certificates, X509_free); }
void FreeStack(STACK_OF(X509) * certificates) { sk_X509_free(certificates); }
using OwnedCertificates = std::unique_ptr<STACK_OF(X509), OpenSslDeleter<FreeCertificates>>;
using CertificateReferences = std::unique_ptr<STACK_OF(X509), OpenSslDeleter<FreeStack>>;

constexpr char kSignatureSuffix[] = ".sig";
constexpr char kMachineTrustFile[] = "etc/corvia/trusted-roots.pem";

bool FileExists(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0;
}

// The trust store: the system's roots and the machine's trust file. Certificates carried in a
// signature never enter it; they only serve as intermediates.
Store MakeTrustStore() {
  Store store(X509_STORE_new());
  if (!store) return store;
  X509_STORE_set_default_paths(store.get());
  const std::string machineTrust = MachinePath(kMachineTrustFile);
  if (FileExists(machineTrust)) X509_STORE_load_file(store.get(), machineTrust.c_str());
  // Any purpose: the CMS default (S/MIME signing) does not fit code; the code-signing usage
  // of the signer is checked separately. Chains must end at a root, never part-way.
  X509_VERIFY_PARAM* parameters = X509_STORE_get0_param(store.get());
  X509_VERIFY_PARAM_set_purpose(parameters, X509_PURPOSE_ANY);
  X509_VERIFY_PARAM_clear_flags(parameters, X509_V_FLAG_PARTIAL_CHAIN);
  return store;
}

CmsContent ReadSignature(const std::string& path) {
  const std::optional<std::vector<uint8_t>> der =
      ReadOnlyFile::Open(path + kSignatureSuffix).ReadContents();
  if (!der || der->empty()) return nullptr;
  const unsigned char* cursor = der->data();
  CmsContent cms(d2i_CMS_ContentInfo(nullptr, &cursor, static_cast<long>(der->size())));
  if (cms && OBJ_obj2nid(CMS_get0_type(cms.get())) != NID_pkcs7_signed) cms.reset();
  return cms;
}

bool AllowsCodeSigning(X509* certificate) {
  return (X509_get_extension_flags(certificate) & EXFLAG_XKUSAGE) != 0 &&
         (X509_get_extended_key_usage(certificate) & XKU_CODE_SIGN) != 0;
}

std::string CommonName(const X509_NAME* name) {
  const int index = X509_NAME_get_index_by_NID(name, NID_commonName, -1);
  if (index < 0) return {};
  const ASN1_STRING* value = X509_NAME_ENTRY_get_data(X509_NAME_get_entry(name, index));
  unsigned char* utf8 = nullptr;
  const int length = ASN1_STRING_to_UTF8(&utf8, value);
  if (length < 0) return {};
  std::string text(reinterpret_cast<const char*>(utf8), static_cast<size_t>(length));
  OPENSSL_free(utf8);
  return text;
}

// Builds the chain from `leaf` to a trusted root over the store and `intermediates`.
std::optional<std::vector<SignerCertificate>> BuildChain(X509_STORE* store, X509* leaf,
                                                         STACK_OF(X509) * intermediates) {
  StoreContext context(X509_STORE_CTX_new());
  if (!context || X509_STORE_CTX_init(context.get(), store, leaf, intermediates) != 1 ||
      X509_verify_cert(context.get()) != 1) {
    return std::nullopt;
  }
  STACK_OF(X509)* chain = X509_STORE_CTX_get0_chain(context.get());
  // The certificates from index `untrusted` on came from the trust store.
  const int untrusted = X509_STORE_CTX_get_num_untrusted(context.get());
  std::vector<SignerCertificate> result;
  for (int i = 0; i < sk_X509_num(chain); ++i) {
    X509* certificate = sk_X509_value(chain, i);
    result.push_back({CommonName(X509_get_subject_name(certificate)),
                      CommonName(X509_get_issuer_name(certificate)),
                      (X509_get_extension_flags(certificate) & EXFLAG_SS) != 0, i >= untrusted,
                      false});
  }
  return result;
}

std::optional<FileSignature> Verify(const std::string& path, const ReadOnlyFile& file) {
  const std::optional<std::vector<uint8_t>> content = file.ReadContents();
  if (!content) return std::nullopt;
  const CmsContent cms = ReadSignature(path);
  const Store store = MakeTrustStore();
  if (!cms || !store) return std::nullopt;
  // The memory buffer takes its length as an int; an open file is always shorter than that.
  static_assert(ReadOnlyFile::kMaxBytes <= INT_MAX);
  Bio memory(BIO_new_mem_buf(content->data(), static_cast<int>(content->size())));
  // Handed over as a memory BIO, the content is copied by CMS_verify into a buffer of its own
  // that it leaks when the signed data cannot be read; behind a buffering filter it is read in
  // place.
  Bio data(BIO_new(BIO_f_buffer()));
  if (!memory || !data) return std::nullopt;
  BIO_push(data.get(), memory.release());
  if (CMS_verify(cms.get(), nullptr, store.get(), data.get(), nullptr, CMS_BINARY) != 1) {
    return std::nullopt;
  }
  FileSignature signature;
  signature.signerCount =
      static_cast<size_t>(sk_CMS_SignerInfo_num(CMS_get0_SignerInfos(cms.get())));
  const CertificateReferences signers(CMS_get0_signers(cms.get()));
  if (!signers || sk_X509_num(signers.get()) < 1) return std::nullopt;
  X509* leaf = sk_X509_value(signers.get(), 0);
  if (!AllowsCodeSigning(leaf)) return std::nullopt;
  const OwnedCertificates carried(CMS_get1_certs(cms.get()));
  std::optional<std::vector<SignerCertificate>> chain =
      BuildChain(store.get(), leaf, carried.get());
  if (!chain) return std::nullopt;
  signature.signerChain = std::move(*chain);
  return signature;
}

}  // namespace

std::optional<FileSignature> VerifyFileSignature(const std::string& path,
                                                 const ReadOnlyFile& file) {
  if (path.empty() || !file.IsOpen()) return std::nullopt;
  std::optional<FileSignature> signature = Verify(path, file);
  // OpenSSL keeps the reasons of a failure on a per-thread queue; they are not reported here.
  ERR_clear_error();
  return signature;
}

}  // namespace platform
