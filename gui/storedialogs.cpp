#include "gui/storedialogs.h"

#include "core/catalogue/cache.h"
#include "core/catalogue/component.h"
#include "core/catalogue/componentholder.h"
#include "core/catalogue/distribution.h"
#include "core/catalogue/distributionlist.h"
#include "core/catalogue/packagetemplate.h"
#include "core/nuvfunctions.h"
#include "gui/userprompts.h"
#include "gui/dialogparts.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

/// A form row: caption (its mnemonic moving to field), the path field and a browse button.
void AddPathRow(QFormLayout* form, const QString& caption, QLineEdit* field, const QString& browseText,
                const std::function<void()>& browse)
{
    auto* row = new QHBoxLayout;
    row->addWidget(field, 1);
    auto* button = new QPushButton(browseText, field->parentWidget());
    button->setAccessibleName("Browse for the installation path");
    QObject::connect(button, &QPushButton::clicked, field, browse);
    row->addWidget(button);
    auto* label = new QLabel(caption, field->parentWidget());
    label->setBuddy(field);
    form->addRow(label, row);
}

QLineEdit* Field(QWidget* parent, const QString& name, int maxLength = 0)
{
    auto* field = new QLineEdit(parent);
    field->setAccessibleName(name);
    if (maxLength > 0)
        field->setMaxLength(maxLength);
    return field;
}

QListWidget* PackageList(QWidget* parent, const QString& name)
{
    auto* list = new QListWidget(parent);
    list->setAccessibleName(name);
    for (const std::string& package : CNUVFunctions::Instance()->GetPackageList())
        list->addItem(Text(package));
    list->setCurrentRow(0);
    return list;
}

QString Chosen(const QListWidget* list)
{
    const QListWidgetItem* item = list->currentItem();
    return item && item->isSelected() ? item->text() : QString();
}

QTreeWidget* CacheTree(QWidget* parent, const QString& name, const std::vector<CacheEntry>& entries)
{
    auto* tree = new QTreeWidget(parent);
    tree->setAccessibleName(name);
    tree->setRootIsDecorated(false);
    tree->setHeaderLabels({"Component File", "Parent Package(s)"});
    for (const CacheEntry& entry : entries) {
        QStringList packages;
        for (const std::string& package : entry.packages)
            if (!packages.contains(Text(package)))
                packages << Text(package);
        new QTreeWidgetItem(tree, {Text(entry.fileName), packages.join(", ")});
    }
    tree->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    return tree;
}

void AddCaptioned(QVBoxLayout* layout, const QString& caption, QWidget* widget)
{
    auto* label = new QLabel(caption, widget->parentWidget());
    label->setBuddy(widget);
    layout->addWidget(label);
    layout->addWidget(widget);
}

}  // namespace

// --- New package ----------------------------------------------------------------------------

