#include "platform/code_signing.h"

#include <windows.h>
// The trust provider's declarations after windows.h.
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include "platform/win32/wide_text.h"

// Authenticode through the system's trust provider: WinVerifyTrust with the generic verify
// action checks the signature, the content's hash and the chain to a trusted root; the signer's
// chain as the provider built it then tells the names and, per certificate, whether it is
// self-signed, a trusted root or a test certificate. The verification state is always closed.
//
// Trust is taken from the chain's own status as well as from the call's result: a chain that
// does not reach a trusted root (partial, untrusted, with a bad signature) is refused even when
// the provider reports success, as Wine's does for a chain that ends at an unknown root.

namespace platform {

namespace {

constexpr DWORD kMaxNameLength = 400;

// Revocation is not checked, so its status is unknown; every other error status fails a chain.
constexpr DWORD kIgnoredChainErrors =
    CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;

bool ChainIsTrusted(const CRYPT_PROVIDER_SGNR& signer) {
  return signer.dwError == ERROR_SUCCESS && signer.pChainContext != nullptr &&
         (signer.pChainContext->TrustStatus.dwErrorStatus & ~kIgnoredChainErrors) == 0;
}

std::string CommonName(PCCERT_CONTEXT certificate, DWORD flags) {
  wchar_t name[kMaxNameLength + 1] = {};
  const DWORD length =
      CertGetNameStringW(certificate, CERT_NAME_ATTR_TYPE, flags,
                         const_cast<char*>(szOID_COMMON_NAME), name, kMaxNameLength + 1);
  // The length counts the terminating NUL; 1 is the empty name.
  return length <= 1 ? std::string() : Narrow(std::wstring_view(name, length - 1));
}

// Closes the verification state that a WinVerifyTrust call with the verify action opened.
class TrustState {
 public:
  explicit TrustState(WINTRUST_DATA& data) : data_(data) {}
  ~TrustState() {
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    data_.dwStateAction = WTD_STATEACTION_CLOSE;
    WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data_);
  }
  TrustState(const TrustState&) = delete;
  TrustState& operator=(const TrustState&) = delete;

 private:
  WINTRUST_DATA& data_;
};

}  // namespace

std::optional<FileSignature> VerifyFileSignature(const std::string& path,
                                                 const ReadOnlyFile& file) {
  if (path.empty() || !file.IsOpen()) return std::nullopt;
  const std::wstring widePath = Widen(path);
  WINTRUST_FILE_INFO fileInfo{};
  fileInfo.cbStruct = sizeof fileInfo;
  fileInfo.pcwszFilePath = widePath.c_str();
  // The file stays open for reading only, so its content cannot change under the check.
  fileInfo.hFile = CreateFileW(widePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (fileInfo.hFile == INVALID_HANDLE_VALUE) return std::nullopt;
  WINTRUST_DATA data{};
  data.cbStruct = sizeof data;
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &fileInfo;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  data.dwProvFlags = WTD_REVOCATION_CHECK_NONE;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  const LONG verdict = WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  std::optional<FileSignature> signature;
  {
    const TrustState state(data);
    CRYPT_PROVIDER_DATA* provider = verdict == ERROR_SUCCESS && data.hWVTStateData != nullptr &&
                                            data.hWVTStateData != INVALID_HANDLE_VALUE
                                        ? WTHelperProvDataFromStateData(data.hWVTStateData)
                                        : nullptr;
    CRYPT_PROVIDER_SGNR* signer =
        provider != nullptr ? WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : nullptr;
    if (signer != nullptr && ChainIsTrusted(*signer)) {
      signature.emplace();
      signature->signerCount = provider->csSigners;
      for (DWORD i = 0; i < signer->csCertChain; ++i) {
        const CRYPT_PROVIDER_CERT& certificate = signer->pasCertChain[i];
        signature->signerChain.push_back(
            {CommonName(certificate.pCert, 0), CommonName(certificate.pCert, CERT_NAME_ISSUER_FLAG),
             certificate.fSelfSigned != FALSE, certificate.fTrustedRoot != FALSE,
             certificate.fTestCert != FALSE});
      }
    }
  }
  CloseHandle(fileInfo.hFile);
  return signature;
}

}  // namespace platform
