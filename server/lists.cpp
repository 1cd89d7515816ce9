#include "server/lists.h"

#include <algorithm>
#include <limits>
#include <numeric>
#include <stdexcept>

#include "platform/rowset/rowset_xml.h"

namespace kx::server {

namespace {

using rowset::DataType;
using rowset::FieldInfo;

FieldInfo textColumn(const std::string& name, std::int64_t size) {
    FieldInfo field;
    field.name = name;
    field.type = DataType::adVarWChar;
    field.definedSize = size;
    return field;
}

FieldInfo numberColumn(const std::string& name, DataType type) {
    FieldInfo field;
    field.name = name;
    field.type = type;
    return field;
}

// A text column's declared size grows to its longest value, so that no stored text is refused.
void widenTextColumns(rowset::RowsetData& data) {
    for (std::size_t column = 0; column < data.fields.size(); ++column) {
        auto& field = data.fields[column];
        if (!rowset::isTextType(field.type)) {
            continue;
        }
        for (const auto& row : data.rows) {
            const auto length = static_cast<std::int64_t>(row.values[column].asString().size());
            field.definedSize = std::max(field.definedSize, length);
        }
    }
}

std::string write(rowset::RowsetData& data) {
    widenTextColumns(data);
    std::vector<std::size_t> order(data.rows.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    return rowset::writeRowsetXml(data, order);
}

std::int32_t toInt32(std::int64_t value) {
    if (value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max()) {
        throw std::out_of_range("catalog number out of range for its list column");
    }
    return static_cast<std::int32_t>(value);
}

std::int16_t toInt16(std::int64_t value) {
    if (value < std::numeric_limits<std::int16_t>::min() ||
        value > std::numeric_limits<std::int16_t>::max()) {
        throw std::out_of_range("catalog number out of range for its list column");
    }
    return static_cast<std::int16_t>(value);
}

rowset::Row row(std::vector<Variant> values) {
    rowset::Row r;
    r.values = std::move(values);
    return r;
}

}  // namespace

std::string absoluteBusObjUrl(const std::string& baseUrl, const std::string& path) {
    return path == "/" ? baseUrl : baseUrl + path;
}

std::string loginServersXml(const std::vector<LoginServer>& servers, const std::string& baseUrl) {
    rowset::RowsetData data;
    data.fields = {textColumn("ServerName", 100), textColumn("BusObjURL", 500)};
    for (const auto& s : servers) {
        data.rows.push_back(row({s.name, absoluteBusObjUrl(baseUrl, s.busObjPath)}));
    }
    return write(data);
}

std::string deploymentsXml(const std::vector<Deployment>& deployments, const std::string& baseUrl) {
    rowset::RowsetData data;
    data.fields = {numberColumn("KXDeploymentID", DataType::adBigInt),
                   textColumn("DeploymentType", 10),
                   textColumn("DeploymentDescription", 255),
                   textColumn("BusObjURL", 500),
                   textColumn("DeployFolder", 255),
                   textColumn("checkForUpdates", 10),
                   numberColumn("InstallGroupID", DataType::adBigInt),
                   numberColumn("CustomInstallGroupID", DataType::adBigInt)};
    for (const auto& d : deployments) {
        data.rows.push_back(
            row({d.id, d.type, d.description, absoluteBusObjUrl(baseUrl, d.busObjPath),
                 d.deployFolder, d.checkForUpdates, d.installGroupId, d.customInstallGroupId}));
    }
    return write(data);
}

std::string installFilesXml(const std::vector<InstallFile>& files) {
    rowset::RowsetData data = installFilesRowset(files);
    return write(data);
}

rowset::RowsetData installFilesRowset(const std::vector<InstallFile>& files) {
    rowset::RowsetData data;
    data.fields = {textColumn("FileName", 255),
                   numberColumn("SequenceID", DataType::adInteger),
                   numberColumn("InstallType", DataType::adSmallInt),
                   textColumn("FileVersion", 50),
                   textColumn("AltCheckRegValue", 255),
                   textColumn("AltCheck", 255),
                   textColumn("Description", 255),
                   numberColumn("IsCompressed", DataType::adInteger),
                   textColumn("DownloadLocation", 500),
                   textColumn("InstallLocation", 50),
                   textColumn("SHA256", 64),
                   numberColumn("InstallGroupID", DataType::adBigInt),
                   textColumn("Patches", 255)};
    for (const auto& f : files) {
        data.rows.push_back(
            row({f.fileName, toInt32(f.sequenceId), toInt16(f.installType), f.fileVersion,
                 f.altCheckRegValue, f.altCheck, f.description, toInt32(f.isCompressed),
                 f.downloadLocation, f.installLocation, f.sha256, f.groupId, f.patches}));
    }
    return data;
}

}  // namespace kx::server
