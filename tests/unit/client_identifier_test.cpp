#include "runtime/client_identifier.h"

#include <gtest/gtest.h>

namespace LuxLoader {
namespace {

TEST(ClientIdentifier, TheProgramsIdentifierIsIntact) {
  EXPECT_TRUE(ClientIdentifierIsIntact(kClientIdentifier));
}

TEST(ClientIdentifier, CarriesVersion1_43_0) {
  EXPECT_EQ(kClientIdentifier[kVersionMajorIndex], 1);
  EXPECT_EQ(kClientIdentifier[kVersionMinorIndex], 43);
  EXPECT_EQ(kClientIdentifier[kVersionPatchIndex], 0);
}

TEST(ClientIdentifier, AnyChangedIdentifierByteIsDetected) {
  for (size_t i = 0; i < kIdentifierSize; ++i) {
    ClientIdentifier damaged = kClientIdentifier;
    damaged[i] ^= 0x10;
    EXPECT_FALSE(ClientIdentifierIsIntact(damaged)) << "byte " << i;
  }
}

TEST(ClientIdentifier, VersionBytesAreNotPartOfTheCheck) {
  ClientIdentifier other = kClientIdentifier;
  other[kVersionMinorIndex] = 44;
  EXPECT_TRUE(ClientIdentifierIsIntact(other));
}

}  // namespace
}  // namespace LuxLoader
