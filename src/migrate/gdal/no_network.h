// Kolmo reads and writes local files only.  GDAL would otherwise follow a
// link it finds in a dataset (a GeoJSON "crs" of type "link" or a URL as its
// name, an XML schema of a GML file, a /vsicurl/ file of a VRT) and ask a
// server for it, and PROJ would fetch grids from its content delivery
// network: a migration must neither leak where its data come from nor depend
// on what a server answers.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kolmo {

// Switches off every network access of GDAL and PROJ in this process: an
// HTTP fetch of GDAL fails at once without a connection, the network file
// systems (/vsicurl/ and the cloud ones) find no file, and PROJ's network is
// off in GDAL's PROJ contexts.  Call before GDAL opens anything; calling it
// again does nothing.
void disableNetworkAccess();

// The addresses GDAL asked for on this thread and was refused since the
// last call (the list is emptied): a dataset that links to a server.
std::vector<std::string> takeRefusedRequests();

// Whether a path or CRS text names something on a network: a URL
// (http://, https://, ftp:// and other "scheme://") or one of GDAL's network
// file systems (/vsicurl/, /vsis3/, ...).
bool namesNetworkResource(std::string_view text);

// Throws FileError naming the path when it names something on a network.
void refuseNetworkPath(const std::filesystem::path& path);

} // namespace kolmo
