#include "errhandler/report/audit_lists.h"

#include <string>
#include <utility>

namespace kx::errhandler {

std::vector<ClassCheckGroup> mdacClassChecks(bool nt) {
    return {
        {"2.71.9030.0",
         "",
         {"00000507-0000-0010-8000-00AA006D2EA4", "0000050B-0000-0010-8000-00AA006D2EA4",
          "00000514-0000-0010-8000-00AA006D2EA4", "00000535-0000-0010-8000-00AA006D2EA4",
          "00000541-0000-0010-8000-00AA006D2EA4", "00000542-0000-0010-8000-00AA006D2EA4",
          "00000560-0000-0010-8000-00AA006D2EA4", "00000566-0000-0010-8000-00AA006D2EA4",
          "06210E88-01F5-11D1-B512-0080C781C384", "2048EEE6-7FA2-11D0-9E6A-00A0C9138C29",
          "2206CDB0-19C1-11D1-89E0-00C04FD7A829", "2206CDB2-19C1-11D1-89E0-00C04FD7A829",
          "2206CDB3-19C1-11D1-89E0-00C04FD7A829", "3449A1C8-C56C-11D0-AD72-00C04FC29863",
          "3FF292B6-B204-11CF-8D23-00AA005FFE58", "58ECEE30-E715-11CF-B0E3-00AA003F000F",
          "7C07E0D0-4418-11D2-9212-00C04FBBBFB3", "92396AD0-68F5-11d0-A57E-00A0C9138C66",
          "9381D8F5-0288-11d0-9501-00AA00B911A5", "A1A6B99D-497F-11D1-9217-00C04FBBBFB3",
          "BD96C556-65A3-11D0-983A-00C04FC29E33", "BD96C556-65A3-11D0-983A-00C04FC29E36",
          "c8b522cb-5cf3-11ce-ade5-00aa0044773d", "c8b522cc-5cf3-11ce-ade5-00aa0044773d",
          "c8b522cd-5cf3-11ce-ade5-00aa0044773d", "C8B522CF-5CF3-11CE-ADE5-00AA0044773D",
          "c8b522d0-5cf3-11ce-ade5-00aa0044773d", "c8b522d1-5cf3-11ce-ade5-00aa0044773d",
          "CCB4EC60-B9DC-11D1-AC80-00A0C9034873", "dfc8bdc0-e378-11d0-9b30-0080c7e9fe95",
          "ef636390-f343-11d0-9477-00c04fd36226", "ef636391-f343-11d0-9477-00c04fd36226",
          "ef636392-f343-11d0-9477-00c04fd36226", "ef636393-f343-11d0-9477-00c04fd36226",
          "FF151822-B0BF-11D1-A80D-000000000000"}},
        {nt ? "4.00.5914.0" : "4.00.2927.8", "", {"039EA4C0-E696-11d0-878A-00A0C91EC756"}},
    };
}

std::vector<FileCheck> mdacFileChecks(bool nt) {
    using enum Folder;
    std::vector<FileCheck> files = {
        {System, "odbc16gt.dll", "3.510.3711.0"},
        {System, "ds16gt.dll", "3.510.3711.0"},
        {System, "odbctrac.dll", "3.520.9030.0"},
    };
    // The same ten files on both families, at older expectations outside the NT family.
    const char* odbc = nt ? "3.520.7713.0" : "3.520.9001.0";
    const char* common = nt ? "2.70.7713.0" : "2.70.9001.0";
    const char* jet = nt ? "4.00.5914.0" : "4.00.2927.8";
    files.insert(files.end(), {
                                  {System, "odbccp32.cpl", odbc},
                                  {System, "odbcint.dll", odbc},
                                  {CommonSystem, "ole db/oledb32r.dll", common},
                                  {CommonSystem, "ole db/msdasqlr.dll", common},
                                  {CommonSystem, "ADO/msader15.dll", common},
                                  {System, "msjtes40.dll", jet},
                                  {CommonSystem, "msadc/msadcfr.dll", common},
                                  {CommonSystem, "msadc/msaddsr.dll", common},
                                  {CommonSystem, "msadc/msadcor.dll", common},
                                  {CommonSystem, "msadc/msadcer.dll", common},
                              });
    for (const char* name : {"odbc32gt.dll", "ds32gt.dll", "odbcad32.exe", "odbccu32.dll",
                             "odbccr32.dll", "odbccp32.dll", "odbc32.dll"}) {
        files.push_back({System, name, "3.520.9030.0"});
    }
    for (const char* name :
         {"ole db/msdaps.dll", "ole db/oledb32.dll", "ole db/msdaosp.dll", "ole db/msdasc.dll",
          "ole db/msdaenum.dll", "ole db/msdatt.dll", "ole db/msdasql.dll", "ole db/msdadc.dll",
          "ole db/msdaer.dll", "ADO/msadrh15.dll", "ADO/msador15.dll", "ADO/msado15.dll",
          "msadc/msdfmap.dll", "msadc/msdaprst.dll", "msadc/msadds.dll", "msadc/msadcs.dll",
          "msadc/msadco.dll"}) {
        files.push_back({CommonSystem, name, "2.71.9030.0"});
    }
    files.push_back({System, "msdatsrc.tlb", "9.0.9030.0"});
    files.push_back({CommonSystem, "msadc/msadcf.dll", "2.71.9030.0"});
    files.push_back({CommonSystem, "msadc/msadce.dll", "2.71.9030.0"});
    return files;
}

namespace {

// The ProgIDs of the data-access object models, each checked for its class identifier, its
// current version and its description.
struct ProgIdEntry {
    const char* name;
    const char* clsid;
    const char* description;
};

constexpr const char* kAdoSuffix = "-0000-0010-8000-00AA006D2EA4}";

// Three checks per ProgID (class identifier, current version, description), then the interfaces
// of the object model.
std::vector<RegistryCheck> objectModelChecks() {
    const ProgIdEntry entries[] = {
        {"ADODB.Command", "{00000507", "ADODB.Command"},
        {"ADODB.Connection", "{00000514", "ADODB.Connection"},
        {"ADODB.Error", "{00000541", "ADODB.Error"},
        {"ADODB.ErrorLookup", "{00000542", "ADODB Error Lookup Service"},
        {"ADODB.Parameter", "{0000050B", "ADODB.Parameter"},
        {"ADODB.Recordset", "{00000535", "ADODB.Recordset"},
        {"ADOMD.Catalog", "{228136B0-8BD3-11D0-B4EF-00A0C9138CA4}", "Catalog Class"},
        {"ADOMD.Cellset", "{228136B8-8BD3-11D0-B4EF-00A0C9138CA4}", "Cellset Class"},
        {"ADOR.Recordset", "{00000535", "ADOR.Recordset"},
        {"ADOX.Catalog", "{00000602", "ADOX.Catalog"},
        {"ADOX.Column", "{0000061B", "ADOX.Column"},
        {"ADOX.Group", "{00000615", "ADOX.Group"},
        {"ADOX.Index", "{0000061E", "ADOX.Index"},
        {"ADOX.Key", "{00000621", "ADOX.Key"},
        {"ADOX.Table", "{00000609", "ADOX.Table"},
        {"ADOX.User", "{00000618", "ADOX.User"},
    };
    std::vector<RegistryCheck> checks;
    for (const auto& entry : entries) {
        const std::string base = std::string("SOFTWARE\\Classes\\") + entry.name;
        std::string clsid = entry.clsid;
        if (clsid.size() == 9) {  // "{" and 8 digits: the common data-access suffix follows
            clsid += kAdoSuffix;
        }
        checks.push_back({base + "\\CLSID", clsid});
        checks.push_back({base + "\\CurVer", std::string(entry.name) + ".2.7"});
        checks.push_back({base, entry.description});
    }
    const std::pair<const char*, const char*> interfaces[] = {
        {"00000266", "RecordsetEvents"}, {"00000400", "ConnectionEvents"}, {"0000054C", "Field20"},
        {"0000054D", "Fields20"},        {"0000054F", "Recordset20"},
    };
    for (const auto& [id, name] : interfaces) {
        checks.push_back({std::string("SOFTWARE\\Classes\\Interface\\{") + id + kAdoSuffix, name});
    }
    return checks;
}

// The keys of the data-access components outside the object model, with their expected default
// values ("" where only the key's presence counts).
constexpr std::pair<const char*, const char*> kDataAccessComponentKeys[] = {
    {"SOFTWARE\\Classes\\CLSID\\{039EA4C0-E696-11d0-878A-00A0C91EC756}", "Jet Expression Service"},
    {"SOFTWARE\\Classes\\TypeLib\\{2358C810-62BA-11D1-B3DB-00600832C573}", ""},
    {"SOFTWARE\\Classes\\.UDL", "MSDASC"},
    {"SOFTWARE\\Classes\\CLSID\\{2206CDB0-19C1-11D1-89E0-00C04FD7A829}", "MSDAINITIALIZE Class"},
    {"SOFTWARE\\Classes\\CLSID\\{2206CDB2-19C1-11D1-89E0-00C04FD7A829}",
     "Microsoft OLE DB Service Component Data Links"},
    {"SOFTWARE\\Classes\\CLSID\\{2206CDB3-19C1-11D1-89E0-00C04FD7A829}", "MSDASC Error Lookup"},
    {"SOFTWARE\\Classes\\CLSID\\{CCB4EC60-B9DC-11D1-AC80-00A0C9034873}", "PDPO Class"},
    {"SOFTWARE\\Classes\\CLSID\\{dfc8bdc0-e378-11d0-9b30-0080c7e9fe95}", "MSDAOSP"},
    {"SOFTWARE\\Classes\\DataLinks", "Microsoft OLE DB Service Component Data Links"},
    {"SOFTWARE\\Classes\\Interface\\{2206CCB2-19C1-11D1-89E0-00C04FD7A829}", "IDataSourceLocator"},
    {"SOFTWARE\\Classes\\MSDAOSP.1", "Microsoft OLE DB Provider for OSP"},
    {"SOFTWARE\\Classes\\MSDAOSP", "Microsoft OLE DB Provider for OSP"},
    {"SOFTWARE\\Classes\\MSDASC.MSDAINITIALIZE.1", "MSDAINITIALIZE Class"},
    {"SOFTWARE\\Classes\\MSDASC.MSDAINITIALIZE", "MSDAINITIALIZE Class"},
    {"SOFTWARE\\Classes\\MSDASC.PDPO.1", "PDPO Class"},
    {"SOFTWARE\\Classes\\MSDASC.PDPO", "PDPO Class"},
    {"SOFTWARE\\Classes\\MSDASCErrorLookup.1", "MSDASC Error Lookup"},
    {"SOFTWARE\\Classes\\MSDASCErrorLookup", "MSDASC Error Lookup"},
    {"SOFTWARE\\Classes\\MSDASC\\shellex\\ContextMenuHandlers\\"
     "{2206CDB2-19C1-11D1-89E0-00C04FD7A829}",
     ""},
    {"SOFTWARE\\Classes\\MSDASC\\shellex\\ContextMenuHandlers", ""},
    {"SOFTWARE\\Classes\\MSDASC\\shellex\\PropertySheetHandlers\\"
     "{2206CDB2-19C1-11D1-89E0-00C04FD7A829}",
     ""},
    {"SOFTWARE\\Classes\\MSDASC\\shellex\\PropertySheetHandlers", ""},
    {"SOFTWARE\\Classes\\MSDASC\\shellex", ""},
    {"SOFTWARE\\Classes\\MSDASC\\shell\\open", ""},
    {"SOFTWARE\\Classes\\MSDASC\\shell", ""},
    {"SOFTWARE\\Classes\\MSDASC", "Microsoft Data Link"},
    {"SOFTWARE\\Classes\\MSDASQL ErrorLookup.1", ""},
    {"SOFTWARE\\Classes\\MSDASQL.1", "Microsoft OLE DB Provider for ODBC Drivers"},
    {"SOFTWARE\\Classes\\MSDASQLEnumerator.1", ""},
    {"SOFTWARE\\Classes\\TypeLib\\{2206CEB0-19C1-11D1-89E0-00C04FD7A829}", ""},
    {"SOFTWARE\\Classes\\CLSID\\{3449A1C8-C56C-11D0-AD72-00C04FC29863}", "MSDataShape"},
    {"SOFTWARE\\Classes\\CLSID\\{7C07E0D0-4418-11D2-9212-00C04FBBBFB3}", "MSPersist"},
    {"SOFTWARE\\Classes\\CLSID\\{A1A6B99D-497F-11D1-9217-00C04FBBBFB3}", "Handler Class"},
    {"SOFTWARE\\Classes\\Interface\\{0EAC4842-8763-11CF-A743-00AA00A3F00D}", "IDataFactory"},
    {"SOFTWARE\\Classes\\MSDataShape.1", "MSDataShape"},
    {"SOFTWARE\\Classes\\MSDataShape", "MSDataShape"},
    {"SOFTWARE\\Classes\\MSDFMAP.Handler.1", "Handler Class"},
    {"SOFTWARE\\Classes\\MSDFMAP.Handler", "Handler Class"},
    {"SOFTWARE\\Classes\\MSPersist.1", "MSPersist"},
    {"SOFTWARE\\Classes\\MSPersist", "MSPersist"},
    {"SOFTWARE\\Classes\\TypeLib\\{A1A6B98C-497F-11D1-9217-00C04FBBBFB3}", ""},
    {"SOFTWARE\\Microsoft\\DataFactory\\HandlerInfo\\safeHandlerList\\MSDFMAP.Handler", ""},
    {"SOFTWARE\\Microsoft\\DataFactory\\HandlerInfo\\safeHandlerList\\MSDFMAP_VB.Handler", ""},
    {"SOFTWARE\\Microsoft\\DataFactory\\HandlerInfo\\safeHandlerList\\MSDFMAP_VC.Handler", ""},
    {"SOFTWARE\\Microsoft\\DataFactory\\HandlerInfo\\safeHandlerList", ""},
    {"SOFTWARE\\Microsoft\\DataFactory\\HandlerInfo", ""},
    {"SOFTWARE\\Microsoft\\DataFactory", ""},
};

}  // namespace

std::vector<RegistryCheck> mdacRegistryChecks() {
    std::vector<RegistryCheck> checks = objectModelChecks();
    for (const auto& [key, expected] : kDataAccessComponentKeys) {
        checks.push_back({key, expected});
    }
    return checks;
}

std::vector<ClassCheckGroup> crystalClassChecks() {
    return {
        {"8.5.0.625",
         "CRAXDRT",
         {"B4741E10-45A6-11D1-ABEC-00A0C9274B91", "B4741FD0-45A6-11D1-ABEC-00A0C9274B91",
          "B4742170-45A6-11D1-ABEC-00A0C9274B91", "B4742180-45A6-11D1-ABEC-00A0C9274B91",
          "B4742190-45A6-11D1-ABEC-00A0C9274B91", "B47421A0-45A6-11D1-ABEC-00A0C9274B91"}},
        {"8.6.1.567",
         "CRVIEWER",
         {"13FA5947-561C-11D1-BE3F-00A0C95A6A5C", "75347086-7260-11D1-BE46-00A0C95A6A5C",
          "75C66E66-8949-11D2-BF6D-00A0C9DA4FA2", "75C66E68-8949-11D2-BF6D-00A0C9DA4FA2",
          "A0E5F37E-CA67-11D1-A817-00A0C92784CD", "C4847596-972C-11D0-9567-00A0C9273C2A"}},
        {"8.6.1.37",
         "EXPORTMODELLER",
         {"08C5B872-ECA4-11D4-A7B9-00902771FF87", "20BC1262-34E5-11D5-A800-00902771FF87",
          "23C3C2C4-FA91-11D3-A6DC-00902771FF87", "343D9CAF-DA8E-11D3-9C9A-00A0C9C84608",
          "343D9CB1-DA8E-11D3-9C9A-00A0C9C84608", "343D9CB3-DA8E-11D3-9C9A-00A0C9C84608",
          "343D9CB9-DA8E-11D3-9C9A-00A0C9C84608", "377EBDC3-D059-11D4-A7A3-00902771FF87",
          "454CC187-E49D-11D3-9CA2-00A0C9C84608", "660ADE75-F449-11D3-A6D2-00902771FF87",
          "660ADE77-F449-11D3-A6D2-00902771FF87", "8D7D6A02-D121-11D4-A7A4-00902771FF87",
          "8D7D6A04-D121-11D4-A7A4-00902771FF87", "985E4039-F6AE-11D3-9CB4-00A0C9C84608",
          "A1F5F582-001B-11D4-A6E1-00902771FF87", "A4808415-E2A9-11d5-A8A3-0003471233F3",
          "A4808416-E2A9-11d5-A8A3-0003471233F3", "A57AA692-F5E2-11D3-A6D4-00902771FF87",
          "A57AA69A-F5E2-11D3-A6D4-00902771FF87", "A57AA69C-F5E2-11D3-A6D4-00902771FF87",
          "A6584661-F925-11D3-A6D8-00902771FF87", "C978FD27-F390-11D3-A6D1-00902771FF87",
          "C978FD29-F390-11D3-A6D1-00902771FF87", "D330E092-F158-11D4-A7BE-00902771FF87",
          "D330E09B-F158-11D4-A7BE-00902771FF87", "D330E09F-F158-11D4-A7BE-00902771FF87",
          "D330E0A1-F158-11D4-A7BE-00902771FF87", "D330E0A3-F158-11D4-A7BE-00902771FF87",
          "D330E0A5-F158-11D4-A7BE-00902771FF87", "D330E0A7-F158-11D4-A7BE-00902771FF87",
          "D330E0A9-F158-11D4-A7BE-00902771FF87", "DBA36674-FB63-11D3-9CB6-00A0C9C84608",
          "DBA36678-FB63-11D3-9CB6-00A0C9C84608", "F986A051-D154-11d4-A7A4-00902771FF87"}},
        {"8.6.1.252", "CRTSLV", {"809EA63A-22F2-462a-B8ED-0E9E47F4605B"}},
        {"9.0.0.0",
         "",
         {"D76D712E-4A96-11d3-BD95-D296DC2DD072", "DCC463A1-4B19-11D3-BD95-D426EF2C7949"}},
    };
}

std::vector<RegistryCheck> crystalRegistryChecks() {
    return {
        {"SOFTWARE\\Classes\\CRViewer.CRViewer\\CLSID", "{C4847596-972C-11D0-9567-00A0C9273C2A}"},
        {"SOFTWARE\\Classes\\CRViewer.CRViewer.8.0\\CLSID",
         "{C4847596-972C-11D0-9567-00A0C9273C2A}"},
    };
}

std::vector<FileCheck> runtimeFileChecks() {
    using enum Folder;
    return {
        {System, "OLEAUT32.DLL", "2.40.4275.1"}, {System, "OLEPRO32.DLL", "5.0.4275.1"},
        {System, "MSVBVM60.DLL", "6.0.89.64"},   {System, "COMCAT.DLL", "4.71.1460.1"},
        {System, "ASYCFILT.DLL", "2.40.4275.1"}, {System, "STDOLE2.TLB", "2.40.4275.1"},
    };
}

std::vector<ClassCheckGroup> runtimeClassChecks() {
    return {{"6.0.89.64", "", {"D5DE8D20-5BB8-11D1-A1E3-00A0C90F2731"}}};
}

}  // namespace kx::errhandler
