#include "migrate/gdal/no_network.h"

#include "platform/errors.h"

#include <cpl_conv.h>
#include <cpl_http.h>
#include <cpl_string.h>
#include <ogr_srs_api.h>

#include <algorithm>
#include <cctype>
#include <mutex>
#include <string>

namespace kolmo {
namespace {

// GDAL's HTTP fetch runs on the thread that reads the dataset.
thread_local std::vector<std::string> refusedRequests;

// GDAL's HTTP layer hands every request to this callback instead of curl: it
// answers with an error and never connects.  (A null result would pass the
// request on to curl.)
CPLHTTPResult* refuseFetch(const char* url, CSLConstList, GDALProgressFunc, void*, CPLHTTPFetchWriteFunc, void*,
                           void*)
{
    auto* result = static_cast<CPLHTTPResult*>(CPLCalloc(1, sizeof(CPLHTTPResult)));
    result->nStatus = 1;
    if (refusedRequests.size() < 16)
        refusedRequests.emplace_back(url ? url : "");
    const std::string why = std::string("Kolmo makes no network requests (") + (url ? url : "") + ")";
    result->pszErrBuf = CPLStrdup(why.c_str());
    CPLError(CE_Failure, CPLE_AppDefined, "%s", why.c_str());
    return result;
}

} // namespace

void disableNetworkAccess()
{
    static std::once_flag once;
    std::call_once(once, [] {
        CPLHTTPSetFetchCallback(&refuseFetch, nullptr);
        // The network file systems use curl on their own: a file of theirs
        // exists only when its name ends in one of these extensions, and no
        // name ends in this one.
        CPLSetConfigOption("CPL_VSIL_CURL_ALLOWED_EXTENSIONS", ".kolmo-reads-no-network\x01");
        CPLSetConfigOption("GDAL_HTTP_MAX_RETRY", "0");
        CPLSetConfigOption("GDAL_HTTP_TIMEOUT", "1");
        CPLSetConfigOption("GDAL_HTTP_CONNECTTIMEOUT", "1");
        // GML: no schema or linked element is resolved from a server.
        CPLSetConfigOption("GML_SKIP_RESOLVE_ELEMS", "ALL");
        // PROJ (which Kolmo reaches only through GDAL): no grid from its
        // content delivery network in any of GDAL's PROJ contexts, whatever
        // PROJ_NETWORK or proj.ini say.  (The environment is left alone: the
        // desktop program gets here on a worker thread.)
        OSRSetPROJEnableNetwork(FALSE);
    });
}

std::vector<std::string> takeRefusedRequests()
{
    std::vector<std::string> taken;
    taken.swap(refusedRequests);
    return taken;
}

bool namesNetworkResource(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    // GDAL looks through "/vsizip/", "/vsigzip/", "/vsitar/" ... to the path
    // after them: a network file system anywhere in such a chain counts.
    if (lower.starts_with("/vsi"))
        for (const char* system : {"curl", "s3", "gs", "az", "adls", "oss", "swift", "webhdfs", "hdfs"})
            for (const char* tail : {"/", "_streaming/"})
                if (lower.find(std::string("/vsi") + system + tail) != std::string::npos)
                    return true;
    const auto scheme = lower.find("://");
    if (scheme == std::string::npos || scheme == 0)
        return false;
    // "scheme://": letters, digits, + - . before it, as in a URL; a Windows
    // drive ("c:\") or a plain folder name is none.
    return std::all_of(lower.begin(), lower.begin() + static_cast<std::ptrdiff_t>(scheme), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
    });
}

void refuseNetworkPath(const std::filesystem::path& path)
{
    if (namesNetworkResource(path.string()))
        throw FileError(path.string() + ": Kolmo reads and writes local files only, nothing on a network");
}

} // namespace kolmo
