#pragma once
// The lists the business objects return, as row-set XML in the ADO persistence format, with
// every column the launcher reads. Business-object URLs are rendered absolute: `baseUrl`
// ("http://127.0.0.1:40123") followed by the stored path.

#include <string>
#include <vector>

#include "platform/rowset/rowset_data.h"
#include "server/catalog.h"

namespace kx::server {

// Columns ServerName, BusObjURL.
std::string loginServersXml(const std::vector<LoginServer>& servers, const std::string& baseUrl);

// Columns KXDeploymentID (64-bit), DeploymentType, DeploymentDescription, BusObjURL,
// DeployFolder, checkForUpdates, InstallGroupID, CustomInstallGroupID.
std::string deploymentsXml(const std::vector<Deployment>& deployments, const std::string& baseUrl);

// Columns FileName, SequenceID, InstallType, FileVersion, AltCheckRegValue, AltCheck,
// Description, IsCompressed, DownloadLocation, InstallLocation, SHA256 (the SHA-256 of the file
// as installed, 64 hex digits; empty for the start row), InstallGroupID (the group of the
// row, which tells the launcher which group's signature covers it) and Patches (the patches to the
// row's file from earlier versions, patch_offers.h; empty for none).
std::string installFilesXml(const std::vector<InstallFile>& files);
// The same list as a row set's contents, whose rows a list signature covers.
rowset::RowsetData installFilesRowset(const std::vector<InstallFile>& files);

// The absolute URL of a stored business-object path; the root path gives the base URL itself.
std::string absoluteBusObjUrl(const std::string& baseUrl, const std::string& path);

}  // namespace kx::server