CNewPackage::CNewPackage(QWidget* parent)
    : QDialog(parent),
      m_pName(Field(this, "Package Name")),
      m_pPath(Field(this, "Installation Path")),
      m_pTag(Field(this, "Package Tag", kFieldLength)),
      m_pFromDistribution(new QRadioButton("&Specific Distribution", this)),
      m_pFromTemplate(new QRadioButton("&Periodic Release", this)),
      m_pDistributions(new QTreeWidget(this)),
      m_pTemplates(new QTreeWidget(this)),
      m_pInformation(new QTextEdit(this))
{
    setWindowTitle("NUV - Create New Package");
    m_pPath->setText(kDefaultInstallPath);
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    form->addRow("Package &Name", m_pName);
    AddPathRow(form, "Installation &Path", m_pPath, "&Browse...", [this] { SLOTBrowseBtn(); });
    form->addRow("Package &Tag", m_pTag);
    layout->addLayout(form);

    auto* from = new QGroupBox("Create From", this);
    auto* fromLayout = new QVBoxLayout(from);
    auto* radios = new QHBoxLayout;
    radios->addWidget(m_pFromDistribution);
    radios->addWidget(m_pFromTemplate);
    radios->addStretch(1);
    fromLayout->addLayout(radios);
    m_pFromDistribution->setChecked(true);
    // The server's templates need a connection.
    m_pFromTemplate->setEnabled(CNUVFunctions::Instance()->IsOnline());
    connect(m_pFromDistribution, &QRadioButton::clicked, this,
            &CNewPackage::SLOTCreateFromDistributionRaioClicked);
    connect(m_pFromTemplate, &QRadioButton::clicked, this, &CNewPackage::SLOTCreateFromPTFRaioClicked);

    m_pDistributions->setHeaderLabels({"Base Distributions", "Description"});
    m_pDistributions->setAccessibleName("Base Distributions");
    auto* top = new QTreeWidgetItem(m_pDistributions, {"Distributions"});
    top->setFlags(Qt::ItemIsEnabled);
    const CDistributionList* list = CDistributionList::instance();
    for (int i = 0; i < list->count(); ++i) {
        const CDistribution* distribution = list->getDistribution(i);
        auto* item = new QTreeWidgetItem(top, {Text(distribution->GetName()), Text(distribution->GetDescription())});
        item->setData(0, Qt::UserRole, i);
    }
    m_pDistributions->expandAll();
    m_pDistributions->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    fromLayout->addWidget(m_pDistributions);
    m_pTemplates->setHeaderLabels({"Periodic Releases"});
    m_pTemplates->setAccessibleName("Periodic Releases");
    m_pInformation->setReadOnly(true);
    m_pInformation->setAccessibleName("Information");
    auto* pane = new QWidget(from);
    auto* templates = new QHBoxLayout(pane);
    templates->setContentsMargins(0, 0, 0, 0);
    templates->addWidget(m_pTemplates, 1);
    auto* information = new QVBoxLayout;
    information->addWidget(new QLabel("Information", pane));
    information->addWidget(m_pInformation);
    templates->addLayout(information, 1);
    fromLayout->addWidget(pane);
    pane->hide();
    connect(m_pTemplates, &QTreeWidget::currentItemChanged, this, &CNewPackage::SLOTPTFSelected);
    layout->addWidget(from, 1);
    layout->addWidget(OkCancel(this, "OK", [this] { SLOTOKBtn(); }));
    resize(560, 420);
}

QString CNewPackage::Name() const { return m_pName->text().trimmed(); }
QString CNewPackage::Path() const { return m_pPath->text().trimmed(); }
QString CNewPackage::Tag() const { return m_pTag->text(); }

int CNewPackage::Distribution() const
{
    const QTreeWidgetItem* item = m_pDistributions->currentItem();
    if (!item || !item->isSelected() || !item->parent())
        return -1;
    return item->data(0, Qt::UserRole).toInt();
}

bool CNewPackage::FromTemplate() const { return m_pFromTemplate->isChecked(); }

void CNewPackage::FillTemplates()
{
    if (m_bTemplatesFilled)
        return;
    m_bTemplatesFilled = true;
    auto* top = new QTreeWidgetItem(m_pTemplates, {"Available Releases"});
    top->setFlags(Qt::ItemIsEnabled);
    CNUVFunctions* nuv = CNUVFunctions::Instance();
    for (const bool user : {false, true})
        for (const std::string& name : nuv->GetPTFList(user)) {
            auto* item = new QTreeWidgetItem(top, {Text(name)});
            item->setData(0, Qt::UserRole, user);
        }
    m_pTemplates->expandAll();
}

void CNewPackage::SLOTPTFSelected()
{
    m_TemplateText.clear();
    m_pInformation->clear();
    const QTreeWidgetItem* item = m_pTemplates->currentItem();
    if (!item || !item->parent())
        return;
    const std::string text = CNUVFunctions::Instance()->GetPTFText(item->data(0, Qt::UserRole).toBool(),
                                                                   item->text(0).toLatin1().toStdString());
    CPackageTemplate ptf(std::string(), false);
    ptf.SetText(text);
    if (!ptf.ReadTemplate()) {
        m_pInformation->setPlainText("No text to read from PTF file");
        return;
    }
    m_TemplateText = text;
    m_pInformation->setPlainText(Text(ptf.GetName() + "\n\n" + ptf.GetDescription() + "\n\nDistribution: " +
                                      ptf.GetDistribution()));
}

