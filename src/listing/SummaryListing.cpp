#include "listing/SummaryListing.h"

#include "details/CrcCtrl.h"
#include "listing/ListingWriter.h"

#include <QByteArray>
#include <algorithm>
#include <cstdio>

namespace quillon {

namespace {

std::string Share(const ScanSummary& summary, const TypeTotal& type)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", summary.share(type));
    return text;
}

void AppendPath(std::string& out, const std::string& path)
{
    AppendJsonString(out, path);
    if (!IsValidUtf8(path)) {
        out.append(", \"pathHex\": \"");
        out.append(HexBytes(path));
        out.push_back('"');
    }
}

void AppendTopJson(std::string& o, const ScanSummary& summary)
{
    o.append("\n\"top\": [");
    for (std::size_t i = 0; i < summary.top.size(); ++i) {
        o.append(i ? ",\n  {\"path\": " : "\n  {\"path\": ");
        AppendPath(o, summary.top[i].path);
        o.append(", \"size\": " + std::to_string(summary.top[i].size) + "}");
    }
    o.append("]");
}

void AppendTypesJson(std::string& o, const ScanSummary& summary)
{
    o.append("\n\"types\": [");
    for (std::size_t i = 0; i < summary.types.size(); ++i) {
        const TypeTotal& type = summary.types[i];
        o.append(i ? ",\n  {\"extension\": " : "\n  {\"extension\": ");
        AppendJsonString(o, type.extension);
        o.append(", \"files\": " + std::to_string(type.files) + ", \"bytes\": " +
                 std::to_string(type.bytes) + ", \"share\": " + Share(summary, type) + "}");
    }
    o.append("]");
}

// A list of paths as JSON strings, separated by commas.
void AppendPathList(std::string& o, const std::vector<std::string>& paths)
{
    for (std::size_t j = 0; j < paths.size(); ++j) {
        if (j)
            o.push_back(',');
        AppendJsonString(o, paths[j]);
    }
}

void AppendGroupJson(std::string& o, const DuplicateGroup& group)
{
    o.append(std::to_string(group.size) + ", \"crc32\": \"" + CrcCtrl::HexText(group.crc) +
             "\", \"wasted\": " + std::to_string(group.wasted()) + ", \"paths\": [");
    AppendPathList(o, group.paths);
    o.append("]");
    // The bytes as well when a path is no UTF-8, as an entry's pathHex.
    if (std::all_of(group.paths.begin(), group.paths.end(),
                    [](const std::string& path) { return IsValidUtf8(path); })) {
        o.push_back('}');
        return;
    }
    o.append(", \"pathsHex\": [");
    for (std::size_t j = 0; j < group.paths.size(); ++j) {
        o.append(j ? ",\"" : "\"");
        o.append(HexBytes(group.paths[j]));
        o.push_back('"');
    }
    o.append("]}");
}

void AppendDuplicatesJson(std::string& o, const ScanSummary& summary)
{
    o.append("\n\"duplicates\": {\"sameBytes\": ");
    o.append(summary.settings.SameBytes ? "true" : "false");
    o.append(", \"complete\": ");
    o.append(summary.unreadable.empty() && !summary.stopped ? "true" : "false");
    o.append(", \"groups\": [");
    for (std::size_t i = 0; i < summary.duplicates.size(); ++i) {
        o.append(i ? ",\n  {\"size\": " : "\n  {\"size\": ");
        AppendGroupJson(o, summary.duplicates[i]);
    }
    o.append("],\n  \"unreadable\": [");
    AppendPathList(o, summary.unreadable);
    o.append("]}");
}

} // namespace

void AppendSummaryJson(std::string& o, const ScanSummary& summary)
{
    const SummarySettings& s = summary.settings;
    o.append("\"summary\": {");
    const char* comma = "";
    if (s.Top) {
        AppendTopJson(o, summary);
        comma = ",";
    }
    if (s.Types) {
        o.append(comma);
        AppendTypesJson(o, summary);
        comma = ",";
    }
    if (s.Duplicates) {
        o.append(comma);
        AppendDuplicatesJson(o, summary);
    }
    o.append("\n}");
}

bool WriteSummaryCsv(const ScanSummary& summary, QIODevice& out, QString* error)
{
    std::string o = "summary,rank,path,extension,files,bytes,share,crc32,wasted,pathHex\r\n";
    // summary, rank, path, extension, files, bytes, share, crc32, wasted
    const auto row = [&](std::initializer_list<std::string_view> fields, const std::string& path) {
        bool first = true;
        for (const std::string_view field : fields) {
            AppendCsvField(o, field, first);
            first = false;
        }
        AppendCsvField(o, IsValidUtf8(path) ? std::string() : HexBytes(path));
        o.append("\r\n");
    };
    const SummarySettings& s = summary.settings;
    if (s.Top) {
        for (std::size_t i = 0; i < summary.top.size(); ++i)
            row({"top", std::to_string(i + 1), summary.top[i].path, "", "",
                 std::to_string(summary.top[i].size), "", "", ""},
                summary.top[i].path);
    }
    if (s.Types) {
        for (std::size_t i = 0; i < summary.types.size(); ++i) {
            const TypeTotal& type = summary.types[i];
            row({"types", std::to_string(i + 1), "", type.extension, std::to_string(type.files),
                 std::to_string(type.bytes), Share(summary, type), "", ""},
                {});
        }
    }
    if (s.Duplicates) {
        for (std::size_t i = 0; i < summary.duplicates.size(); ++i) {
            const DuplicateGroup& group = summary.duplicates[i];
            for (const std::string& path : group.paths)
                row({"duplicates", std::to_string(i + 1), path, "",
                     std::to_string(group.paths.size()), std::to_string(group.size), "",
                     CrcCtrl::HexText(group.crc), std::to_string(group.wasted())},
                    path);
        }
        for (const std::string& path : summary.unreadable)
            row({"unreadable", "", path, "", "", "", "", "", ""}, path);
    }
    if (out.write(o.data(), static_cast<qint64>(o.size())) != static_cast<qint64>(o.size())) {
        *error = out.errorString();
        return false;
    }
    return true;
}

} // namespace quillon
