// kolmo-cli makes no network request, whatever a dataset links to.
// Fault pinned down: a GeoJSON whose "crs" was a link made GDAL fetch the
// link over HTTP while `migrate` read it.  A listener on 127.0.0.1 in the
// test records every connection; it stops by itself.
#include "migrate/gdal/no_network.h"
#include "support/paths.h"
#include "support/run.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;
using namespace kolmo::test;

namespace {

// Accepts (and closes at once) every connection to a free port of
// 127.0.0.1 until stop() or 120 s have passed.
class Listener {
public:
    Listener()
    {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        socklen_t size = sizeof address;
        if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&address), size) != 0 || listen(fd_, 16) != 0 ||
            getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
            return;
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] {
            const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(120);
            while (!stop_ && std::chrono::steady_clock::now() < end) {
                pollfd p{fd_, POLLIN, 0};
                if (poll(&p, 1, 50) == 1) {
                    const int client = accept(fd_, nullptr, nullptr);
                    if (client >= 0) {
                        ++connections_;
                        close(client);
                    }
                }
            }
        });
    }
    ~Listener()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        if (fd_ >= 0)
            close(fd_);
    }
    int port() const { return port_; }
    int connections() const { return connections_; }

private:
    int fd_ = -1, port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    std::thread thread_;
};

std::string geojson(const std::string& crs)
{
    return R"({"type": "FeatureCollection", "crs": )" + crs +
           R"(, "features": [{"type": "Feature", "properties": {"id": 1},
               "geometry": {"type": "Point", "coordinates": [462000, 101000]}}]})";
}

} // namespace

TEST(NoNetwork, LinksInADatasetAreNeverFollowed)
{
    const fs::path dir = freshFolder("no_network");
    Listener listener;
    ASSERT_GT(listener.port(), 0);
    const std::string url = "http://127.0.0.1:" + std::to_string(listener.port());
    std::ofstream(dir / "link.geojson")
        << geojson(R"({"type": "link", "properties": {"href": ")" + url + R"(/crs.wkt", "type": "ogcwkt"}})");
    std::ofstream(dir / "name.geojson") << geojson(R"({"type": "name", "properties": {"name": ")" + url + R"(/crs"}})");
    std::ofstream(dir / "url.geojson") << geojson(R"({"type": "url", "properties": {"url": ")" + url + R"(/crs"}})");
    // A VRT layer whose source is on a web server, read through GDAL's own
    // network file system rather than the HTTP fetch.
    std::ofstream(dir / "remote.vrt") << "<OGRVRTDataSource><OGRVRTLayer name=\"a\"><SrcDataSource>/vsicurl/" << url
                                      << "/a.geojson</SrcDataSource><LayerSRS>EPSG:3912</LayerSRS></OGRVRTLayer>"
                                         "</OGRVRTDataSource>";
    struct Case {
        std::string in, why;
    };
    for (const Case& c : std::vector<Case>{{"link.geojson", "links to " + url + "/crs.wkt, which Kolmo does not follow"},
                                           {"name.geojson", ""}, // GDAL 3.6 leaves such a name alone
                                           {"url.geojson", "which Kolmo does not follow"},
                                           {"remote.vrt", "layer \"a\" cannot be read"},
                                           {"/vsicurl/" + url + "/a.geojson", "local files only"},
                                           {url + "/a.geojson", "local files only"}}) {
        const auto r = run(cliPath(), {"migrate", "--in", c.in, "--out", "out.gpkg", "-q"}, dir);
        EXPECT_EQ(r.status, 1) << c.in << r.err;
        EXPECT_NE(r.err.find(c.why), std::string::npos) << c.in << r.err;
        EXPECT_FALSE(fs::exists(dir / "out.gpkg")) << c.in;
    }
    // The same layer with its CRS named in the file goes through: the
    // refusals above are the CRS not followed, not a reading that failed
    // on other grounds.
    std::ofstream(dir / "local.geojson")
        << geojson(R"({"type": "name", "properties": {"name": "urn:ogc:def:crs:EPSG::3912"}})");
    const auto local = run(cliPath(), {"migrate", "--in", "local.geojson", "--out", "out.gpkg", "-q"}, dir);
    EXPECT_EQ(listener.connections(), 0);
    EXPECT_EQ(local.status, 0) << local.err;
    fs::remove_all(dir);
}

// What counts as a place on a network, and what stays a local path.
TEST(NoNetwork, UrlsAndNetworkFileSystemsAreToldFromLocalPaths)
{
    for (const char* remote : {"http://example.org/a.gpkg", "HTTPS://example.org/a.shp", "ftp://h/a.geojson",
                               "/vsicurl/http://h/a.gpkg", "/vsizip//vsicurl/http://h/a.zip/a.shp",
                               "/vsis3/bucket/a.gpkg", "/VSICURL_STREAMING/http://h/a.geojson"})
        EXPECT_TRUE(kolmo::namesNetworkResource(remote)) << remote;
    for (const char* local : {"a.gpkg", "/home/ana/vsicurl/a.gpkg", "/home/ana/http:/a.gpkg", "c:\\data\\a.shp",
                              "/vsizip/data/a.zip/a.shp"})
        EXPECT_FALSE(kolmo::namesNetworkResource(local)) << local;
}
