#include "launcher/startup/config.h"

#include <filesystem>

#include "launcher/crash/trap.h"
#include "launcher/startup/folder_names.h"
#include "launcher/startup/launcher_state.h"
#include "platform/rowset/recordset.h"
#include "platform/runtime/run_time_error.h"
#include "platform/runtime/vb_convert.h"
#include "platform/runtime/vb_strings.h"

namespace kx::launcher {

namespace {

// A criterion comparing `column` with `text` as a quoted literal: every apostrophe doubled.
std::string equalsCriterion(const char* column, const std::string& text) {
    return std::string(column) + "='" + Replace(text, "'", "''") + "'";
}

RecordsetPtr emptyConfigTable() {
    auto table = std::make_shared<rowset::Recordset>();
    table->appendField("PropName", rowset::DataType::adVarChar, 255);
    table->appendField("PropValue", rowset::DataType::adVarChar, 4000);
    table->Open();
    return table;
}

// Runs a lookup the way the configuration reads are meant to work: the first error ends it, is
// dropped, and the caller returns what it had found so far.
template <typename Lookup>
void lookupQuietly(Lookup&& lookup) {
    resumeNext(std::forward<Lookup>(lookup));
    Err().Clear();
}

}  // namespace

void InitConfig(const FolderSources& sources) {
    std::string configFile;
    crash::Frame frame("Module1", "InitConfig");
    frame.local("configFile", configFile);
    trapped(frame, [&] {
        Module1State& s = Module1();
        frame.line(10);
        InitDirectories(true, sources);
        frame.line(20);
        s.mBaseURL = kDefaultBaseURL;
        s.mIsSharedEnvironment = false;
        frame.line(30);
        configFile = joinPath(s.ProgFilesDir, kConfigFileName);
        const bool opened = resumeNext([&] {
            s.rsConfig = std::make_shared<rowset::Recordset>();
            s.rsConfig->Open(std::filesystem::path(configFile));
        });
        frame.line(40);
        if (!opened) {
            Err().Clear();
            s.rsConfig.reset();
            frame.line(50);
            s.rsConfig = emptyConfigTable();
        }
    });
}

std::string GetConfigValue(const std::string& strPropName) {
    std::string result;
    crash::Frame frame("Module1", "GetConfigValue");
    frame.local("GetConfigValue", result).param("strPropName", strPropName);
    return trapped(frame, [&] {
        frame.line(10);
        if (strPropName.empty()) {
            return result;
        }
        lookupQuietly([&] {
            rowset::Recordset& config = requireObject(Module1().rsConfig);
            frame.line(20);
            config.setFilter(Variant(equalsCriterion("PropName", strPropName)));
            frame.line(30);
            if (!config.isEOF()) {
                result = Trim(CStr(config.Fields("PropValue").Value()));
            }
            frame.line(40);
            config.setFilter(Variant(std::int32_t{rowset::adFilterNone}));
        });
        return result;
    });
}

bool IsUpdateAdmin(const std::string& strLogin) {
    bool result = false;
    crash::Frame frame("Module1", "IsUpdateAdmin");
    frame.local("IsUpdateAdmin", result).param("strLogin", strLogin);
    return trapped(frame, [&] {
        frame.line(10);
        if (Trim(strLogin).empty()) {
            return false;
        }
        lookupQuietly([&] {
            rowset::Recordset& config = requireObject(Module1().rsConfig);
            frame.line(20);
            config.setFilter(Variant("PropName='UPDATEADMINLOGIN'"));
            frame.line(30);
            if (!config.isEOF()) {
                config.MoveFirst();
                config.Find(equalsCriterion("PropValue", strLogin));
                result = !config.isEOF();
            }
            frame.line(40);
            config.setFilter(Variant(std::int32_t{rowset::adFilterNone}));
        });
        return result;
    });
}

void applyConfiguration() {
    Module1State& s = Module1();
    s.mBaseURL = GetConfigValue("BaseURL");
    if (s.mBaseURL.empty()) {
        s.mBaseURL = kDefaultBaseURL;
    }
    s.mIsSharedEnvironment = UCase(Trim(GetConfigValue("SharedEnvironment"))) == "TRUE";
    s.mWarnIfUpdates = GetConfigValue("WarnIfUpdates");
}

}  // namespace kx::launcher
