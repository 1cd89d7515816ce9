#include "server/support/support_pages.h"

#include <algorithm>
#include <array>

#include "platform/text/ascii_text.h"
#include "server/support/context_layout.h"

namespace kx::server::support {

namespace {

// The twelve fields every error report carries, in the order the error library sends them.
constexpr std::array<std::string_view, 12> kReportFields = {
    "ProjectName",      "ProjectVersion", "Module", "Routine", "LineNumber", "ErrorNumber",
    "ErrorDescription", "Context",        "Token",  "AppPath", "AppName",    "ParentProcess"};

// A value longer than this, or over more lines, is folded; a list's description is cut here.
constexpr std::size_t kShortValue = 200;
constexpr std::size_t kShortLines = 6;
constexpr std::size_t kListedDescription = 300;
constexpr std::size_t kSummaryBytes = 100;

Html page(std::string_view title, std::string_view user, const Html& content) {
    return fill(
        "page.html",
        {{"title", escape(title)},
         {"account", user.empty() ? Html() : fill("account.html", {{"login", escape(user)}})},
         {"content", content}});
}

std::string shortened(std::string_view text, std::size_t maxBytes) {
    const std::string_view start = utf8Prefix(text, maxBytes);
    return std::string(start) + (start.size() < text.size() ? "…" : "");
}

// "2024-05-06T07:08:09" as "2024-05-06 07:08:09 UTC".
std::string shownTime(std::string text) {
    std::replace(text.begin(), text.end(), 'T', ' ');
    return text.empty() ? text : text + " UTC";
}

std::string where(const ReportGroup& group) {
    std::string text = group.module;
    if (!group.routine.empty()) {
        text += (text.empty() ? "" : ".") + group.routine;
    }
    if (!group.lineNumber.empty()) {
        text += (text.empty() ? "line " : ", line ") + group.lineNumber;
    }
    return text;
}

std::string versionList(const ReportGroup& group) {
    std::string text;
    for (const std::string& version : group.versions) {
        text += (text.empty() ? "" : ", ") + (version.empty() ? std::string("(none)") : version);
    }
    return text + (group.moreVersions ? ", …" : "");
}

std::string descriptionOf(const ReportGroup& group, std::size_t maxBytes) {
    return group.description.empty() ? "(no description)" : shortened(group.description, maxBytes);
}

// A value as a table cell: short ones as they are, a few lines preformatted, longer ones folded
// behind their first line.
Html valueCell(std::string_view value) {
    const auto lines = static_cast<std::size_t>(std::count(value.begin(), value.end(), '\n')) + 1;
    if (lines == 1 && value.size() <= kShortValue) {
        return escape(value);
    }
    if (lines <= kShortLines && value.size() <= kShortValue * kShortLines) {
        return fill("preformatted.html", {{"text", escape(value)}});
    }
    const std::string_view first = value.substr(0, value.find_first_of("\r\n"));
    const std::string summary = shortened(first, kSummaryBytes) + " (" + std::to_string(lines) +
                                " lines, " + std::to_string(value.size()) + " bytes)";
    return fill("folded.html", {{"summary", escape(summary)}, {"text", escape(value)}});
}

Html row(std::string_view name, const Html& value) {
    return fill("field_row.html", {{"name", escape(name)}, {"value", value}});
}

// The twelve fields in their order, then any others the sender added; the context only when
// `withContext` (the report page lays it out below instead).
Html fieldsTable(const ReportFields& fields, bool withContext) {
    const ReportFields merged = mergedFields(fields);
    Html rows;
    for (const std::string_view name : kReportFields) {
        if (name != "Context" || withContext) {
            rows += row(name, valueCell(fieldValue(merged, name)));
        }
    }
    for (const auto& [name, value] : merged) {
        if (std::find(kReportFields.begin(), kReportFields.end(), name) == kReportFields.end()) {
            rows += row(name, valueCell(value));
        }
    }
    return fill("fields.html", {{"rows", rows}});
}

Html contextSection(std::string_view title, const Html& body) {
    return fill("context_section.html", {{"title", escape(title)}, {"body", body}});
}

// The context as the variable dump's sections, the diagnostics and whatever else it holds.
Html contextSections(std::string_view context) {
    const ContextLayout layout = layOutContext(context);
    Html sections;
    for (const DumpSection& section : layout.sections) {
        Html rows;
        for (const DumpEntry& entry : section.entries) {
            rows += row(entry.name, valueCell(entry.value));
        }
        sections += contextSection(section.title, section.entries.empty()
                                                      ? escape("None.")
                                                      : fill("fields.html", {{"rows", rows}}));
    }
    if (!layout.diagnostics.empty()) {
        Html rows;
        for (const DiagnosticsItem& item : layout.diagnostics) {
            rows += row(item.label, valueCell(item.value));
        }
        sections += contextSection("Diagnostics", fill("fields.html", {{"rows", rows}}));
    }
    if (!layout.other.empty()) {
        sections += contextSection(layout.sections.empty() ? "Context" : "Other context",
                                   valueCell(layout.other));
    }
    return sections;
}

Html link(std::string_view href, std::string_view label) {
    return fill("link.html", {{"href", escape(href)}, {"label", escape(label)}});
}

// "Page n of m" with links to the newer and older pages; `address` gives a page's address.
template <typename Address>
Html pager(std::int64_t page, std::int64_t total, Address address) {
    const std::int64_t pages =
        std::max<std::int64_t>(1, (total + ReportGroups::kPageSize - 1) / ReportGroups::kPageSize);
    return fill("pager.html",
                {{"newer", page > 1 ? link(address(page - 1), "Newer") : Html()},
                 {"page", escape(std::to_string(page))},
                 {"pages", escape(std::to_string(pages))},
                 {"older", page < pages ? link(address(page + 1), "Older") : Html()}});
}

Html projectOptions(const std::vector<std::string>& projects, const std::string& chosen) {
    Html options =
        fill("option.html", {{"value", Html()}, {"selected", Html()}, {"label", escape("All")}});
    for (const std::string& project : projects) {
        options += fill("option.html", {{"value", escape(project)},
                                        {"selected", escape(project == chosen ? " selected" : "")},
                                        {"label", escape(project.empty() ? "(none)" : project)}});
    }
    return options;
}

}  // namespace

std::string queryComponent(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        if (ascii::isLetter(c) || ascii::isDigit(c) || c == '-' || c == '.' || c == '_' ||
            c == '~') {
            out += c;
        } else {
            const auto byte = static_cast<unsigned char>(c);
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }
    }
    return out;
}

