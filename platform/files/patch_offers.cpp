#include "platform/files/patch_offers.h"

#include <charconv>

#include "platform/files/sha256_file.h"
#include "platform/text/ascii_text.h"

namespace kx::files {

namespace {

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = std::min(text.find(separator, start), text.size());
        parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

bool isSafeLocation(std::string_view location) {
    if (location.empty() || location.size() > 1000 || location.front() == '/') {
        return false;
    }
    for (const char c : location) {
        if (!ascii::isLetter(c) && !ascii::isDigit(c) &&
            std::string_view("-._~/%").find(c) == std::string_view::npos) {
            return false;
        }
    }
    for (const std::string_view segment : split(location, '/')) {
        if (segment.empty() || segment == "." || segment == "..") {
            return false;
        }
    }
    return true;
}

std::optional<PatchOffer> offerOf(std::string_view entry) {
    const std::vector<std::string_view> fields = split(entry, ':');
    if (fields.size() != 4 || !isSha256Hex(fields[0]) || !isSha256Hex(fields[2]) ||
        !isSafeLocation(fields[3]) || fields[1].empty() || fields[1].front() == '0') {
        return std::nullopt;
    }
    PatchOffer offer{std::string(fields[0]), 0, std::string(fields[2]), std::string(fields[3])};
    const auto [end, error] =
        std::from_chars(fields[1].data(), fields[1].data() + fields[1].size(), offer.size);
    if (error != std::errc() || end != fields[1].data() + fields[1].size() ||
        offer.size > kMaxOfferedPatchBytes) {
        return std::nullopt;
    }
    return offer;
}

}  // namespace

std::string patchesCellText(const std::vector<PatchOffer>& offers) {
    std::string text;
    for (const PatchOffer& offer : offers) {
        if (!text.empty()) {
            text += ' ';
        }
        text += offer.sourceSha256 + ':' + std::to_string(offer.size) + ':' + offer.sha256 + ':' +
                offer.location;
    }
    return text;
}

std::optional<std::vector<PatchOffer>> parsePatchesCell(std::string_view cell) {
    if (cell.size() > kMaxPatchesCellLength) {
        return std::nullopt;
    }
    std::vector<PatchOffer> offers;
    for (const std::string_view entry : split(ascii::trimWhitespace(cell), ' ')) {
        if (entry.empty()) {
            continue;
        }
        auto offer = offerOf(entry);
        if (!offer || offers.size() == kMaxPatchOffers) {
            return std::nullopt;
        }
        offers.push_back(std::move(*offer));
    }
    return offers;
}

}  // namespace kx::files
