// The limits a request is read within, decided before anything past them is kept.
#include "leaderboard_server/front/request_framing.h"

#include <gtest/gtest.h>

namespace {

const FramingLimits kLimits;

Framing frame(const std::string& text) { return frame_request(text, kLimits); }

TEST(RequestFraming, RefusesWhatHttpForbidsOrTheLimitsExclude) {
  const std::string post = "POST /api.php HTTP/1.1\r\nHost: x\r\n";
  const std::vector<std::pair<std::string, int>> cases = {
      {post + "Content-Length: 5\r\nContent-Length: 6\r\n\r\nhello", 400},
      {post + "Content-Length: 5, 6\r\n\r\nhello", 400},
      {post + "Content-Length: -5\r\n\r\n", 400},
      {post + "Content-Length: 5\r\nTransfer-Encoding: chunked\r\n\r\n", 400},
      {post + "Transfer-Encoding: gzip, chunked\r\n\r\n", 501},
      {post + "\r\n", 411},
      {post + "Content-Length: 4097\r\n\r\n", 413},
      {post + "Transfer-Encoding: chunked\r\n\r\n1000\r\n" + std::string(4096, 'x') + "\r\n1\r\n", 413},
      {post + "Transfer-Encoding: chunked\r\n\r\n5\r\nhelloXX", 400},
      {post + "Transfer-Encoding: chunked\r\n\r\nzz\r\n", 400},
      {"GET /" + std::string(8200, 'a') + " HTTP/1.1\r\n", 414},
      {"GET /" + std::string(8200, 'a'), 414},
      {"GET / HTTP/1.1\r\nX: " + std::string(8200, 'a'), 431},
      {"GET / HTTP/1.1\r\nX: " + std::string(8200, 'a') + "\r\n\r\n", 431},
      {[] {
         std::string many = "GET / HTTP/1.1\r\n";
         for (int i = 0; i < 101; ++i) many += "X: y\r\n";
         return many;
       }(),
       431},
      {"GET / HTTP/1.1\r\nX: a\r\n folded\r\n\r\n", 400},
      {"GET / HTTP/1.1\r\nNo colon\r\n\r\n", 400},
      {"GET / HTTP/2.0\r\n\r\n", 505},
      {"GET /a b HTTP/1.1\r\n\r\n", 400},
  };
  for (const auto& [text, status] : cases) {
    SCOPED_TRACE(text.substr(0, 120));
    const Framing f = frame(text);
    EXPECT_EQ(f.outcome, Framing::Outcome::Refuse);
    EXPECT_EQ(f.status, status) << f.reason;
  }
}

TEST(RequestFraming, RefusalsNameTheLimitsInForce) {
  EXPECT_EQ(frame("GET /" + std::string(8200, 'a')).reason, "request line is longer than 8 KiB");
  FramingLimits small;
  small.max_request_line = 1000;
  small.max_header_bytes = 3000;
  EXPECT_EQ(frame_request("GET /" + std::string(1000, 'a'), small).reason, "request line is longer than 1000 bytes");
  EXPECT_EQ(frame_request("GET / HTTP/1.1\r\nX: " + std::string(3000, 'a'), small).reason,
            "request header block is larger than 3000 bytes");
}

TEST(RequestFraming, WaitsForTheWholeRequestAndTakesOnlyItsBytes) {
  const std::string get = "GET /healthz HTTP/1.1\r\nHost: x\r\n\r\n";
  for (std::size_t cut = 0; cut < get.size(); ++cut)
    EXPECT_EQ(frame(get.substr(0, cut)).outcome, Framing::Outcome::NeedMore) << cut;

  // Pipelined requests are taken one at a time.
  const std::string post = "POST /api.php HTTP/1.1\r\nContent-Length: 2\r\nContent-Length: 2\r\n\r\n{}";
  const Framing first = frame(post + get);
  ASSERT_EQ(first.outcome, Framing::Outcome::Complete);
  EXPECT_EQ(first.consumed, post.size());
  EXPECT_EQ(first.request, "POST /api.php HTTP/1.1\r\nContent-Length: 2\r\n\r\n{}");
  EXPECT_EQ(frame(post.substr(0, post.size() - 1)).outcome, Framing::Outcome::NeedMore);

  // A chunked body is handed on with a length; the client waiting for 100 Continue is told so.
  const std::string chunked = "POST /api.php HTTP/1.1\r\nTransfer-Encoding: chunked\r\nExpect: 100-continue\r\n\r\n";
  EXPECT_TRUE(frame(chunked).expects_continue);
  const std::string body = "2;ext=1\r\n{\"\r\n1\r\n}\r\n0\r\nTrailer: t\r\n\r\n";
  const Framing whole = frame(chunked + body + get);
  ASSERT_EQ(whole.outcome, Framing::Outcome::Complete);
  EXPECT_EQ(whole.request, "POST /api.php HTTP/1.1\r\nContent-Length: 3\r\n\r\n{\"}");
  EXPECT_EQ(whole.consumed, chunked.size() + body.size());
}

}  // namespace
