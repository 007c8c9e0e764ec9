#include "gui/actiondialogs.h"

#include "core/catalogue/component.h"
#include "core/catalogue/componentholder.h"
#include "core/nuvfunctions.h"
#include "gui/userprompts.h"
#include "gui/dialogparts.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTextBrowser>
#include <QTextEdit>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace {

QString VersionText(const CVersion& version) { return Text(version.ToString()); }

QLabel* WrappedLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

/// A button row; the first button is the default one.
QHBoxLayout* Buttons(QDialog* dialog, const QList<QPair<QString, std::function<void()>>>& buttons)
{
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    bool first = true;
    for (const auto& [text, action] : buttons) {
        auto* button = new QPushButton(text, dialog);
        button->setAccessibleName(QString(text).remove('&'));
        button->setDefault(first);
        first = false;
        QObject::connect(button, &QPushButton::clicked, dialog, action);
        row->addWidget(button);
    }
    return row;
}

}  // namespace

CVersionChoiceDlg::CVersionChoiceDlg(const QString& title, const QString& component,
                                     const QList<CVersion>& versions, QWidget* parent)
    : QDialog(parent), m_Versions(versions), m_pVersions(new QComboBox(this))
{
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(component, this);
    label->setBuddy(m_pVersions);
    layout->addWidget(label);
    for (const CVersion& version : versions)
        m_pVersions->addItem(VersionText(version));
    m_pVersions->setAccessibleName("Version");
    layout->addWidget(m_pVersions);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    box->button(QDialogButtonBox::Ok)->setEnabled(!versions.isEmpty());
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(box);
}

CVersion CVersionChoiceDlg::Chosen() const
{
    const int index = m_pVersions->currentIndex();
    return index >= 0 && index < m_Versions.size() ? m_Versions[index] : CVersion();
}

QString CDependencyList::ActionWord(int action)
{
    switch (action) {
    case CComponent::ActionDownload: return "Download";
    case CComponent::ActionInstall: return "Install";
    case CComponent::ActionUninstall: return "Uninstall";
    case CComponent::ActionDelete: return "Delete";
    default: return "Unknown";
    }
}

CDependencyList::CDependencyList(int action, const std::vector<CComponent*>& records, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle("NUV - Dependencies");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(WrappedLabel(
        "The following Components are required by other components you have selected:", this));
    auto* list = new QListWidget(this);
    list->setAccessibleName(ActionWord(action) + " dependencies");
    for (const CComponent* record : records) {
        auto* entry = new QListWidgetItem(Text(record->GetName()) + "  " + VersionText(record->GetVersion()), list);
        entry->setToolTip(Text(record->GetDescription()));
    }
    layout->addWidget(new QLabel("Action: " + ActionWord(action), this));
    layout->addWidget(list);
    layout->addWidget(WrappedLabel("Please note that not including these components may cause "
                                   "others not to function as expected.", this));
    layout->addLayout(Buttons(this, {{"Include dependencies", [this] { SLOTYesClicked(); }},
                                     {"Omit dependencies", [this] { SLOTNoClicked(); }},
                                     {"Cancel operation", [this] { SLOTCancelClicked(); }}}));
}

CNUVInstallWarningsDlg::CNUVInstallWarningsDlg(const QString& warnings, QWidget* parent) : QDialog(parent)
{
    setWindowTitle("NUV - Installation Warnings");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(WrappedLabel("The following Components have the following Installation "
                                   "Warnings. \nPlease read and Cancel or Continue the installation.",
                                   this));
    auto* text = new QTextEdit(this);
    text->setReadOnly(true);
    text->setPlainText(warnings);
    text->setAccessibleName("Installation Warnings");
    layout->addWidget(text);
    layout->addLayout(Buttons(this, {{"Continue", [this] { accept(); }}, {"Cancel", [this] { reject(); }}}));
    resize(520, 360);
}