Html loginPage(std::string_view message, std::string_view login, std::string_view next) {
    return page(
        "Login", "",
        fill("login.html",
             {{"message",
               message.empty() ? Html() : fill("message.html", {{"text", escape(message)}})},
              {"login", escape(login)},
              {"next", escape(next)}}));
}

Html groupsPage(std::string_view user, const GroupFilter& filter, std::int64_t page,
                const ListPage<ReportGroup>& groups, const std::vector<std::string>& projects) {
    Html rows;
    for (const ReportGroup& group : groups.entries) {
        rows += fill("group_row.html",
                     {{"count", escape(std::to_string(group.reportCount))},
                      {"id", escape(std::to_string(group.id))},
                      {"description", escape(descriptionOf(group, kListedDescription))},
                      {"project", escape(group.project)},
                      {"errorNumber", escape(group.errorNumber)},
                      {"where", escape(where(group))},
                      {"versions", escape(versionList(group))},
                      {"firstSeen", escape(shownTime(group.firstSeen))},
                      {"lastSeen", escape(shownTime(group.lastSeen))}});
    }
    const auto address = [&](std::int64_t number) {
        return "/support/?project=" + queryComponent(filter.project) +
               "&version=" + queryComponent(filter.version) + "&q=" + queryComponent(filter.text) +
               "&page=" + std::to_string(number);
    };
    const bool filtered =
        !filter.project.empty() || !filter.version.empty() || !filter.text.empty();
    const bool one = groups.total == 1;
    const std::string summary = std::to_string(groups.total) + (one ? " cause" : " causes") +
                                (filtered ? (one ? " matches the filter." : " match the filter.")
                                          : ", the latest activity first.");
    return support::page(
        "Failures by cause", user,
        fill("groups.html", {{"projectOptions", projectOptions(projects, filter.project)},
                             {"version", escape(filter.version)},
                             {"text", escape(filter.text)},
                             {"summary", escape(summary)},
                             {"rows", rows},
                             {"pager", pager(page, groups.total, address)},
                             {"prune", fill("prune.html", {})}}));
}

Html groupPage(std::string_view user, const ReportGroup& group, std::int64_t page,
               const ListPage<ReportSummary>& reports, const std::optional<StoredReport>& latest) {
    Html rows;
    for (const ReportSummary& report : reports.entries) {
        rows += fill("report_row.html", {{"id", escape(std::to_string(report.id))},
                                         {"receivedAt", escape(shownTime(report.receivedAt))},
                                         {"version", escape(report.version)},
                                         {"clientAddress", escape(report.clientAddress)}});
    }
    const auto address = [&](std::int64_t number) {
        return "/support/groups/" + std::to_string(group.id) + "?page=" + std::to_string(number);
    };
    Html latestReport = escape("No longer stored.");
    if (latest) {
        const std::string id = std::to_string(latest->id);
        latestReport = link("/support/reports/" + id, "Report " + id);
        latestReport += fieldsTable(latest->fields, true);
    }
    return support::page(
        "Cause " + std::to_string(group.id), user,
        fill("group.html", {{"description", escape(descriptionOf(group, group.description.size()))},
                            {"project", escape(group.project)},
                            {"errorNumber", escape(group.errorNumber)},
                            {"where", escape(where(group))},
                            {"count", escape(std::to_string(group.reportCount))},
                            {"firstSeen", escape(shownTime(group.firstSeen))},
                            {"lastSeen", escape(shownTime(group.lastSeen))},
                            {"versions", escape(versionList(group))},
                            {"fingerprint", escape(group.fingerprint)},
                            {"rows", rows},
                            {"pager", pager(page, reports.total, address)},
                            {"latest", latestReport}}));
}

Html reportPage(std::string_view user, const StoredReport& report,
                std::optional<std::int64_t> groupId) {
    const std::string id = std::to_string(report.id);
    Html groupLink;
    if (groupId) {
        groupLink = escape(" › ");
        groupLink += link("/support/groups/" + std::to_string(*groupId), "this cause");
    }
    return page(
        "Report " + id, user,
        fill("report.html", {{"groupLink", groupLink},
                             {"id", escape(id)},
                             {"receivedAt", escape(shownTime(report.receivedAt))},
                             {"clientAddress", escape(report.clientAddress)},
                             {"fields", fieldsTable(report.fields, false)},
                             {"context", contextSections(fieldValue(report.fields, "Context"))}}));
}

Html prunedPage(std::string_view user, std::int64_t removed, std::string_view before) {
    const std::string text = "Removed " + std::to_string(removed) +
                             (removed == 1 ? " report" : " reports") + " received before " +
                             shownTime(std::string(before)) + ".";
    return page("Old reports removed", user, fill("pruned.html", {{"text", escape(text)}}));
}

Html notFoundPage(std::string_view user) {
    return page("Not found", user, fill("not_found.html", {}));
}

}  // namespace kx::server::support
