#include "gui/componenttree.h"

#include "core/catalogue/component.h"
#include "core/catalogue/componentholder.h"
#include "core/catalogue/componentmanager.h"
#include "core/catalogue/distributionlist.h"
#include "core/nuvfunctions.h"
#include "core/base/resultcodes.h"
#include "gui/actiondialogs.h"
#include "gui/startup.h"
#include "gui/userprompts.h"
#include "gui/dialogparts.h"

#include <QActionGroup>
#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>

namespace {

const char* const kColumns[] = {"Component", "Installed Version", "Downloaded Version",
                                "Capped/Server Version", "Description"};
const char* const kIncludedCaptions[] = {"Included Components", "Installed Components",
                                         "Downloaded Components", "New Components",
                                         "Capped Components"};
constexpr int kVersionColumns = 4;   // columns 0 to 3 follow their contents

QString VersionText(const CVersion& version) { return Text(version.ToString()); }

void SetGroupFont(QTreeWidgetItem* item, const QFont& treeFont)
{
    QFont larger = treeFont;
    larger.setPointSize(treeFont.pointSize() + 1);
    item->setFont(0, larger);
}

bool IsOpenPackageInstalled()
{
    const CNUVFunctions* nuv = CNUVFunctions::Instance();
    return !nuv->CurrentPackage().empty() && nuv->GetInstalledPackage() == nuv->CurrentPackage();
}

}  // namespace

CComponentManager* CurrentManager()
{
    CDistribution* current = CDistributionList::instance()->getCurrentDistribution();
    return current ? current->GetComponentManager() : nullptr;
}

// --- Actions menu ---------------------------------------------------------------------------

CComponentTreeViewMenu::CComponentTreeViewMenu(QWidget* parent) : QMenu("&Actions", parent)
{
    m_pInstall = Add("Install", "Installs the component", &CComponentTreeViewMenu::SetInstall);
    m_pDownload = Add("Download", "Downloads the component", &CComponentTreeViewMenu::SetDownload);
    m_pUninstall = Add("Uninstall", "Uninstalls the component", &CComponentTreeViewMenu::SetUninstall);
    m_pDelete = Add("Delete", "Deletes the component from cache", &CComponentTreeViewMenu::SetDelete);
    addSeparator();
    m_pCap = Add("Cap Current Version", "Cap the component with current version",
                 &CComponentTreeViewMenu::SetCap);
    m_pUncap = Add("Uncap", "Releases the current cap for the selected component",
                   &CComponentTreeViewMenu::SetUncap);
    addSeparator();
    m_pExclude = Add("Exclude", "Exclude this component for this distribution",
                     &CComponentTreeViewMenu::SetExcluded);
    m_pInclude = Add("Include", "Include this component for this distribution",
                     &CComponentTreeViewMenu::SetIncluded);
    m_pSetVersion = Add("Set Version", "Set version of Component to be used",
                        &CComponentTreeViewMenu::SetVersion);
    m_pRollback = Add("Rollback", "Restore Component to previous version",
                      &CComponentTreeViewMenu::SetRollback);
    addSeparator();
    m_pViewReleaseNote = Add("View Release Note",
                             "downloads and displays the release note for the selected Component",
                             &CComponentTreeViewMenu::SetViewReleaseNote);
    setAccessibleName("Actions");
}

QAction* CComponentTreeViewMenu::Add(const char* text, const char* tip,
                                     void (CComponentTreeViewMenu::*signal)())
{
    QAction* action = addAction(text);
    action->setStatusTip(tip);
    connect(action, &QAction::triggered, this, signal);
    return action;
}

// --- View menu ------------------------------------------------------------------------------

