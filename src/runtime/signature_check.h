#pragma once

#include <array>
#include <string>

#include "platform/code_signing.h"
#include "platform/files.h"

namespace LuxLoader {

/// One level of a signer chain: the common names its certificate must carry.
struct ExpectedCertificate {
  std::string issuer;
  std::string subject;
};

/// A signer chain of three levels, leaf (the signing certificate) first.
using ExpectedSignerChain = std::array<ExpectedCertificate, 3>;

/// The chains a runtime library may be signed with.
const std::array<ExpectedSignerChain, 1>& ExpectedSignerChains();

/// True when `signature` has exactly one signer whose chain of exactly three certificates
/// matches `expected` level by level (names compared exactly) and holds neither a test
/// certificate nor a self-signed certificate other than a trusted root.
bool SignerChainMatches(const platform::FileSignature& signature,
                        const ExpectedSignerChain& expected);

/// True when the file at `path`, open as `file`, carries a valid signature by one of the
/// expected signer chains.
bool VerifyRuntimeSignature(const std::string& path, const platform::ReadOnlyFile& file);

}  // namespace LuxLoader
