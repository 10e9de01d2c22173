// The signature file beside the runtime library, as anyone who can write to the library's
// folder can make it: the library's content is fixed, the input is the signature file. The
// machine trusts the root of the throw-away chain that signed the seeds
// (fixtures/signature_file_root.pem), so a seed passes every check and its mutations reach
// every step: the CMS parse, the signature, the signer's usage, the chain and its names.

#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz_machine.h"
#include "platform/files.h"
#include "runtime/signature_check.h"

namespace {

// The content the seeds' signatures were made over.
constexpr char kContent[] = "Corvia runtime library stand-in for fuzzing\n";

void WriteFile(const std::filesystem::path& path, const char* data, size_t size) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(data, static_cast<std::streamsize>(size));
  if (!file) std::abort();
}

std::string PrepareLibrary() {
  const std::filesystem::path& machine = FuzzMachine::Prefix();
  // The system's own roots would be read for every input (slowly) and trust none of the seeds.
  setenv("SSL_CERT_FILE", (machine / "no-system-roots.pem").c_str(), 1);
  setenv("SSL_CERT_DIR", (machine / "no-system-roots").c_str(), 1);
  std::filesystem::create_directories(machine / "etc/corvia");
  std::filesystem::copy_file(CORVIA_FUZZ_SIGNATURE_ROOT, machine / "etc/corvia/trusted-roots.pem",
                             std::filesystem::copy_options::overwrite_existing);
  const std::filesystem::path library = machine / "LibLUXRT64_1.so";
  WriteFile(library, kContent, sizeof kContent - 1);
  return library.string();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string library = PrepareLibrary();
  WriteFile(library + ".sig", reinterpret_cast<const char*>(data), size);
  const platform::ReadOnlyFile file = platform::ReadOnlyFile::Open(library);
  LuxLoader::VerifyRuntimeSignature(library, file);
  return 0;
}