CEULABox::CEULABox(QWidget* parent) : QDialog(parent)
{
    setWindowTitle("NUV - Tessom EULA");
    auto* layout = new QVBoxLayout(this);
    auto* text = new QTextBrowser(this);
    text->setAccessibleName("Licence Agreement");
    text->setSource(QUrl::fromLocalFile(QFileInfo("EULA/End_User_Licence_Agreement.html").absoluteFilePath()));
    layout->addWidget(text);
    layout->addLayout(Buttons(this, {{"I &Agree", [this] { accept(); }},
                                     {"I &Disagree", [this] { reject(); }},
                                     {"Cancel", [this] { reject(); }}}));
    resize(640, 480);
}

CNUVNewComponentDlg::CNUVNewComponentDlg(const std::vector<CComponent*>& majors,
                                         const std::vector<CComponent*>& others, QWidget* parent)
    : QDialog(parent), m_Majors(majors), m_Others(others)
{
    setWindowTitle("NUV-New Components");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(WrappedLabel(
        "The NUV has marked the following Components as newer by at least one major version.", this));
    layout->addWidget(WrappedLabel("Code changes or recompilation of your application may be "
                                   "required after upgrading the Components below.", this));
    m_pMajor = MakeList(majors);
    m_pMajor->setAccessibleName("Major updates");
    layout->addWidget(m_pMajor);
    layout->addWidget(WrappedLabel("The NUV has marked the following Components as newer than the "
                                   "version currently Installed/Downloaded", this));
    m_pOther = MakeList(others);
    m_pOther->setAccessibleName("Other updates");
    layout->addWidget(m_pOther);
    layout->addLayout(Buttons(this, {{"Install", [this] { SLOTInstallBtn(); }},
                                     {"Download", [this] { SLOTDnldBtn(); }},
                                     {"Close", [this] { SLOTCloseBtn(); }}}));
    resize(640, 480);
}

QTreeWidget* CNUVNewComponentDlg::MakeList(const std::vector<CComponent*>& records)
{
    auto* list = new QTreeWidget(this);
    list->setRootIsDecorated(false);
    list->setHeaderLabels({"Component", "Installed Version", "Dnld Version", "New Version"});
    for (const CComponent* record : records) {
        const CComponentHolder* holder = record->GetHolder();
        auto* item = new QTreeWidgetItem(list, {Text(record->GetName()),
                                                VersionText(holder->GetInstalledVersion()),
                                                VersionText(holder->GetDownloadedVersion()),
                                                VersionText(record->GetVersion())});
        item->setCheckState(0, Qt::Checked);
    }
    for (int column = 0; column < 4; ++column)
        list->resizeColumnToContents(column);
    return list;
}

void CNUVNewComponentDlg::SLOTDnldBtn()
{
    if (!CNUVFunctions::Instance()->IsOnline()) {
        Warn("Failed Communications", "Unable to download new components.\nYou are currently working off-line.");
        return;
    }
    done(DownloadChosen);
}

std::vector<CComponent*> CNUVNewComponentDlg::Ticked(bool* major) const
{
    std::vector<CComponent*> ticked;
    *major = false;
    for (int i = 0; i < m_pMajor->topLevelItemCount(); ++i)
        if (m_pMajor->topLevelItem(i)->checkState(0) == Qt::Checked) {
            ticked.push_back(m_Majors[size_t(i)]);
            *major = true;
        }
    for (int i = 0; i < m_pOther->topLevelItemCount(); ++i)
        if (m_pOther->topLevelItem(i)->checkState(0) == Qt::Checked)
            ticked.push_back(m_Others[size_t(i)]);
    return ticked;
}

CMultipleSameVersionsDlg::CMultipleSameVersionsDlg(const std::vector<CComponentHolder*>& holders,
                                                   QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle("NUV - Multiple Defined Versions");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("The following Component have multi-defined versions", this));
    auto* list = new QTreeWidget(this);
    list->setRootIsDecorated(false);
    list->setHeaderLabels({"Component", "Versions"});
    list->setAccessibleName("Multiply defined versions");
    for (const CComponentHolder* holder : holders) {
        QStringList versions;
        for (const CVersion& version : holder->DuplicateVersions())
            versions << VersionText(version);
        new QTreeWidgetItem(list, {Text(holder->GetName()), versions.join(", ")});
    }
    layout->addWidget(list);
    layout->addLayout(Buttons(this, {{"OK", [this] { accept(); }}}));
}