CNUVViewMenu::CNUVViewMenu(const QString& title, QWidget* parent) : QMenu(title, parent)
{
    static const struct {
        const char* text;
        const char* tip;
        void (CNUVViewMenu::*slot)();
    } kViews[] = {
        {"Standard View", "Displays all Components in the Distribution", &CNUVViewMenu::SLOTStandard},
        {"Installed Components", "Displays only the installed Components", &CNUVViewMenu::SLOTInstalled},
        {"Downloaded Components", "Displays only the downloaded Components", &CNUVViewMenu::SLOTDownloaded},
        {"New Components", "Displays Components with newer version of those that are installed or downloaded",
         &CNUVViewMenu::SLOTNew},
        {"Capped Components", "Displays all Components that have had their version capped",
         &CNUVViewMenu::SLOTCapped}};
    auto* group = new QActionGroup(this);
    group->setExclusive(true);
    for (int i = 0; i < 5; ++i) {
        m_Views[i] = addAction(kViews[i].text);
        m_Views[i]->setStatusTip(kViews[i].tip);
        m_Views[i]->setCheckable(true);
        group->addAction(m_Views[i]);
        connect(m_Views[i], &QAction::triggered, this, kViews[i].slot);
    }
    m_Views[0]->setChecked(true);
}

void CNUVViewMenu::Reset() { m_Views[0]->setChecked(true); }

void CNUVViewMenu::Choose(int view)
{
    m_Views[view]->setChecked(true);
    Q_EMIT ChangeView(view);
}

// --- Items ----------------------------------------------------------------------------------

CComponentTreeViewItem::CComponentTreeViewItem(QTreeWidget* tree, const QString& caption, int groupType)
    : QTreeWidgetItem(tree, QStringList(caption)), m_GroupType(groupType)
{
    SetGroupFont(this, tree->font());
}

CComponentTreeViewItem::CComponentTreeViewItem(QTreeWidgetItem* parent, const QString& caption,
                                               CComponentHolder* holder)
    : QTreeWidgetItem(parent, QStringList(caption)), m_pHolder(holder)
{
    if (!holder)
        SetGroupFont(this, treeWidget()->font());
    else
        Refresh();
}

void CComponentTreeViewItem::Refresh()
{
    if (!m_pHolder)
        return;
    const CComponent* record = m_pHolder->GetCurrent();
    if (!record)
        return;
    setText(0, Text(record->GetName()));
    setToolTip(0, Text(record->GetDescription()));
    if (!m_pHolder->GetInstalledVersion().IsZero())
        setIcon(0, QIcon(":imgs/InstallDot.png"));
    else if (!m_pHolder->GetDownloadedVersion().IsZero())
        setIcon(0, QIcon(":imgs/DownloadDot.png"));
    else
        setIcon(0, QIcon());
    setText(1, VersionText(m_pHolder->GetInstalledVersion()));
    setText(2, VersionText(m_pHolder->GetDownloadedVersion()));
    setText(3, m_pHolder->IsCapped() ? VersionText(m_pHolder->GetCappedVersion()) + " (" +
                                           VersionText(m_pHolder->GetMaxVersion()) + ")"
                                     : VersionText(m_pHolder->GetMaxVersion()));
    setText(4, Text(record->GetDescription()));
    for (int column = 1; column <= 3; ++column)
        setTextAlignment(column, Qt::AlignCenter);
}

// --- Tree -----------------------------------------------------------------------------------

