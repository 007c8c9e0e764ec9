#pragma once

#include "core/catalogue/component.h"
#include "core/catalogue/version.h"

#include <string>
#include <vector>

class CComponentManager;
class CDistribution;

/// One component a template names, with the version the package used.
struct CTemplateComponent {
    std::string name;
    std::string package;   // archive file name
    CVersion version;
    std::string group;
    std::string description;
    std::string depends;
    bool needSetup = false;
    bool needStartService = false;
};

/// A package template: the distribution, root, tag and exact component versions of a package,
/// so that the same package can be made again. Read from a file or from text; creating a
/// package from it makes a new package of the named distribution and caps every listed
/// component at the template's version, includes the listed components and excludes the rest.
class CPackageTemplate {
public:
    enum ErrorState : int {
        NoError = 0,
        NoTemplateText = 1,
        PackageAlreadyExists = 2,
        DistributionNotListed = 3,
        CreatingPackageFailed = 4,
    };

    /// fromFile: fileName names a local file whose text ReadTemplate reads when no text was
    /// given.
    CPackageTemplate(const std::string& fileName, bool fromFile);

    /// The template text itself (for instance fetched from the server); it wins over the file.
    void SetText(const std::string& text) { m_Text = text; }

    /// Parses the text (read from the file first when needed). False with error state 1 when
    /// there is no text. Unknown keys, keys outside their block and other lines are ignored.
    bool ReadTemplate();
    // Creating a package from a template is the facade's workflow
    // (CNUVFunctions::CreatePackageFromTemplate); these are its two halves.

    /// Names the package (packageName, or the template's alias when that is empty) and finds
    /// the template's distribution: its index in the distribution list, or -1 with error
    /// state 2 (the name is taken) or 3 (the distribution is not listed).
    int PrepareNewPackage(const std::string& packageName);
    /// After the package was created (created) and opened as the current distribution,
    /// applies the component versions. False with error state 4 when creating the package or
    /// saving its selection failed.
    bool FinishNewPackage(bool created);
    /// Caps, includes and excludes the holders of manager after the template; versions the
    /// catalogue lacks go on the missing-versions list (or are added in reference-only mode).
    /// 0, or the code of writing the package's state file (not written in reference-only mode).
    int ApplyTemplateComponents(CComponentManager* manager);

    /// The template text of distribution's package, its components taken from its catalogue.
    static std::string TemplateText(const CDistribution& distribution);
    /// Writes TemplateText to "PTF/<alias>.ptf". 0, or 81 when the file cannot be written or
    /// the alias is no usable package name (an older file stays).
    static int WriteTemplate(const CDistribution& distribution);

    int GetErrorState() const { return m_ErrorState; }
    const std::string& GetName() const { return m_Name; }
    const std::string& GetDescription() const { return m_Description; }
    const std::string& GetTextFile() const { return m_TextFile; }
    const std::string& GetAlias() const { return m_Alias; }
    const std::string& GetDistribution() const { return m_Distribution; }
    const std::string& GetTessomRoot() const { return m_TessomRoot; }
    const std::string& GetInstall() const { return m_Install; }
    const std::string& GetUninstall() const { return m_Uninstall; }
    const std::string& GetStart() const { return m_Start; }
    const std::string& GetStop() const { return m_Stop; }
    const std::string& GetPlatform() const { return m_Platform; }
    const std::string& GetPackageTag() const { return m_PackageTag; }
    const std::vector<CTemplateComponent>& GetComponents() const { return m_Components; }
    /// Records for template versions the catalogue no longer has, in holder order.
    const std::vector<CComponent>& GetMissingVersions() const { return m_MissingVersions; }

private:
    enum class Block { None, Header, Distribution, Components };

    /// A marker line switches the blocks; false when line is no marker.
    bool ApplyMarker(const std::string& line);
    void ApplyKey(const std::string& key, const std::string& value);
    /// Files the pending component when it has a name, and starts a fresh one.
    void StorePending();
    const CTemplateComponent* FindEntry(const std::string& name) const;

    std::string m_FileName;
    std::string m_Text;
    bool m_FromFile;

    std::string m_Name;
    std::string m_Description;
    std::string m_TextFile;
    std::string m_Alias;
    std::string m_Distribution;
    std::string m_TessomRoot;
    std::string m_Install;
    std::string m_Uninstall;
    std::string m_Start;
    std::string m_Stop;
    std::string m_Platform;
    std::string m_PackageTag;
    std::vector<CTemplateComponent> m_Components;
    CTemplateComponent m_Pending;
    Block m_Block = Block::None;
    int m_ErrorState = NoError;
    std::vector<CComponent> m_MissingVersions;
};
