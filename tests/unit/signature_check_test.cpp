#include "runtime/signature_check.h"

#include <gtest/gtest.h>

namespace LuxLoader {
namespace {

using platform::FileSignature;
using platform::SignerCertificate;

FileSignature ExpectedSignature() {
  FileSignature signature;
  signature.signerCount = 1;
  signature.signerChain = {
      {"Corvia VR, LLC", "DigiCert SHA2 Assured ID Code Signing CA", false, false},
      {"DigiCert SHA2 Assured ID Code Signing CA", "DigiCert Assured ID Root CA", false, false},
      {"DigiCert Assured ID Root CA", "DigiCert Assured ID Root CA", true, true},
  };
  return signature;
}

const ExpectedSignerChain& Chain() { return ExpectedSignerChains()[0]; }

TEST(SignerChain, TheProgramHoldsOneChainOfThreeLevels) {
  ASSERT_EQ(ExpectedSignerChains().size(), 1u);
  EXPECT_EQ(Chain()[0].subject, "Corvia VR, LLC");
  EXPECT_EQ(Chain()[0].issuer, "DigiCert SHA2 Assured ID Code Signing CA");
  EXPECT_EQ(Chain()[1].subject, "DigiCert SHA2 Assured ID Code Signing CA");
  EXPECT_EQ(Chain()[1].issuer, "DigiCert Assured ID Root CA");
  EXPECT_EQ(Chain()[2].subject, "DigiCert Assured ID Root CA");
  EXPECT_EQ(Chain()[2].issuer, "DigiCert Assured ID Root CA");
}

TEST(SignerChain, TheExpectedSignatureMatches) {
  EXPECT_TRUE(SignerChainMatches(ExpectedSignature(), Chain()));
}

TEST(SignerChain, ExactlyOneSigner) {
  FileSignature signature = ExpectedSignature();
  signature.signerCount = 2;
  EXPECT_FALSE(SignerChainMatches(signature, Chain()));
  signature.signerCount = 0;
  EXPECT_FALSE(SignerChainMatches(signature, Chain()));
}

TEST(SignerChain, ExactlyThreeCertificates) {
  FileSignature signature = ExpectedSignature();
  signature.signerChain.pop_back();
  EXPECT_FALSE(SignerChainMatches(signature, Chain()));
  signature = ExpectedSignature();
  signature.signerChain.push_back(signature.signerChain.back());
  EXPECT_FALSE(SignerChainMatches(signature, Chain()));
}

TEST(SignerChain, NamesCompareExactlyAndCaseSensitively) {
  FileSignature signature = ExpectedSignature();
  signature.signerChain[0].subjectCommonName = "Corvia VR, Llc";
  EXPECT_FALSE(SignerChainMatches(signature, Chain()));
  signature = ExpectedSignature();
  signature.signerChain[1].issuerCommonName = "DigiCert Assured ID Root CA ";
  EXPECT_FALSE(SignerChainMatches(signature, Chain()));
  signature = ExpectedSignature();
  std::swap(signature.signerChain[0].subjectCommonName, signature.signerChain[0].issuerCommonName);
  EXPECT_FALSE(SignerChainMatches(signature, Chain()));
}

TEST(SignerChain, SelfSignedCertificatesMustBeTrustedRoots) {
  FileSignature signature = ExpectedSignature();
  signature.signerChain[2].trustedRoot = false;
  EXPECT_FALSE(SignerChainMatches(signature, Chain()));
  signature = ExpectedSignature();
  signature.signerChain[1].selfSigned = true;
  EXPECT_FALSE(SignerChainMatches(signature, Chain()));
  // A trusted root that is not self-signed (cross-signed) is fine.
  signature = ExpectedSignature();
  signature.signerChain[2].selfSigned = false;
  EXPECT_TRUE(SignerChainMatches(signature, Chain()));
}

TEST(SignerChain, TestCertificatesFailTheChain) {
  FileSignature signature = ExpectedSignature();
  signature.signerChain[0].testCertificate = true;
  EXPECT_FALSE(SignerChainMatches(signature, Chain()));
}

TEST(VerifyRuntimeSignature, UnopenedOrUnsignedFilesAreNotTrusted) {
  EXPECT_FALSE(VerifyRuntimeSignature("", platform::ReadOnlyFile()));
  const std::string path = testing::TempDir() + "unsigned_runtime.so";
  std::FILE* file = std::fopen(path.c_str(), "w");
  std::fputs("not a library", file);
  std::fclose(file);
  EXPECT_FALSE(VerifyRuntimeSignature(path, platform::ReadOnlyFile::Open(path)));
  std::remove(path.c_str());
}

}  // namespace
}  // namespace LuxLoader