CComponentTreeView::CComponentTreeView(QWidget* parent)
    : QTreeWidget(parent), m_pMenu(new CComponentTreeViewMenu(this))
{
    setAlternatingRowColors(true);
    setAccessibleName("Component Tree");
    setColumnCount(5);
    setHeaderLabels({kColumns[0], kColumns[1], kColumns[2], kColumns[3], kColumns[4]});
    ResizeColumns();   // the captions stay whole before a package fills the tree
    connect(m_pMenu, &CComponentTreeViewMenu::SetInstall, this, &CComponentTreeView::SLOTInstallMenu);
    connect(m_pMenu, &CComponentTreeViewMenu::SetDownload, this, &CComponentTreeView::SLOTDownloadMenu);
    connect(m_pMenu, &CComponentTreeViewMenu::SetUninstall, this, &CComponentTreeView::SLOTUninstallMenu);
    connect(m_pMenu, &CComponentTreeViewMenu::SetDelete, this, &CComponentTreeView::SLOTDeleteMenu);
    connect(m_pMenu, &CComponentTreeViewMenu::SetCap, this, &CComponentTreeView::SLOTCapMenu);
    connect(m_pMenu, &CComponentTreeViewMenu::SetUncap, this, &CComponentTreeView::SLOTUncapMenu);
    connect(m_pMenu, &CComponentTreeViewMenu::SetExcluded, this, &CComponentTreeView::SLOTExcludeMenu);
    connect(m_pMenu, &CComponentTreeViewMenu::SetIncluded, this, &CComponentTreeView::SLOTIncludeMenu);
    connect(m_pMenu, &CComponentTreeViewMenu::SetVersion, this, &CComponentTreeView::SLOTSetVersionMenu);
    connect(m_pMenu, &CComponentTreeViewMenu::SetRollback, this, &CComponentTreeView::SLOTSetRollbackMenu);
    connect(m_pMenu, &CComponentTreeViewMenu::SetViewReleaseNote, this,
            &CComponentTreeView::SLOTDisplayReleaseNote);
    // The menu bar's copy of the menu follows the current item, chosen by mouse or keyboard.
    connect(m_pMenu, &QMenu::aboutToShow, this, [this] { UpdateMenuState(currentItem()); });
    connect(this, &QTreeWidget::itemExpanded, this, &CComponentTreeView::SLOTItemExpanded);
    connect(this, &QTreeWidget::itemCollapsed, this, &CComponentTreeView::SLOTItemCollapsed);
}

CComponentTreeViewItem* CComponentTreeView::Current() const
{
    return static_cast<CComponentTreeViewItem*>(currentItem());
}

CComponentTreeViewItem* CComponentTreeView::TopGroup(int groupType) const
{
    for (int i = 0; i < topLevelItemCount(); ++i) {
        auto* item = static_cast<CComponentTreeViewItem*>(topLevelItem(i));
        if (item->GroupType() == groupType)
            return item;
    }
    return nullptr;
}

CComponentTreeViewItem* CComponentTreeView::FindComponentItem(const QString& name) const
{
    for (int i = 0; i < topLevelItemCount(); ++i)
        for (CComponentTreeViewItem* item : ComponentItems(topLevelItem(i)))
            if (item->text(0) == name)
                return item;
    return nullptr;
}

void CComponentTreeView::ClearView()
{
    clear();
    m_View = 0;
}

bool CComponentTreeView::IsShown(const CComponentHolder& holder) const
{
    const CVersion& installed = holder.GetInstalledVersion();
    const CVersion& downloaded = holder.GetDownloadedVersion();
    const CVersion& highest = holder.GetMaxVersion();
    switch (m_View) {
    case 1:
        return !installed.IsZero();
    case 2:
        return !downloaded.IsZero();
    case 3:
        return (!installed.IsZero() && highest > installed) ||
               (!downloaded.IsZero() && highest > downloaded);
    case 4:
        return holder.IsCapped() && holder.GetCappedVersion() != highest;
    default:
        return true;
    }
}

void CComponentTreeView::FillView()
{
    clear();
    setHeaderLabels({kColumns[0], kColumns[1], kColumns[2], kColumns[3], kColumns[4]});
    new CComponentTreeViewItem(this, "Excluded Components", CComponentTreeViewItem::GroupExcluded);
    new CComponentTreeViewItem(this, kIncludedCaptions[m_View], CComponentTreeViewItem::GroupIncluded);
    CComponentManager* manager = CurrentManager();
    if (!manager) {
        Inform("CmpntMgr", "CmpntMgr = 0");
        return;
    }
    if (manager->HolderCount() == 0) {
        Warn("Package Display", "No Components where found to display.");
        return;
    }
    for (int i = 0; i < manager->HolderCount(); ++i) {
        CComponentHolder* holder = manager->GetHolder(i);
        const CComponent* record = holder->GetCurrent();
        if (record && IsShown(*holder))
            AddComponentItem(record->IsIncluded() ? CComponentTreeViewItem::GroupIncluded
                                                  : CComponentTreeViewItem::GroupExcluded,
                             holder);
    }
    TopGroup(CComponentTreeViewItem::GroupIncluded)->setExpanded(true);
    TopGroup(CComponentTreeViewItem::GroupExcluded)->setExpanded(m_View != 0);
    sortItems(0, Qt::AscendingOrder);
    ResizeColumns();
}

