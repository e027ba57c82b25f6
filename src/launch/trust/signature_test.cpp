#include "launch/trust/signature.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace quarvel::launcher {
namespace {

std::string Narrow(const std::u16string& text) { return std::string(text.begin(), text.end()); }

TEST(AcceptedSigners, EveryConfiguredNameIsAcceptedExactly) {
  ASSERT_FALSE(AcceptedSigners().empty());
  for (const char16_t* accepted : AcceptedSigners()) {
    const std::u16string name(accepted);
    EXPECT_TRUE(IsAcceptedSigner(name.c_str())) << Narrow(name);
    std::u16string lower = name;
    std::u16string upper = name;
    for (char16_t& c : lower) c = c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
    for (char16_t& c : upper) c = c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
    // Variants that are not themselves configured are refused.
    for (const std::u16string& variant :
         {lower, upper, name + u".", name + u" ", u" " + name, name.substr(0, name.size() - 1)}) {
      bool configured = false;
      for (const char16_t* other : AcceptedSigners()) configured = configured || variant == other;
      if (!configured) {
        EXPECT_FALSE(IsAcceptedSigner(variant.c_str())) << Narrow(variant);
      }
    }
  }
}

TEST(AcceptedSigners, DefaultNamesRefuseNearMisses) {
  if (!IsAcceptedSigner(u"Tavik Interactive, Inc.")) GTEST_SKIP() << "built with another signer list";
  const char16_t* const refused[] = {
      u"tavik interactive, inc.",  // case
      u"Tavik Interactive, Inc",   // no trailing period
      u"Quarvel Technologies Ltd.",  // a trailing period too many
      u"Tavik Interactive, Inc. ",
      u"",
  };
  for (const char16_t* name : refused) EXPECT_FALSE(IsAcceptedSigner(name)) << Narrow(name);
  EXPECT_FALSE(IsAcceptedSigner(nullptr));
}

TEST(SignerPolicy, NamesAloneOrNamesWithPinnedCodeSigningKeys) {
  const char16_t* const names[] = {u"Quarvel Technologies Ltd"};
  PublicKeyHash pinned{};
  pinned.fill(0xA5);
  PublicKeyHash stranger{};
  stranger.fill(0x5A);
  const PublicKeyHash keys[] = {pinned};
  const SignerPolicy namesOnly{names, {}};
  const SignerPolicy withKeys{names, keys};

  struct Case {
    const char* name;
    SignerFacts signer;
    const SignerPolicy& policy;
    std::string expected;
  };
  const Case cases[] = {
      {"accepted name, no pinning", {u"Quarvel Technologies Ltd", stranger, false}, namesOnly, ""},
      {"other name, no pinning", {u"Quarvel Technologies Ltd.", pinned, true}, namesOnly,
       "the signer's name is not accepted"},
      {"accepted name and pinned code-signing key", {u"Quarvel Technologies Ltd", pinned, true}, withKeys, ""},
      {"accepted name, key not pinned", {u"Quarvel Technologies Ltd", stranger, true}, withKeys,
       "the signer's public key is not pinned"},
      {"pinned key, not for code signing", {u"Quarvel Technologies Ltd", pinned, false}, withKeys,
       "the signer's certificate is not for code signing"},
      {"pinned key, other name", {u"Someone Else", pinned, true}, withKeys, "the signer's name is not accepted"},
  };
  for (const Case& test : cases) EXPECT_EQ(JudgeSigner(test.signer, test.policy), test.expected) << test.name;
}

TEST(SignerPolicy, TheBuildsPolicyNamesTheAcceptedSigners) {
  const SignerPolicy policy = BuildSignerPolicy();
  ASSERT_EQ(policy.names.size(), AcceptedSigners().size());
  EXPECT_TRUE(std::equal(policy.names.begin(), policy.names.end(), AcceptedSigners().begin()));
}

}  // namespace
}  // namespace quarvel::launcher
