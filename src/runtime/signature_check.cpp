#include "runtime/signature_check.h"

namespace LuxLoader {

const std::array<ExpectedSignerChain, 1>& ExpectedSignerChains() {
  static const std::array<ExpectedSignerChain, 1> chains = {{{{
      {"DigiCert SHA2 Assured ID Code Signing CA", "Corvia VR, LLC"},
      {"DigiCert Assured ID Root CA", "DigiCert SHA2 Assured ID Code Signing CA"},
      {"DigiCert Assured ID Root CA", "DigiCert Assured ID Root CA"},
  }}}};
  return chains;
}

bool SignerChainMatches(const platform::FileSignature& signature,
                        const ExpectedSignerChain& expected) {
  if (signature.signerCount != 1 || signature.signerChain.size() != expected.size()) return false;
  for (size_t level = 0; level < expected.size(); ++level) {
    const platform::SignerCertificate& certificate = signature.signerChain[level];
    if (certificate.selfSigned && !certificate.trustedRoot) return false;
    if (certificate.testCertificate) return false;
    if (certificate.subjectCommonName != expected[level].subject ||
        certificate.issuerCommonName != expected[level].issuer) {
      return false;
    }
  }
  return true;
}

bool VerifyRuntimeSignature(const std::string& path, const platform::ReadOnlyFile& file) {
  const std::optional<platform::FileSignature> signature =
      platform::VerifyFileSignature(path, file);
  if (!signature) return false;
  for (const ExpectedSignerChain& chain : ExpectedSignerChains()) {
    if (SignerChainMatches(*signature, chain)) return true;
  }
  return false;
}

}  // namespace LuxLoader