void CComponentTreeView::SLOTChangeView(int newView)
{
    m_View = qBound(0, newView, 4);
    clear();
    setColumnCount(0);
    setColumnCount(5);
    FillView();
}

CComponentTreeViewItem* CComponentTreeView::AddComponentItem(int groupType, CComponentHolder* holder)
{
    CComponent* record = holder->GetCurrent();
    QTreeWidgetItem* parent = TopGroup(groupType);
    for (const QString& part : Text(record->GetGroup()).split('.', Qt::SkipEmptyParts)) {
        QTreeWidgetItem* found = nullptr;
        for (int i = 0; i < parent->childCount() && !found; ++i) {
            auto* child = static_cast<CComponentTreeViewItem*>(parent->child(i));
            if (child->IsGroup() && child->text(0) == part)
                found = child;
        }
        parent = found ? found : new CComponentTreeViewItem(parent, part, nullptr);
    }
    auto* item = new CComponentTreeViewItem(parent, QString(), holder);
    record->SetAction(CComponent::ActionNone);
    return item;
}

void CComponentTreeView::RefreshColumns()
{
    for (int i = 0; i < topLevelItemCount(); ++i)
        for (CComponentTreeViewItem* item : ComponentItems(topLevelItem(i)))
            item->Refresh();
    ResizeColumns();
}

void CComponentTreeView::ResizeColumns()
{
    for (int column = 0; column < kVersionColumns; ++column)
        resizeColumnToContents(column);
}

void CComponentTreeView::SLOTItemExpanded(QTreeWidgetItem*) { ResizeColumns(); }

void CComponentTreeView::SLOTItemCollapsed(QTreeWidgetItem*) { ResizeColumns(); }

QList<CComponentTreeViewItem*> CComponentTreeView::ComponentItems(QTreeWidgetItem* item) const
{
    QList<CComponentTreeViewItem*> items;
    if (!item)
        return items;
    auto* treeItem = static_cast<CComponentTreeViewItem*>(item);
    if (!treeItem->IsGroup()) {
        items.append(treeItem);
        return items;
    }
    for (int i = 0; i < item->childCount(); ++i)
        items.append(ComponentItems(item->child(i)));
    return items;
}

void CComponentTreeView::WriteStates(bool installedToo)
{
    CComponentManager* manager = CurrentManager();
    if (!manager)
        return;
    // A state file that cannot be written is not reported here; the next run reads the old one.
    (void)manager->WriteDownloadedState();
    if (installedToo || IsOpenPackageInstalled())
        (void)manager->WriteInstalledState();
}

// --- Marking --------------------------------------------------------------------------------

int CComponentTreeView::SetItemAction(CComponentTreeViewItem* item, int mark)
{
    CComponentHolder* holder = item->Holder();
    CComponent* record = mark == CComponent::ActionUninstall
                             ? holder->FindByVersion(holder->GetInstalledVersion())
                             : holder->GetCurrent();
    if (!record)
        return rc::Success;
    if (mark == CComponent::ActionDelete && !holder->GetInstalledVersion().IsZero()) {
        Say(QString::asprintf("%s could not be set to delete as version %s is still installed\n",
                              holder->GetName().c_str(),
                              holder->GetInstalledVersion().ToString().c_str()));
        return rc::Success;
    }
    return record->SetAction(mark);
}

void CComponentTreeView::MarkItems(CComponentTreeViewItem* item, int mark)
{
    for (CComponentTreeViewItem* component : ComponentItems(item))
        if (SetItemAction(component, mark) == rc::CapBelowInstallVersion)
            Say("Failed installing " + Text(component->Holder()->GetName()) +
                " it has a version greater than the capped version\n");
}

