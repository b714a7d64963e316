#include "engine/load/Fetch.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <zlib.h>

#include <chrono>
#include <thread>

#include "engine/load/Address.h"
#include "engine/load/LoopbackServer.h"
#include "engine/load/TempFolder.h"

namespace lectryn::engine {
namespace {

using testing::LoopbackServer;
using testing::Response;
using testing::TempFolder;

FetchResult FetchNow(const std::string& address, FetchLimits limits = {}) {
  Cancellation cancel;
  return Fetch(address, limits, cancel);
}

Response Redirect(const std::string& to) {
  return Response{302, {{"Location", to}}, "", 0, true};
}

class FetchHttp : public ::testing::Test {
 protected:
  LoopbackServer server;
};

TEST_F(FetchHttp, OrdinaryPageWithItsContentTypeAndLanguage) {
  server.Serve(
      "/page.htm",
      Response{
          200, {{"Content-Type", "text/html; charset=koi8-r"}, {"Content-Language", "ru"}}, "<p>hi</p>"});
  FetchResult result = FetchNow(server.Url("/page.htm"));
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ("<p>hi</p>", result.bytes);
  EXPECT_EQ("text/html; charset=koi8-r", result.contentType);
  EXPECT_EQ("ru", result.contentLanguage);
  EXPECT_EQ(server.Url("/page.htm"), result.address);
}

TEST_F(FetchHttp, RedirectChainEndsAtTheFinalAddress) {
  server.Serve("/one", Redirect("/two"));
  server.Serve("/two", Redirect(server.Url("/dir/three")));
  server.Serve("/dir/three", Redirect("end.htm"));
  server.Serve("/dir/end.htm", Response{200, {}, "<p>end</p>"});
  FetchResult result = FetchNow(server.Url("/one"));
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ("<p>end</p>", result.bytes);
  EXPECT_EQ(server.Url("/dir/end.htm"), result.address);
}

TEST_F(FetchHttp, RedirectLimits) {
  server.Serve("/loop", Redirect("/loop"));
  FetchResult loop = FetchNow(server.Url("/loop"));
  EXPECT_FALSE(loop.ok);
  EXPECT_EQ("cannot load " + server.Url("/loop") + ": too many redirects (more than 5)", loop.error);

  server.Serve("/a", Redirect("/b"));
  server.Serve("/b", Redirect("/c"));
  server.Serve("/c", Response{200, {}, "c"});
  FetchLimits twoRedirects;
  twoRedirects.maxRedirects = 2;
  EXPECT_TRUE(FetchNow(server.Url("/a"), twoRedirects).ok);
  twoRedirects.maxRedirects = 1;
  EXPECT_FALSE(FetchNow(server.Url("/a"), twoRedirects).ok);
}

TEST_F(FetchHttp, RedirectToALocalFileIsRefused) {
  TempFolder folder;
  std::string secret = folder.Write("secret.htm", "secret");
  server.Serve("/sneaky", Redirect(FileUrlFromPath(secret)));
  FetchResult result = FetchNow(server.Url("/sneaky"));
  EXPECT_FALSE(result.ok);
  EXPECT_TRUE(result.error.starts_with("cannot load " + server.Url("/sneaky") + ": ")) << result.error;
  EXPECT_EQ("", result.bytes);
}

TEST_F(FetchHttp, SlowAnswerTimesOut) {
  server.Serve("/slow", Response{200, {}, "late", 5000});
  FetchLimits limits;
  limits.timeoutMs = 200;
  FetchResult result = FetchNow(server.Url("/slow"), limits);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ("cannot load " + server.Url("/slow") + ": timed out after 0.2 s", result.error);
}

TEST_F(FetchHttp, OversizedAnswerStopsAtTheLimitWithOrWithoutLength) {
  FetchLimits limits;
  limits.maxBytes = 10 * 1024;
  server.Serve("/big", Response{200, {}, std::string(100'000, 'x')});
  server.Serve("/big-unannounced", Response{200, {}, std::string(100'000, 'x'), 0, false});
  server.Serve("/just-fits", Response{200, {}, std::string(10 * 1024, 'x'), 0, false});
  for (std::string path : {"/big", "/big-unannounced"}) {
    FetchResult result = FetchNow(server.Url(path), limits);
    EXPECT_FALSE(result.ok) << path;
    EXPECT_EQ("cannot load " + server.Url(path) + ": larger than 10 KiB", result.error);
  }
  EXPECT_TRUE(FetchNow(server.Url("/just-fits"), limits).ok);
}

// Hostile servers: every one ends the load with a message, well within the limits.
TEST_F(FetchHttp, ATrickleEndsAtTheTimeLimit) {
  FetchLimits limits;
  limits.timeoutMs = 1000;
  Response trickle{200, {}, std::string(200, 'x')};
  trickle.trickleMs = 100;  // a byte every tenth of a second: 20 s for the whole page
  server.Serve("/trickle", trickle);
  auto started = std::chrono::steady_clock::now();
  FetchResult result = FetchNow(server.Url("/trickle"), limits);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ("cannot load " + server.Url("/trickle") + ": timed out after 1 s", result.error);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10)) << "half the whole trickle";
}

TEST_F(FetchHttp, AnAnnouncedTwoGigabyteBodyIsRefusedBeforeItComes) {
  server.Serve("/huge", Response{200, {{"Content-Length", "2147483648"}}, std::string(4096, 'x'), 0, false});
  FetchResult result = FetchNow(server.Url("/huge"));
  EXPECT_FALSE(result.ok);
  EXPECT_EQ("cannot load " + server.Url("/huge") + ": larger than 8 MiB", result.error);
}

// 64 MiB of zeros in 64 KiB of gzip: the size limit counts what the page would be once decoded.
TEST_F(FetchHttp, ACompressionBombStopsAtTheLimitOfTheDecodedPage) {
  std::string zeros(64 * 1024 * 1024, '\0');
  z_stream stream{};
  ASSERT_EQ(Z_OK, deflateInit2(&stream, 9, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY));  // gzip wrapper
  std::string bomb(deflateBound(&stream, zeros.size()), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(zeros.data());
  stream.avail_in = static_cast<uInt>(zeros.size());
  stream.next_out = reinterpret_cast<Bytef*>(bomb.data());
  stream.avail_out = static_cast<uInt>(bomb.size());
  ASSERT_EQ(Z_STREAM_END, deflate(&stream, Z_FINISH));
  bomb.resize(stream.total_out);
  deflateEnd(&stream);
  ASSERT_LT(bomb.size(), 256u * 1024);

  server.Serve("/bomb", Response{200, {{"Content-Type", "text/html"}, {"Content-Encoding", "gzip"}}, bomb});
  FetchResult result = FetchNow(server.Url("/bomb"));
  EXPECT_FALSE(result.ok);
  EXPECT_EQ("cannot load " + server.Url("/bomb") + ": larger than 8 MiB", result.error);
}

TEST_F(FetchHttp, ErrorStatusIsAFailure) {
  FetchResult result = FetchNow(server.Url("/missing.htm"));
  EXPECT_FALSE(result.ok);
  EXPECT_EQ("cannot load " + server.Url("/missing.htm") + ": HTTP 404", result.error);
}

TEST_F(FetchHttp, PicturesAreNotPages) {
  server.Serve("/banner.jpg", Response{200, {{"Content-Type", "image/jpeg"}}, "\xFF\xD8\xFF"});
  EXPECT_EQ("cannot load " + server.Url("/banner.jpg") + ": not a web page but image/jpeg",
            FetchNow(server.Url("/banner.jpg")).error);
}

TEST_F(FetchHttp, CancelEndsAWaitingFetch) {
  server.Serve("/slow", Response{200, {}, "late", 20'000});
  FetchLimits limits;
  limits.timeoutMs = 60'000;
  Cancellation cancel;
  FetchResult result;
  std::thread fetching([&] { result = Fetch(server.Url("/slow"), limits, cancel); });
  while (server.Requests().empty()) std::this_thread::yield();
  cancel.Cancel();
  fetching.join();
  EXPECT_FALSE(result.ok);
  EXPECT_TRUE(result.error.ends_with(": cancelled")) << result.error;
}

TEST(FetchNetwork, NothingListeningIsAFailureNotAHang) {
  int port = 0;
  {
    LoopbackServer closed;
    port = closed.Port();
  }
  FetchResult result = FetchNow("http://127.0.0.1:" + std::to_string(port) + "/");
  EXPECT_FALSE(result.ok);
  EXPECT_TRUE(result.error.starts_with("cannot load http://127.0.0.1:")) << result.error;
}

TEST(FetchFiles, PlainPathsAndFileUrls) {
  TempFolder folder;
  std::string path = folder.Write("a b/p\xC3\xA9.htm", "<p>file</p>");
  FetchResult plain = FetchNow(path);
  ASSERT_TRUE(plain.ok) << plain.error;
  EXPECT_EQ("<p>file</p>", plain.bytes);
  EXPECT_EQ(FileUrlFromPath(path), plain.address);
  EXPECT_NE(std::string::npos, plain.address.find("a%20b/p%C3%A9.htm"));

  FetchResult url = FetchNow(FileUrlFromPath(path) + "#section");
  ASSERT_TRUE(url.ok) << url.error;
  EXPECT_EQ("<p>file</p>", url.bytes);
}

TEST(FetchFiles, FailuresNameTheFileAndSayWhy) {
  TempFolder folder;
  std::string missing = folder.Path("missing.htm");
  EXPECT_EQ("cannot read " + missing + ": no such file", FetchNow(missing).error);
  EXPECT_EQ("cannot read " + missing + ": no such file", FetchNow(FileUrlFromPath(missing)).error);
  EXPECT_EQ("cannot read " + folder.Path() + ": it is a folder, not a page", FetchNow(folder.Path()).error);
  EXPECT_EQ("cannot read file://server/x.htm: not a file on this computer",
            FetchNow("file://server/x.htm").error);

  FetchLimits limits;
  limits.maxBytes = 100;
  std::string big = folder.Write("big.htm", std::string(101, 'x'));
  EXPECT_EQ("cannot read " + big + ": larger than 100 bytes", FetchNow(big, limits).error);
}

TEST(FetchFiles, NamedPipeIsRefusedWithoutWaitingForAWriter) {
  TempFolder folder;
  std::string pipe = folder.Path("pipe.htm");
  ASSERT_EQ(0, mkfifo(pipe.c_str(), 0600));
  EXPECT_EQ("cannot read " + pipe + ": not a regular file", FetchNow(pipe).error);
}

TEST(FetchOther, BlankJavascriptAndUnsupported) {
  FetchResult blank = FetchNow("about:blank");
  EXPECT_TRUE(blank.ok);
  EXPECT_EQ("", blank.bytes);
  FetchResult script = FetchNow("javascript:'<b>x</b>'");
  EXPECT_TRUE(script.ok);
  EXPECT_EQ("<b>x</b>", script.bytes);
  EXPECT_EQ("javascript:'<b>x</b>'", script.address);
  FetchResult ftp = FetchNow("ftp://example.org/x");
  EXPECT_FALSE(ftp.ok);
  EXPECT_EQ("cannot load ftp://example.org/x: unsupported address; use a file, http or https address",
            ftp.error);
}

}  // namespace
}  // namespace lectryn::engine
