#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"

namespace platform {

/// One certificate of a signer's chain, as the trust provider reports it.
struct SignerCertificate {
  std::string subjectCommonName;
  std::string issuerCommonName;
  bool selfSigned = false;
  /// The certificate is one of the machine's trusted roots.
  bool trustedRoot = false;
  /// The certificate belongs to a test hierarchy that the system trusts for testing only.
  /// POSIX has no such hierarchies: the POSIX backend never sets it.
  bool testCertificate = false;
};

/// What the trust provider learned about a signed file whose signature it accepted.
struct FileSignature {
  size_t signerCount = 0;
  /// The chain of the first signer, leaf (the signing certificate) first.
  std::vector<SignerCertificate> signerChain;
};

/// Verifies the code signature of the file at `path`, whose open handle is `file`
/// (WinVerifyTrust with the generic verify action, no revocation checks). Nothing when the
/// file is unsigned, the signature does not match the content or its chain does not lead to
/// a trusted root for code signing; otherwise the signer facts to compare with expectations.
std::optional<FileSignature> VerifyFileSignature(const std::string& path, const ReadOnlyFile& file);

}  // namespace platform