void CComponentTreeView::SLOTDownloadMenu()
{
    CDistribution* distribution = CDistributionList::instance()->getCurrentDistribution();
    if (distribution && distribution->IsLocal()) {
        Inform("Download", "The download has failed.  Either the distribution is not avaiable on "
                           "the server, or you are working offline.");
        return;
    }
    CComponentTreeViewItem* item = Current();
    if (!item || (!item->IsGroup() && !item->Holder()->GetCurrent()))
        Say("Aborting download, no Components to perform action.\n");
    else if (!item->IsGroup())
        item->Holder()->GetCurrent()->SetAction(CComponent::ActionDownload);
    else
        MarkItems(item, CComponent::ActionDownload);
    Q_EMIT StartAction();
}

void CComponentTreeView::SLOTInstallMenu()
{
    const CNUVFunctions* nuv = CNUVFunctions::Instance();
    const std::string installed = nuv->GetInstalledPackage();
    if (!installed.empty() && installed != nuv->CurrentPackage()) {
        Warn("Installation", "cannot install from this package as \"" + Text(installed) +
                                 "\" is currently installed");
        return;
    }
    CComponentTreeViewItem* item = Current();
    if (!item || (!item->IsGroup() && !item->Holder()->GetCurrent())) {
        Say("Aborting installation, no Components to perform action.\n");
    } else if (!item->IsGroup()) {
        CComponent* record = item->Holder()->GetCurrent();
        if (record->SetAction(CComponent::ActionInstall) == rc::CapBelowInstallVersion)
            Say("Failed to install " + Text(record->GetName()) + ". Version greater than Capped version");
    } else {
        MarkItems(item, CComponent::ActionInstall);
    }
    Q_EMIT StartAction();
}

void CComponentTreeView::SLOTUninstallMenu()
{
    CComponentTreeViewItem* item = Current();
    if (!item)
        Say("Aborting uninstall, no Components to perform action.\n");
    else
        MarkItems(item, CComponent::ActionUninstall);
    Q_EMIT StartAction();
}

void CComponentTreeView::SLOTDeleteMenu()
{
    CComponentTreeViewItem* item = Current();
    if (!item)
        Say("Aborting delete, no Components to perform action.\n");
    else
        for (CComponentTreeViewItem* component : ComponentItems(item))
            SetItemAction(component, CComponent::ActionDelete);
    Q_EMIT StartAction();
}

void CComponentTreeView::SLOTCapMenu()
{
    for (CComponentTreeViewItem* item : ComponentItems(Current()))
        item->Holder()->CapAtCurrent();
    WriteStates(false);
    RefreshColumns();
    Q_EMIT RefreshComponentInfo();
}

void CComponentTreeView::SLOTUncapMenu()
{
    for (CComponentTreeViewItem* item : ComponentItems(Current()))
        item->Holder()->ClearCap();
    WriteStates(false);
    RefreshColumns();
    Q_EMIT RefreshComponentInfo();
}

void CComponentTreeView::SLOTExcludeMenu()
{
    for (CComponentTreeViewItem* item : ComponentItems(Current())) {
        if (!item->Holder()->GetInstalledVersion().IsZero()) {
            Warn("Cannot Exclude Components",
                 "One or more components in this group are installed, therefore they cannot be "
                 "excluded.");
            return;
        }
    }
    MoveCurrentTo(CComponentTreeViewItem::GroupExcluded);
}

void CComponentTreeView::SLOTIncludeMenu()
{
    MoveCurrentTo(CComponentTreeViewItem::GroupIncluded);
    FillView();
}

