#pragma once

#include <functional>

class CComponent;

/// Fetches one record's archive from the server into its cache folder, as a component
/// download does: 0 with the archive in the cache and the holder's downloaded version set,
/// otherwise the download's failure code. Package files take it as a parameter so that they
/// can be exercised without a server.
using ArchiveDownloader = std::function<int(CComponent& record)>;

/// The downloader the package files use unless their caller passes one: the component's own
/// download.
ArchiveDownloader DefaultArchiveDownloader();
