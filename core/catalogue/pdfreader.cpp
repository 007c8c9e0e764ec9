#include "core/catalogue/pdfreader.h"

#include "core/catalogue/componentmanager.h"
#include "core/catalogue/distribution.h"
#include "core/base/resultcodes.h"
#include "core/base/textutil.h"
#include "core/base/trace.h"

#include <memory>

namespace {

std::string_view SectionName(std::string_view line)
{
    const size_t end = line.find(']', 1);
    return line.substr(1, end == std::string_view::npos ? std::string_view::npos : end - 1);
}

int Length(std::string_view text) { return int(text.size()); }

}  // namespace

int CPDFReader::Read(CComponentManager* manager, const std::string& text,
                     const std::string& serverPath, const std::string& extention)
{
    CTraceScope scope(
        "CComponentManager::ReadPDF( std::string PDF, std::string server_path, std::string extention )");
    if (text.empty()) {
        Trace("\tPDF file text is empty!!!!");
        return rc::NoPDFText;
    }
    const int platform = manager->GetDistribution() ? manager->GetDistribution()->GetPlatform() : 0;
    // Asked once: a trace that is off costs a call per line otherwise.
    const bool tracing = IsDebugTraceOn();
    // Built in place and filed as it is: a record is large, moving it would copy much of it.
    std::unique_ptr<CComponent> pending;
    SplitLines(text, [&](std::string_view raw) {
        const std::string_view line = TrimChars(raw, " ");
        if (line.empty())
            return;
        if (line[0] == '[') {
            if (pending)
                manager->FileRecord(std::move(pending));
            pending = std::make_unique<CComponent>(manager->GetDistribution());
            pending->SetPlatform(platform);
            const std::string_view name = SectionName(line);
            if (tracing)
                Trace("\tCreating Cmpnt %.*s,", Length(name), name.data());
            // Setters refuse empty texts, which leaves the defaults as the catalogue wants.
            (void)pending->SetName(name);
            (void)pending->SetServerPath(serverPath);
            (void)pending->SetExtention(extention);
            if (tracing) {
                Trace("\t\tServer Path: %s", serverPath.c_str());
                Trace("\t\tExtention:   %s", extention.c_str());
            }
            return;
        }
        std::string_view key, value;
        if (!SplitKeyValue(line, &key, &value)) {
            if (tracing)
                Trace("\t\tExpected \"=\" in line: %.*s", Length(line), line.data());
            return;
        }
        if (tracing)
            Trace("\t\tKey = %.*s, Value = %.*s", Length(key), key.data(), Length(value),
                  value.data());
        if (pending)
            ApplyKey(pending.get(), key, value);
    });
    if (pending)
        manager->FileRecord(std::move(pending));
    else
        Trace("\tLast STRANGE LAST CMPNT HAS NOT BEEN CREATED");
    return rc::Success;
}

void CPDFReader::ApplyKey(CComponent* record, std::string_view key, std::string_view value)
{
    // A refused value is not reported: the field keeps its default and reading goes on.
    if (key == "package")
        (void)record->SetPackage(value);
    else if (key == "version")
        (void)record->SetVersion(value);
    else if (key == "group")
        (void)record->SetGroup(value);
    else if (key == "description")
        (void)record->SetDescription(value);
    else if (key == "releasenotes")
        (void)record->SetReleaseNotes(value);
    else if (key == "depends")
        (void)record->SetDepends(value);
    else if (key == "needsetup")
        (void)record->SetNeedSetup(value);
    else if (key == "needstartservice")
        (void)record->SetNeedStartService(value);
    else if (key == "installmessage")
        (void)record->SetInstallMessage(value);
    else if (key == "sha256")
        (void)record->SetSha256(value);
    else
        Trace("%.*s - unknown Key", Length(key), key.data());
}