void CComponentTreeView::MoveCurrentTo(int groupType)
{
    CComponentTreeViewItem* current = Current();
    if (!current)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool included = groupType == CComponentTreeViewItem::GroupIncluded;
    const bool reference = CNUVFunctions::Instance()->m_bPTFReferenceOnly;
    const QList<CComponentTreeViewItem*> items = ComponentItems(current);
    setCurrentItem(nullptr);
    for (CComponentTreeViewItem* item : items) {
        CComponentHolder* holder = item->Holder();
        if (!holder->GetCurrent())
            continue;
        CComponentTreeViewItem* moved = AddComponentItem(groupType, holder);
        holder->GetCurrent()->SetIncluded(included);
        if (reference)
            holder->m_Excluded = !included;
        QTreeWidgetItem* parent = item->parent();
        delete item;
        RemoveEmptySubGroups(parent);
        setCurrentItem(moved);
    }
    sortItems(0, Qt::AscendingOrder);
    WriteStates(false);
    QApplication::restoreOverrideCursor();
}

void CComponentTreeView::RemoveEmptySubGroups(QTreeWidgetItem* group)
{
    while (group && !static_cast<CComponentTreeViewItem*>(group)->IsTopGroup() &&
           group->childCount() == 0) {
        QTreeWidgetItem* parent = group->parent();
        delete group;
        group = parent;
    }
}

void CComponentTreeView::SLOTSetVersionMenu()
{
    CComponentTreeViewItem* item = Current();
    if (!item || item->IsGroup())
        return;
    CComponentHolder* holder = item->Holder();
    if (!holder->GetCurrent())
        return;
    const CVersion limit = holder->GetCurrent()->GetVersion();
    QList<CVersion> versions;
    for (int i = holder->Count() - 1; i >= 0; --i) {
        CComponent* record = holder->GetByIndex(i);
        if (record->GetVersion() <= limit && (record->IsInCache(false) || !record->GetPackage().empty()) &&
            !versions.contains(record->GetVersion()))
            versions.append(record->GetVersion());
    }
    CVersionChoiceDlg dialog("NUV Set Capped Version", Text(holder->GetName()), versions, this);
    if (CUserPrompts::Instance().Run(dialog) != QDialog::Accepted)
        return;
    holder->SetCappedVersion(dialog.Chosen());
    item->Refresh();
    WriteStates(false);
}

void CComponentTreeView::SLOTSetRollbackMenu()
{
    CComponentTreeViewItem* item = Current();
    if (!item || item->IsGroup())
        return;
    CComponentHolder* holder = item->Holder();
    if (holder->IsLowestInstalled()) {
        Inform("Rollback Component Verison",
               "Mimimum Component version is currently installed.\nUnable to perform Rollback");
        return;
    }
    QList<CVersion> versions;
    for (int i = holder->Count() - 1; i >= 0; --i) {
        const CVersion& version = holder->GetByIndex(i)->GetVersion();
        if (version < holder->GetInstalledVersion() && !versions.contains(version))
            versions.append(version);
    }
    CVersionChoiceDlg dialog("NUV Set Rollback Version", Text(holder->GetName()), versions, this);
    if (CUserPrompts::Instance().Run(dialog) != QDialog::Accepted)
        return;
    holder->SetCappedVersion(dialog.Chosen());
    (void)holder->ReplaceInstalled(dialog.Chosen());   // both records exist: taken from the holder
    item->Refresh();
    WriteStates(true);
    Q_EMIT StartAction();
}

void CComponentTreeView::SLOTDisplayReleaseNote()
{
    CComponentTreeViewItem* item = Current();
    if (item && !item->IsGroup())
        Q_EMIT ForceReleaseNoteDownload(item->Holder()->GetCurrent());
}

// --- Menu state -----------------------------------------------------------------------------