void CNewPackage::SLOTOKBtn()
{
    if (FromTemplate()) {
        if (m_TemplateText.empty())
            Warn("PTF Selection", "No Package Template File(PTF) selected.\nPlease select one or cancel this operation");
        else
            accept();
        return;
    }
    QString missing;
    if (Path().isEmpty())
        missing += "\tNo installation path set\n";
    if (Name().isEmpty())
        missing += "\tNo Package name defined\n";
    if (Distribution() < 0)
        missing += "\tNo base Distribution seletected\n";
    if (!missing.isEmpty()) {
        Warn("Missing Information", "Required information is missing\n" + missing);
        return;
    }
    accept();
}

void CNewPackage::SLOTBrowseBtn()
{
    const QString folder = ChooseFolder(this, "Please select a directory", Path(), kRootsFolder);
    if (!folder.isEmpty())
        m_pPath->setText(folder);
}

void CNewPackage::SLOTCreateFromDistributionRaioClicked()
{
    m_pTemplates->parentWidget()->hide();
    m_pDistributions->show();
    m_pPath->setEnabled(true);
    m_pTag->setEnabled(true);
}

void CNewPackage::SLOTCreateFromPTFRaioClicked()
{
    // The template brings its own root and tag; the path is offered for change afterwards.
    m_pDistributions->hide();
    m_pTemplates->parentWidget()->show();
    m_pPath->setEnabled(false);
    m_pTag->setEnabled(false);
    FillTemplates();
}

// --- Duplicate package ----------------------------------------------------------------------

CNUVDuplicateDlg::CNUVDuplicateDlg(QWidget* parent)
    : QDialog(parent),
      m_pSources(PackageList(this, "Source Package")),
      m_pName(Field(this, "Package Name")),
      m_pPath(Field(this, "Installation Path"))
{
    setWindowTitle("NUV - Duplicated Package");
    auto* layout = new QVBoxLayout(this);
    AddCaptioned(layout, "&Source Package", m_pSources);
    auto* form = new QFormLayout;
    form->addRow("Package &Name", m_pName);
    AddPathRow(form, "Installation &Path", m_pPath, "&Browse...", [this] { SLOTBrowseClicked(); });
    layout->addLayout(form);
    layout->addWidget(OkCancel(this, "Copy", [this] { SLOTCopyClicked(); }));
}

QString CNUVDuplicateDlg::Source() const { return Chosen(m_pSources); }
QString CNUVDuplicateDlg::Name() const { return m_pName->text().trimmed(); }
QString CNUVDuplicateDlg::Path() const { return m_pPath->text().trimmed(); }

void CNUVDuplicateDlg::SLOTCopyClicked()
{
    if (Name().isEmpty()) {
        Inform("New Package Name", "No Package name set, please enter the required data and try again");
        return;
    }
    if (Path().isEmpty()) {
        Inform("New Package Path", "No Package Path set, please enter the required data and try again");
        return;
    }
    if (Source().isEmpty()) {
        Inform("New Package Source", "No Source Package selected, please enter the required data and try again");
        return;
    }
    if (AskYesNo(CUserPrompts::Question, "Are You Sure?",
                 "Are you sure you wish to copy Package \"" + Source() + "\" to the new Package \"" + Name() +
                     "\" installed in \"" + Path() + "\"?"))
        accept();
}

void CNUVDuplicateDlg::SLOTBrowseClicked()
{
    const QString folder = ChooseFolder(this, "Please select a directory", Path(), kRootsFolder);
    if (!folder.isEmpty())
        m_pPath->setText(folder);
}

// --- Delete package -------------------------------------------------------------------------

CDeletePackageDlg::CDeletePackageDlg(QWidget* parent) : QDialog(parent), m_pPackages(PackageList(this, "Packages"))
{
    setWindowTitle("NUV - Delete Package");
    auto* layout = new QVBoxLayout(this);
    AddCaptioned(layout, "&Packages", m_pPackages);
    QDialogButtonBox* box = OkCancel(this, "Delete", [this] {
        if (!Chosen().isEmpty())
            accept();
    });
    box->button(QDialogButtonBox::Ok)->setEnabled(m_pPackages->count() > 0);
    layout->addWidget(box);
}

QString CDeletePackageDlg::Chosen() const { return ::Chosen(m_pPackages); }

// --- Installation path ----------------------------------------------------------------------

