#include "launcher/update/file_versions.h"

#include <cstdlib>

#include "launcher/crash/trap.h"
#include "launcher/startup/launcher_state.h"
#include "launcher/startup/system_utilities.h"
#include "platform/runtime/run_time_error.h"
#include "platform/runtime/vb_convert.h"
#include "platform/runtime/vb_strings.h"
#include "platform/version/file_version.h"

namespace kx::launcher {

using crash::Frame;
using crash::trapped;

namespace {

constexpr std::int32_t kLowestPart = -32768;
constexpr std::int32_t kHighestPart = 65535;

// One part of a version text: its value when the text is numeric (rounded half to even), else 0.
std::int32_t versionPart(const std::string& text) {
    if (!IsNumeric(Variant(text))) {
        return 0;
    }
    const std::int32_t value = CLng(Variant(text));
    if (value < kLowestPart || value > kHighestPart) {
        raiseError(vberr::kOverflow);
    }
    return value;
}

// A part written with at least `width` digits, zeros in front, as the format "00" or "0000"
// writes a whole number (a minus sign stands before the zeros).
std::string padded(std::int32_t part, std::size_t width) {
    std::string digits = std::to_string(part < 0 ? -static_cast<std::int64_t>(part) : part);
    if (digits.size() < width) {
        digits.insert(0, width - digits.size(), '0');
    }
    return part < 0 ? "-" + digits : digits;
}

bool isNumericWithoutDots(const std::string& text) {
    return IsNumeric(Variant(Replace(text, ".", "")));
}

std::string between(const std::string& text, std::int64_t afterDot, std::int64_t beforeDot) {
    return text.substr(static_cast<std::size_t>(afterDot),
                       static_cast<std::size_t>(beforeDot - afterDot - 1));
}

}  // namespace

std::string GetFileVersion(const std::string& FullFileName) {
    std::string result;
    std::string shortPath;
    Frame frame("Module1", "GetFileVersion");
    frame.record("vInfo", "VS_FIXEDFILEINFO")
        .local("GetFileVersion", result)
        .local("shortPath", shortPath)
        .param("FullFileName", FullFileName);
    return trapped(frame, [&] {
        frame.line(10);
        shortPath = ConvertToShortPath(FullFileName);
        frame.line(20);
        if (!shortPath.empty()) {
            if (auto embedded = version::embeddedFileVersion(shortPath)) {
                result = std::move(*embedded);
                return result;
            }
        }
        frame.line(30);
        result = version::sideFileVersion(FullFileName).value_or("");
        return result;
    });
}

void GetHILOWord(std::int32_t lParam, std::int32_t& LOWORD, std::int32_t& HIWORD) {
    Frame frame("Module1", "GetHILOWord");
    frame.param("lParam", lParam).param("LOWORD", LOWORD).param("HIWORD", HIWORD);
    trapped(frame, [&] {
        frame.line(10);
        const auto word = static_cast<std::uint32_t>(lParam);
        LOWORD = static_cast<std::int32_t>(word & 0xFFFFu);
        HIWORD = static_cast<std::int32_t>(word >> 16);
    });
}

double versionNumberOf(std::string& VerStr, VersionParts& parts) {
    auto& [Loc1, Loc2, Major, Minor, MidRev, Rev] = parts;
    VerStr = Trim(VerStr);
    if (VerStr.empty()) {
        return 0;
    }
    VerStr = Replace(Replace(VerStr, ",", "."), " ", "");
    if (InStr(VerStr, ".") == 0) {
        return CDbl(Variant(VerStr));
    }
    if (!isNumericWithoutDots(VerStr)) {
        return 0;
    }
    Loc1 = InStr(VerStr, ".");
    Major = versionPart(VerStr.substr(0, static_cast<std::size_t>(Loc1 - 1)));
    Loc2 = InStr(Loc1 + 1, VerStr, ".");
    Minor = Loc2 == 0 ? 0 : versionPart(between(VerStr, Loc1, Loc2));
    Loc1 = Loc2;
    Loc2 = InStr(Loc1 + 1, VerStr, ".");
    MidRev = Loc1 == 0 || Loc2 == 0 ? 0 : versionPart(between(VerStr, Loc1, Loc2));
    Loc1 = Loc2;
    Loc2 = static_cast<std::int64_t>(VerStr.size()) + 1;
    Rev = Loc1 == 0 ? 0 : versionPart(VerStr.substr(static_cast<std::size_t>(Loc1)));
    // The digit string holds only digits (and a leading minus for a negative major).
    const std::string digits =
        padded(Major, 2) + padded(Minor, 4) + padded(MidRev, 4) + padded(Rev, 4);
    return std::strtod(digits.c_str(), nullptr);
}

double FormatVersion(std::string VerStr) {
    VersionParts parts;
    Frame frame("Module1", "FormatVersion");
    frame.local("Loc1", parts.Loc1).local("Loc2", parts.Loc2).local("Major", parts.Major);
    frame.local("Minor", parts.Minor).local("MidRev", parts.MidRev).local("Rev", parts.Rev);
    frame.param("VerStr", VerStr);
    return trapped(frame, [&] {
        frame.line(10);
        return versionNumberOf(VerStr, parts);
    });
}

bool isReadableVersion(std::string VerStr) {
    VersionParts parts;
    try {
        versionNumberOf(VerStr, parts);
    } catch (const RuntimeError&) {
        return false;
    }
    return InStr(VerStr, ".") == 0 || isNumericWithoutDots(VerStr);
}

bool DoesFileNeedUpdate(const std::string& CurVersion, const std::string& NewVersion) {
    bool result = false;
    Frame frame("Module1", "DoesFileNeedUpdate");
    frame.local("DoesFileNeedUpdate", result)
        .param("CurVersion", CurVersion)
        .param("NewVersion", NewVersion);
    return trapped(frame, [&] {
        frame.line(10);
        const double newNumber = FormatVersion(NewVersion);
        const double currentNumber = FormatVersion(CurVersion);
        frame.line(20);
        result = !Module1().m_SkipUpdateCheck && newNumber > currentNumber;
        return result;
    });
}

}  // namespace kx::launcher
