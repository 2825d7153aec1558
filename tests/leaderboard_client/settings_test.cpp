// The leaderboard's address from the build and the environment.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "leaderboard_client/leaderboard_settings.h"
#include "leaderboard_client/submission_outcome.h"

namespace {

TEST(LeaderboardAddress, HttpsHostAndOptionalPortOnly) {
  struct Case {
    const char* url;
    const char* host;
    int port;
  };
  for (const Case& c :
       {Case{"https://lb.strelvik.org", "lb.strelvik.org", 443}, Case{"https://127.0.0.1:8443", "127.0.0.1", 8443},
        Case{"HTTPS://Lb.Example.org:1", "Lb.Example.org", 1}, Case{"https://[::1]:65535", "[::1]", 65535},
        Case{"https://[::1]", "[::1]", 443}}) {
    const LeaderboardSettings s = make_leaderboard_settings(c.url, nullptr, nullptr);
    EXPECT_EQ(s.unusable_reason, "") << c.url;
    EXPECT_EQ(s.host, c.host) << c.url;
    EXPECT_EQ(s.port, c.port) << c.url;
  }
  for (const char* bad :
       {"http://lb.strelvik.org", "lb.strelvik.org", "https://", "https://lb.org/api.php", "https://lb.org/",
        "https://lb.org:0", "https://lb.org:65536", "https://lb.org:", "https://lb.org:44x", "https://user@lb.org",
        "https://lb.org?x=1", "https://[::1", "ftp://lb.org", "https://lb org"}) {
    const LeaderboardSettings s = make_leaderboard_settings(bad, nullptr, nullptr);
    EXPECT_EQ(s.unusable_reason,
              "leaderboard address must be https://HOST or https://HOST:PORT, not '" + std::string(bad) + "'");
    EXPECT_TRUE(s.host.empty()) << bad;
  }
}

TEST(LeaderboardAddress, ThePlaceholderDomainMeansNotConfigured) {
  for (const char* url : {"https://leaderboard.strelvik.example", "https://X.EXAMPLE:8443", "https://a.example."}) {
    EXPECT_EQ(make_leaderboard_settings(url, nullptr, nullptr).unusable_reason, "Leaderboard not configured") << url;
  }
  EXPECT_EQ(make_leaderboard_settings("https://example.org", nullptr, nullptr).unusable_reason, "");
  EXPECT_EQ(make_leaderboard_settings("https://lb.example.org", nullptr, nullptr).unusable_reason, "");
  // Until a public server exists the build carries the placeholder.
  EXPECT_EQ(make_leaderboard_settings(built_in_leaderboard_url(), nullptr, nullptr).unusable_reason.empty(),
            built_in_leaderboard_url().find(".example") == std::string_view::npos);
}

TEST(LeaderboardAddress, ExtraAuthorityAndSubmissionSwitch) {
  const auto dir = std::filesystem::temp_directory_path();
  const auto pem = dir / ("strelvik-ca-" + std::to_string(::getpid()) + ".pem");
  { std::ofstream(pem) << "-----BEGIN CERTIFICATE-----\nMIIB\n-----END CERTIFICATE-----\n"; }
  const LeaderboardSettings with_ca = make_leaderboard_settings("https://lb.org", pem.string().c_str(), nullptr);
  EXPECT_EQ(with_ca.unusable_reason, "");
  EXPECT_NE(with_ca.extra_ca_pem.find("MIIB"), std::string::npos);
  std::filesystem::remove(pem);
  EXPECT_EQ(make_leaderboard_settings("https://lb.org", pem.string().c_str(), nullptr).unusable_reason,
            "STRELVIK_LEADERBOARD_CA: no PEM certificate could be read from '" + pem.string() + "'");
  EXPECT_EQ(make_leaderboard_settings("https://lb.org", "", nullptr).unusable_reason, "");

  EXPECT_TRUE(make_leaderboard_settings("https://lb.org", nullptr, nullptr).submissions_enabled);
  EXPECT_TRUE(make_leaderboard_settings("https://lb.org", nullptr, "0").submissions_enabled);
  EXPECT_FALSE(make_leaderboard_settings("https://lb.org", nullptr, "1").submissions_enabled);
  // Production time-outs.
  const LeaderboardSettings s = make_leaderboard_settings("https://lb.org", nullptr, nullptr);
  EXPECT_EQ(s.connect_timeout.count(), 10000);
  EXPECT_EQ(s.receive_timeout.count(), 10);
  EXPECT_EQ(s.max_reply_bytes, 4u << 20);
}

}  // namespace

TEST(SubmissionOutcome, ALoopbackLeaderboardIsNamedLocalAndTheClientsStatusReadsAsAnOutcome) {
  const LeaderboardSettings local = make_leaderboard_settings("https://127.0.0.1:8443", nullptr, nullptr);
  const LeaderboardSettings public_one = make_leaderboard_settings("https://scores.example.org", nullptr, nullptr);
  EXPECT_TRUE(is_local_leaderboard(local));
  EXPECT_TRUE(is_local_leaderboard(make_leaderboard_settings("https://[::1]:8443", nullptr, nullptr)));
  EXPECT_TRUE(is_local_leaderboard(make_leaderboard_settings("https://localhost", nullptr, nullptr)));
  EXPECT_FALSE(is_local_leaderboard(public_one));
  EXPECT_FALSE(is_local_leaderboard(make_leaderboard_settings("https://127.0.0.1.example.net", nullptr, nullptr)));
  EXPECT_EQ(submission_outcome("Submitted OK (multi 8123)", local), "submitted to the local leaderboard");
  EXPECT_EQ(submission_outcome("Submitted OK (multi 8123)", public_one), "submitted to the leaderboard");
  EXPECT_EQ(submission_outcome("Submit error: HTTP 500", local), "not submitted: HTTP 500");
  EXPECT_EQ(submission_outcome("Submitting...", local), "submitting...");
}