CChangePath::CChangePath(const QString& path, QWidget* parent) : QDialog(parent), m_pPath(Field(this, "Path"))
{
    setWindowTitle("NUV - ChangePath");
    m_pPath->setText(path);
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    AddPathRow(form, "&Path:", m_pPath, "B&rowse", [this] { SLOTBrowseBtn(); });
    layout->addLayout(form);
    QDialogButtonBox* box = OkCancel(this, "OK", [this] { accept(); });
    // A package always has a root: an empty path cannot be accepted.
    EnableWhileFilled(m_pPath, box->button(QDialogButtonBox::Ok));
    layout->addWidget(box);
    resize(480, sizeHint().height());
}

QString CChangePath::Path() const { return m_pPath->text().trimmed(); }

void CChangePath::SLOTBrowseBtn()
{
    const QString folder = ChooseFolder(this, "Please select a directory", QString(), kRootsFolder);
    if (!folder.isEmpty())
        m_pPath->setText(folder);
}

// --- Cache management -----------------------------------------------------------------------

CCacheManagementDlg::CCacheManagementDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle("NUV - Cache Management");
    CCacheList* cache = CCacheList::instance();
    cache->RefreshCacheList();
    m_pAttached = CacheTree(this, "Attached Component Files", cache->GetAttached());
    m_pUnattached = CacheTree(this, "Unattached Component Files", cache->GetUnattached());
    auto* layout = new QVBoxLayout(this);
    AddCaptioned(layout, "&Attached Component Files:", m_pAttached);
    AddCaptioned(layout, "&Unattached Component Files:", m_pUnattached);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    const QList<QPair<QString, std::function<void()>>> buttons = {
        {"Delete &All", [this] { SLOTDeleteAll(); }},
        {"Delete U&nattached", [this] { SLOTDeleteUnattached(); }},
        {"Cancel", [this] { SLOTCancel(); }}};
    for (const auto& [text, slot] : buttons) {
        auto* button = new QPushButton(text, this);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, slot);
        row->addWidget(button);
    }
    layout->addLayout(row);
    resize(620, 460);
}

void CCacheManagementDlg::SLOTDeleteAll()
{
    if (AskYesNo(CUserPrompts::Warning, "Delete All", "Are you sure you wish to delete all component files ?"))
        done(DeleteAll);
}

void CCacheManagementDlg::SLOTDeleteUnattached()
{
    if (AskYesNo(CUserPrompts::Warning, "Delete All",
                 "Are you sure you wish to delete all unattached component files ?"))
        done(DeleteUnattached);
}

// --- Delta package --------------------------------------------------------------------------

CDeltaComponentDlg::CDeltaComponentDlg(const std::vector<CComponentHolder*>& changed,
                                       const std::vector<CComponentHolder*>& removed, QWidget* parent)
    : QDialog(parent), m_pChanged(new QTreeWidget(this)), m_pRemoved(new QListWidget(this))
{
    setWindowTitle("NUV - Component Changes");
    m_pChanged->setAccessibleName("Changed Components");
    m_pChanged->setRootIsDecorated(false);
    m_pChanged->setHeaderLabels({"Changed Components", "Version"});
    for (const CComponentHolder* holder : changed) {
        const CVersion version = holder->GetEffectiveVersion();
        auto* item = new QTreeWidgetItem(m_pChanged, {Text(holder->GetName()), Text(version.ToString())});
        const bool newer = holder->GetTemplateVersion() < version;
        item->setIcon(1, QIcon(newer ? ":imgs/UpArrowGreen.png" : ":imgs/DownArrowRed.png"));
        item->setData(1, Qt::AccessibleDescriptionRole, newer ? "newer" : "older");
    }
    m_pChanged->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_pRemoved->setAccessibleName("Removed Components");
    for (const CComponentHolder* holder : removed)
        m_pRemoved->addItem(Text(holder->GetName()));
    auto* layout = new QVBoxLayout(this);
    // The changes are what the user checks; the removals are usually few.
    layout->addWidget(m_pChanged, 3);
    AddCaptioned(layout, "&Removed Components", m_pRemoved);
    layout->setStretchFactor(m_pRemoved, 1);
    QDialogButtonBox* box = OkCancel(this, "Create Delta Package", [this] { accept(); });
    box->button(QDialogButtonBox::Cancel)->setText("Close");
    layout->addWidget(box);
    resize(480, 520);
}
