#include "server/publish.h"

#include <zlib.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <stdexcept>
#include <vector>

#include "platform/text/ascii_text.h"
#include "platform/version/file_version.h"
#include "server/content_hash.h"
#include "server/install_files.h"
#include "server/published_versions.h"

namespace kx::server {

namespace fs = std::filesystem;

namespace {

std::string firstLineTrimmed(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return std::string(ascii::trimWhitespace(line));
}

void gzipCopy(const fs::path& source, const fs::path& target) {
    std::ifstream in(source, std::ios::binary);
    gzFile out = gzopen(target.c_str(), "wb9");
    if (!in || out == nullptr) {
        if (out != nullptr) {
            gzclose(out);
        }
        throw std::runtime_error("cannot compress " + source.string() + " to " + target.string());
    }
    std::vector<char> buffer(64 * 1024);
    bool ok = true;
    while (ok && in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const auto got = static_cast<unsigned>(in.gcount());
        ok = got == 0 || gzwrite(out, buffer.data(), got) == static_cast<int>(got);
    }
    if (gzclose(out) != Z_OK || !ok || in.bad()) {
        throw std::runtime_error("cannot compress " + source.string());
    }
}

// The regular files of the folder in name order, each with its version side file if any.
struct FolderContents {
    std::vector<std::pair<fs::path, fs::path>> files;  // each file with its side file, if any
    std::vector<std::string> skipped;
};

FolderContents filesToPublish(const fs::path& folder) {
    if (!fs::is_directory(folder)) {
        throw std::invalid_argument("not a folder: " + folder.string());
    }
    std::set<fs::path> names;
    FolderContents result;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            names.insert(entry.path().filename());
        } else {
            result.skipped.push_back(entry.path().filename().string());
        }
    }
    std::sort(result.skipped.begin(), result.skipped.end());
    for (const auto& name : names) {
        const std::string text = name.string();
        const bool isSideFile = text.size() > 4 && text.ends_with(".ver") &&
                                names.count(fs::path(text.substr(0, text.size() - 4))) != 0;
        if (isSideFile) {
            continue;
        }
        const fs::path side = folder / (text + ".ver");
        result.files.emplace_back(folder / name,
                                  names.count(side.filename()) != 0 ? side : fs::path());
    }
    return result;
}

}  // namespace

std::string encodeDownloadLocation(const std::string& location) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (const char ch : location) {
        const auto c = static_cast<unsigned char>(ch);
        if (ascii::isLetter(ch) || ascii::isDigit(ch) || c == '-' || c == '.' || c == '_' ||
            c == '~' || c == '/') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kDigits[c >> 4];
            out += kDigits[c & 0x0F];
        }
    }
    return out;
}

PublishedFolder publishFolder(Catalog& catalog, const PublishOptions& options, std::int64_t now) {
    if (options.group <= 0) {
        throw std::invalid_argument("--group must name a positive install group id");
    }
    const auto [files, skipped] = filesToPublish(options.folder);
    const fs::path target = installGroupFolder(catalog.dir(), options.group);
    fs::create_directories(target);
    catalog.ensureInstallGroup(options.group, isoTimestamp(now));
    std::vector<InstallFile> rows;
    std::vector<std::string> notes;
    std::int64_t nextSequence = catalog.nextSequenceId(options.group);
    for (const auto& [source, sideFile] : files) {
        const std::string name = source.filename().string();
        const std::string servedName = options.compress ? name + ".gz" : name;
        if (options.compress) {
            gzipCopy(source, target / servedName);
        } else {
            fs::copy_file(source, target / servedName, fs::copy_options::overwrite_existing);
        }
        InstallFile row;
        row.fileName = name;
        row.sequenceId = options.sequence > 0 ? options.sequence : nextSequence;
        nextSequence += 10;
        if (row.sequenceId >= kStartRowSequence) {
            throw std::invalid_argument("install group " + std::to_string(options.group) +
                                        " has no SequenceID left below " +
                                        std::to_string(kStartRowSequence) + " for " + name +
                                        "; publish with --sequence N");
        }
        row.installType = options.installType;
        row.fileVersion = !sideFile.empty()          ? firstLineTrimmed(sideFile)
                          : !options.version.empty() ? options.version
                                                     : version::fileVersion(source.string());
        row.altCheck = options.altCheck;
        row.altCheckRegValue = options.altCheckRegValue;
        row.description = name;
        row.isCompressed = options.compress ? 1 : 0;
        row.downloadLocation =
            encodeDownloadLocation(std::to_string(options.group) + "/" + servedName);
        row.installLocation = options.location;
        row.sha256 = sha256FileHex(source);
        MadePatches patches = makePatchesTo(catalog, options.group, name, source, row.sha256);
        row.patches = std::move(patches.cell);
        notes.insert(notes.end(), patches.notes.begin(), patches.notes.end());
        rows.push_back(std::move(row));
    }
    catalog.putInstallFiles(options.group, rows);
    catalog.setGroupStamp(options.group, isoTimestamp(now));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        keepPublishedVersion(catalog, options.group, rows[i].fileName, files[i].first,
                             rows[i].sha256);
    }
    return {static_cast<int>(files.size()), skipped, notes};
}

void addStartRow(Catalog& catalog, std::int64_t group, const std::string& fileName,
                 const std::string& location, const std::string& description) {
    if (group <= 0) {
        throw std::invalid_argument("--group must name a positive install group id");
    }
    if (!catalog.groupStamp(group)) {
        throw std::invalid_argument("no install group " + std::to_string(group));
    }
    InstallFile row;
    row.fileName = fileName;
    row.sequenceId = kStartRowSequence;
    row.installType = 0;
    row.description = description.empty() ? fileName : description;
    row.installLocation = location;
    catalog.putInstallFile(group, row);
}

}  // namespace kx::server
