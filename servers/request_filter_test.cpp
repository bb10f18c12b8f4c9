#include "servers/request_filter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "platform/test_support.h"

namespace scrivex {
namespace {

using platform::IpAddress;

IpAddress Address(const std::string& text) {
  IpAddress a{};
  EXPECT_TRUE(
      platform::ParseIpv6(text.find(':') == std::string::npos ? "::ffff:" + text : text, &a))
      << text;
  return a;
}

// Names as a resolver would give them, without asking the network.
bool FakeResolve(const std::string& name, std::vector<IpAddress>* addresses) {
  static const std::map<std::string, std::vector<std::string>> kNames = {
      {"example.org", {"93.184.216.34"}},
      {"intranet.corp", {"10.1.2.3"}},
      {"rebound.example", {"93.184.216.34", "127.0.0.1"}},  // one bad address is enough
  };
  auto found = kNames.find(name);
  if (found == kNames.end()) return false;
  for (const std::string& text : found->second) addresses->push_back(Address(text));
  return true;
}

TEST(RequestFilter, FilePagesReadTheirFolderAndPublicHostsOnly) {
  test::ScratchDir dir;
  namespace fs = std::filesystem;
  fs::create_directories(dir.Path("site/pictures"));
  fs::create_directories(dir.Path("outside"));
  dir.Write("site/page.html", "<p>");
  dir.Write("site/pictures/a.png", "png");
  dir.Write("outside/secret.txt", "secret");
  fs::create_directory_symlink(dir.Path("outside"), dir.Path("site/door"));
  fs::create_symlink(dir.Path("outside/secret.txt"), dir.Path("site/secret-link.txt"));
  fs::create_symlink(dir.Path("site/pictures/a.png"), dir.Path("outside/to-site.png"));
  const std::string site = "file://" + dir.Path("site/");
  const std::string out = "file://" + dir.Path("outside/");
  const RequestScope scope = ScopeOfPage(site + "page.html");
  EXPECT_EQ(scope.folder, fs::canonical(dir.Path("site")).string());
  EXPECT_TRUE(scope.host.empty());

  const struct {
    std::string url;
    bool allowed;
  } kCases[] = {
      {site + "page.html", true},
      {site + "pictures/a.png?v=1#top", true},
      {site + "pictures/../pictures/a.png", true},
      {site + "not-yet-there.css", true},
      {site, true},  // its own listing
      {site + "pictures/../../outside/secret.txt", false},
      {site + "%2e%2e/outside/secret.txt", false},
      {site + "pictures%2F..%2F..%2Foutside/secret.txt", false},
      {site + "door/secret.txt", false},  // a symlink out of the folder
      {site + "secret-link.txt", false},
      {site + "missing/../../outside/secret.txt", false},
      {out + "secret.txt", false},
      {out + "to-site.png", true},  // lands in the folder
      {"file:///etc/passwd", false},
      {"FILE:///etc/passwd", false},
      {"file://localhost/etc/passwd", false},
      {"file://otherhost" + dir.Path("site/page.html"), false},
      {site + "a%00.png", false},
      {"data:text/html,<b>hi</b>", true},
      {"blob:null/0d7f9a3c-1b2e-4c5d-8e9f-0a1b2c3d4e5f", true},
      {"about:blank", true},
      {"about:srcdoc", true},
      {"about:version", false},
      {"http://example.org/a.png", true},
      {"wss://example.org/socket", true},
      {"http://93.184.216.34/", true},
      {"http://172.32.0.1/", true},  // just past the private 172.16/12
      {"http://172.15.255.255/", true},
      {"http://[2606:2800:220:1::1]/", true},
      {"http://127.0.0.1:8080/leak?p=/home/page.html", false},
      {"http://127.1.2.3/", false},
      {"http://[::1]/", false},
      {"http://[::ffff:127.0.0.1]/", false},
      {"http://[fe80::1]/", false},
      {"http://[fd00::1]/", false},
      {"http://[fc00::1]/", false},
      {"http://[64:ff9b::a00:1]/", false},    // 10.0.0.1 through NAT64
      {"http://[2002:c0a8:101::1]/", false},  // 192.168.1.1 through 6to4
      {"http://10.0.0.1/", false},
      {"http://172.16.0.1/", false},
      {"http://172.31.255.255/", false},
      {"http://192.168.1.1/", false},
      {"http://169.254.169.254/latest/meta-data/", false},
      {"http://0.0.0.0:8080/", false},
      {"http://100.64.0.1/", false},
      {"http://224.0.0.1/", false},
      {"http://2130706433/", false},  // 127.0.0.1 as one number
      {"http://0x7f.1/", false},
      {"http://0x7F000001/", false},
      {"http://0177.0.0.1/", false},
      {"http://127.0.0.1./", false},
      {"http://%31%32%37.0.0.1/", false},
      {"http://example.org@127.0.0.1/", false},
      {"http:\\\\127.0.0.1\\x", false},
      {"http://256.0.0.1/", false},  // no address at all
      {"http://localhost:8080/", false},
      {"http://LocalHost./", false},
      {"http://app.localhost/", false},
      {"http://intranet.corp/", false},
      {"http://rebound.example/", false},
      {"http://no-such-name.example/", false},
      {"filesystem:http://example.org/temporary/a", false},
      {"javascript:alert(1)", false},
      {"http://[::1/", false},
      {"http:///", false},
  };
  for (const auto& c : kCases) {
    std::string why;
    EXPECT_EQ(MayLoad(c.url, scope, FakeResolve, &why), c.allowed) << c.url;
    EXPECT_EQ(why.empty(), c.allowed) << c.url << ": " << why;
  }
  // A page named through a link reads the folder of that name, and itself.
  fs::create_symlink(dir.Path("site/page.html"), dir.Path("outside/linked.html"));
  const RequestScope linked = ScopeOfPage(out + "linked.html");
  EXPECT_EQ(linked.folder, fs::canonical(dir.Path("outside")).string());
  std::string why;
  EXPECT_TRUE(MayLoad(out + "linked.html", linked, FakeResolve, &why)) << why;
  EXPECT_TRUE(MayLoad(out + "secret.txt", linked, FakeResolve, &why)) << why;
  EXPECT_FALSE(MayLoad(site + "pictures/a.png", linked, FakeResolve, &why));
}

TEST(RequestFilter, AnAddressPageReachesItsOwnHostAndPortOnly) {
  const std::string local = "http://127.0.0.1:8080/report?x=1";
  EXPECT_TRUE(ScopeOfPage(local).folder.empty());
  const struct {
    std::string page, url;
    bool allowed;
  } kCases[] = {
      {local, "http://127.0.0.1:8080/pictures/a.png", true},
      {local, "ws://127.0.0.1:8080/live", true},
      {local, "http://2130706433:8080/a.png", true},  // the same host however written
      {local, "http://127.0.0.1:8081/", false},
      {local, "http://127.0.0.1/", false},
      {local, "http://localhost:8080/", false},
      {local, "http://10.0.0.1:8080/", false},
      {local, "http://example.org/a.png", true},
      {local, "file:///etc/passwd", false},
      // A named private host and an IPv6 one, with their schemes' own ports.
      {"https://Intranet.Corp/wiki", "https://intranet.corp:443/style.css", true},
      {"https://Intranet.Corp/wiki", "wss://intranet.corp/feed", true},
      {"https://Intranet.Corp/wiki", "http://intranet.corp/style.css", false},
      {"http://[::1]:9000/", "http://[0:0::1]:9000/a.png", true},
      {"http://[::1]:9000/", "http://[::1]:9001/a.png", false},
  };
  for (const auto& c : kCases) {
    std::string why;
    EXPECT_EQ(MayLoad(c.url, ScopeOfPage(c.page), FakeResolve, &why), c.allowed)
        << c.page << " " << c.url << ": " << why;
  }
}

}  // namespace
}  // namespace scrivex