void CComponentTreeView::UpdateMenuState(QTreeWidgetItem* treeItem)
{
    CComponentTreeViewMenu& m = *m_pMenu;
    auto set = [](QAction* action, bool visible, bool enabled) {
        action->setVisible(visible);
        action->setEnabled(enabled);
    };
    const QList<QAction*> all = {m.m_pInstall, m.m_pDownload, m.m_pUninstall, m.m_pDelete,
                                 m.m_pCap, m.m_pUncap, m.m_pExclude, m.m_pInclude,
                                 m.m_pSetVersion, m.m_pRollback, m.m_pViewReleaseNote};
    auto* item = static_cast<CComponentTreeViewItem*>(treeItem);
    // A component capped at a version its catalogue no longer holds has no record to act on.
    if (!item || (item->IsGroup() && !CurrentManager()) ||
        (!item->IsGroup() && !item->Holder()->GetCurrent())) {
        for (QAction* action : all)
            set(action, true, false);
        return;
    }
    const CNUVFunctions* nuv = CNUVFunctions::Instance();
    const bool reference = nuv->m_bPTFReferenceOnly;
    const bool admin = IsAdministrator();
    const bool online = nuv->IsOnline();
    QTreeWidgetItem* top = item;
    while (top->parent())
        top = top->parent();
    const bool excluded =
        static_cast<CComponentTreeViewItem*>(top)->GroupType() == CComponentTreeViewItem::GroupExcluded;
    const CComponent* record = item->IsGroup() ? nullptr : item->Holder()->GetCurrent();
    set(m.m_pViewReleaseNote, true, record && !record->GetReleaseNotes().empty());

    if (excluded) {
        set(m.m_pInclude, true, true);
        for (QAction* action : {m.m_pInstall, m.m_pDownload, m.m_pUninstall, m.m_pDelete, m.m_pSetVersion})
            set(action, false, false);
        for (QAction* action : {m.m_pCap, m.m_pUncap, m.m_pExclude, m.m_pRollback})
            set(action, true, false);
        return;
    }
    set(m.m_pInclude, true, false);
    if (item->IsGroup()) {
        set(m.m_pDownload, !reference, !reference && online);
        set(m.m_pInstall, !reference, !reference && admin);
        set(m.m_pUninstall, !reference, !reference && admin);
        set(m.m_pDelete, !reference, !reference);
        set(m.m_pExclude, !reference, !reference);
        set(m.m_pCap, true, true);
        set(m.m_pUncap, true, true);
        set(m.m_pSetVersion, false, false);
        set(m.m_pRollback, false, false);
        return;
    }
    const CComponentHolder& holder = *item->Holder();
    const bool installed = !holder.GetInstalledVersion().IsZero();
    const bool severalRecords = holder.Count() >= 2;
    set(m.m_pInstall, true, admin && holder.GetInstalledVersion() != record->GetVersion());
    set(m.m_pDownload, true, online && holder.GetDownloadedVersion() != record->GetVersion());
    if (!installed) {
        set(m.m_pUninstall, true, false);
        set(m.m_pDelete, true, !holder.GetDownloadedVersion().IsZero());
        set(m.m_pExclude, true, !reference);
        set(m.m_pSetVersion, severalRecords, severalRecords);
    } else {
        set(m.m_pUninstall, true, admin);
        set(m.m_pDelete, true, false);
        set(m.m_pExclude, true, false);
        set(m.m_pSetVersion, severalRecords, false);
    }
    set(m.m_pRollback, true, installed && severalRecords && !holder.IsLowestInstalled() && admin);
    set(m.m_pCap, true, !holder.IsCapped());
    set(m.m_pUncap, true, holder.IsCapped());
    if (reference)
        for (QAction* action : {m.m_pInstall, m.m_pDownload, m.m_pUninstall, m.m_pDelete})
            set(action, false, false);
}

void CComponentTreeView::mousePressEvent(QMouseEvent* event)
{
    // A click on empty space leaves nothing current.
    if (!itemAt(event->pos()))
        setCurrentItem(nullptr);
    QTreeWidget::mousePressEvent(event);
}

void CComponentTreeView::contextMenuEvent(QContextMenuEvent* event)
{
    QTreeWidgetItem* item = event->reason() == QContextMenuEvent::Mouse ? itemAt(event->pos())
                                                                        : currentItem();
    setCurrentItem(item);
    UpdateMenuState(item);
    m_pMenu->popup(event->globalPos());
}
