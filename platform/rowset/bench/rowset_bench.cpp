// Times the row-set engine on a generated document of 100,000 install-list rows: building the
// set, writing it, loading it, and filtering it. Run: rowset_bench [rows]

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/rowset/recordset.h"

using namespace kx;
using namespace kx::rowset;

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

long peakResidentKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

Recordset buildInstallList(std::int64_t rows) {
    Recordset rs;
    rs.appendField("FileName", DataType::adVarWChar, 255);
    rs.appendField("SequenceID", DataType::adInteger);
    rs.appendField("InstallType", DataType::adInteger);
    rs.appendField("FileVersion", DataType::adVarWChar, 50);
    rs.appendField("DownloadLocation", DataType::adVarWChar, 500);
    rs.appendField("InstallLocation", DataType::adVarWChar, 50, adFldIsNullable);
    rs.appendField("IsCompressed", DataType::adBoolean);
    rs.appendField("LastUpdate", DataType::adDate);
    rs.appendField("KXDeploymentID", DataType::adBigInt);
    rs.Open();
    for (std::int64_t i = 0; i < rows; ++i) {
        const std::string name = "file" + std::to_string(i) + ".dll";
        rs.AddNew();
        rs.Fields("FileName").setValue(Variant(name));
        rs.Fields("SequenceID").setValue(Variant(static_cast<std::int32_t>(i)));
        rs.Fields("InstallType").setValue(Variant(static_cast<std::int32_t>(i % 3)));
        rs.Fields("FileVersion").setValue(Variant("3.1." + std::to_string(i % 100) + ".7"));
        rs.Fields("DownloadLocation").setValue(Variant("Common/Bin/" + name + ".cmp"));
        rs.Fields("InstallLocation").setValue(Variant(i % 2 ? "SYSTEMDIR" : "KESTRIXDIR"));
        rs.Fields("IsCompressed").setValue(Variant(i % 2 == 0));
        rs.Fields("LastUpdate")
            .setValue(Variant(OleDate{45000.0 + static_cast<double>(i % 900) / 7.0}));
        rs.Fields("KXDeploymentID").setValue(Variant(std::int64_t{5'000'000'000} + i));
        rs.Update();
    }
    return rs;
}

}  // namespace

int main(int argc, char** argv) {
    const std::int64_t rows = argc > 1 ? std::atoll(argv[1]) : 100'000;
    auto start = Clock::now();
    Recordset built = buildInstallList(rows);
    std::printf("build %lld rows with AddNew/Update: %.1f ms\n", static_cast<long long>(rows),
                millisecondsSince(start));

    start = Clock::now();
    const std::string document = built.saveXml();
    std::printf("write document (%.1f MiB): %.1f ms\n",
                static_cast<double>(document.size()) / (1024.0 * 1024.0), millisecondsSince(start));
    built.Close();

    const long residentBeforeLoad = peakResidentKiB();
    start = Clock::now();
    Recordset loaded;
    loaded.OpenXml(document);
    std::printf("load document: %.1f ms (%lld rows)\n", millisecondsSince(start),
                static_cast<long long>(loaded.RecordCount()));
    std::printf("peak resident memory: %ld KiB before load, %ld KiB after\n", residentBeforeLoad,
                peakResidentKiB());

    const char* filters[] = {
        "InstallType = 0", "FileName LIKE '*777*'",
        "SequenceID >= 1000 AND SequenceID < 2000 OR InstallLocation = 'systemdir'",
        "LastUpdate > #2023-03-01#"};
    for (const char* filter : filters) {
        start = Clock::now();
        loaded.setFilter(Variant(filter));
        std::printf("filter %-75s %7lld rows: %.1f ms\n", filter,
                    static_cast<long long>(loaded.RecordCount()), millisecondsSince(start));
    }
    loaded.setFilter(Variant(""));
    start = Clock::now();
    loaded.Find("KXDeploymentID = " + std::to_string(5'000'000'000 + rows - 1));
    std::printf("find last row: %.1f ms (found: %s)\n", millisecondsSince(start),
                loaded.isEOF() ? "no" : "yes");
    return 0;
}
