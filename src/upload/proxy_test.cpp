#include "upload/proxy.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace {

TEST(ParseProxyUrl, HostPortAndCredentialsOrAReasonWithoutThePassword) {
  using Case = std::tuple<std::string, std::string, int, std::string, std::string>;
  for (const auto& [text, host, port, user, password] : std::vector<Case>{
           {"http://proxy.example:3128", "proxy.example", 3128, "", ""},
           {"proxy.example", "proxy.example", kDefaultProxyPort, "", ""},
           {" HTTP://u%40x:p%3Aw@[::1]:8080/ ", "[::1]", 8080, "u@x", "p:w"},
           {"http://u:a@b@10.0.0.1:1", "10.0.0.1", 1, "u", "a@b"},
           // Failures: the host is empty.
           {"https://u:secret@p:1", "", 0, "", ""},
           {"http://u:secret@:3128", "", 0, "", ""},
           {"http://p:65536", "", 0, "", ""},
           {"http://[::1", "", 0, "", ""},
           {"http://[::1]x", "", 0, "", ""}}) {
    SCOPED_TRACE(text);
    const Result<ProxyUrl> got = ParseProxyUrl(text);
    ASSERT_EQ(got.ok(), !host.empty());
    if (!got) {
      EXPECT_EQ(got.failure().Text().find("secret"), std::string::npos);
      continue;
    }
    EXPECT_EQ(got->host, host);
    EXPECT_EQ(got->port, port);
    EXPECT_EQ(got->user, user);
    EXPECT_EQ(got->password, password);
    EXPECT_EQ(MaskedProxyUrl(*got).find(password.empty() ? "\n" : password), std::string::npos);
  }
  EXPECT_EQ(MaskedProxyUrl(*ParseProxyUrl("http://me:pw@p:3")), "http://me:***@p:3");
}

TEST(ChooseProxy, SettingThenEnvironmentForTheSchemeUnlessNoProxy) {
  const ProxyEnvironment env{"http://plain:1", "http://secure:2", "skip.example, .corp ,[::1]"};
  using Case = std::tuple<std::string, std::string, ProxyEnvironment, std::string>;
  for (const auto& [setting, address, environment, want] : std::vector<Case>{
           {"", "https://inv.example/", env, "secure"},
           {"", "https://SKIP.example/", env, ""},
           {"", "http://a.skip.example/", env, ""},
           {"", "http://noskip.example/", env, "plain"},
           {"", "http://x.corp/", env, ""},
           {"", "http://[::1]:80/", env, ""},
           {"", "http://inv.example/", {"http://plain:1", "", "*"}, ""},
           {"", "https://inv.example/", {"http://plain:1", "", ""}, ""},
           {"http://set:3", "http://skip.example/", env, "set"},  // no_proxy is the environment's
           {"None", "http://inv.example/", env, ""}}) {
    SCOPED_TRACE(setting + " " + address);
    const auto got = ChooseProxy(setting, ParseHttpAddress(address), environment);
    ASSERT_TRUE(got.ok());
    EXPECT_EQ(*got ? (*got)->host : "", want);
  }
  EXPECT_FALSE(ChooseProxy("socks5://p:1", ParseHttpAddress("http://i/"), {}).ok());
}

}  // namespace
